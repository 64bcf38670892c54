#include "FileSyncOptionsImpl.h"

#include "QmlText.h"

#include <cstring>
#include <string>

const char* const FILESYNCOPT_TYPE_NONE = "none";
const char* const FILESYNCOPT_TYPE_PATH = "path";
const char* const FILESYNCOPT_TYPE_IMAGE = "image";
const char* const FILESYNCOPT_TYPE_AUDIO = "audio";
const char* const FILESYNCOPT_TYPE_VIDEO = "video";
const char* const FILESYNCOPT_TYPE_ANY = "any";

namespace keldra {
namespace qtplugin {

namespace {

const uint32_t kAllTypes = 0xFFFFFFFFu;

struct TypeWord {
  uint32_t bit;
  const char* const* word;
};

// In the order in which the words are written.
const TypeWord kTypeWords[] = {
    {1, &FILESYNCOPT_TYPE_PATH},
    {2, &FILESYNCOPT_TYPE_IMAGE},
    {4, &FILESYNCOPT_TYPE_AUDIO},
    {8, &FILESYNCOPT_TYPE_VIDEO},
};

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

uint32_t applyWord(uint32_t mask, const std::string& word) {
  if (word == FILESYNCOPT_TYPE_ANY) return kAllTypes;
  if (word == FILESYNCOPT_TYPE_NONE) return 0;
  for (const TypeWord& entry : kTypeWords) {
    if (word == *entry.word) return mask | entry.bit;
  }
  return mask;
}

}  // namespace

FileSyncOptionsImpl::FileSyncOptionsImpl(QObject* parent) : QObject(parent) {}

FileSyncOptionsImpl::FileSyncOptionsImpl(const orva::keldra::SyncService::FileSyncOptions& options,
                                         QObject* parent)
    : QObject(parent), m_options(options) {}

FileSyncOptionsImpl::~FileSyncOptionsImpl() = default;

qint32 FileSyncOptionsImpl::getImageScalingLongestSide() const {
  return m_options.image_scaling_longest_side;
}

QVariant FileSyncOptionsImpl::getFileSizeLimit() const {
  return QVariant(static_cast<quint64>(m_options.file_size_limit));
}

QString FileSyncOptionsImpl::getAllowedFileTypes() const {
  const uint32_t mask = m_options.allowed_file_types;
  if (mask == kAllTypes) return QString::fromLatin1(FILESYNCOPT_TYPE_ANY);
  if (mask == 0) return QString::fromLatin1(FILESYNCOPT_TYPE_NONE);
  std::string words;
  for (const TypeWord& entry : kTypeWords) {
    if (!(mask & entry.bit)) continue;
    if (!words.empty()) words += ' ';
    words += *entry.word;
  }
  return fromIdentifier(words);
}

void FileSyncOptionsImpl::setImageScalingLongestSide(qint32 scaling) {
  m_options.image_scaling_longest_side = scaling;
  emit imageScalingLongestSideChanged();
}

void FileSyncOptionsImpl::setFileSizeLimit(QVariant limit) {
  m_options.file_size_limit = static_cast<uint64_t>(limit.toLongLong());
  emit fileSizeLimitChanged();
}

void FileSyncOptionsImpl::setAllowedFileTypes(QString filetypes) {
  const std::string text = toIdentifier(filetypes);
  uint32_t mask = 0;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && isBlank(text[at])) ++at;
    size_t end = at;
    while (end < text.size() && !isBlank(text[end])) ++end;
    if (end > at) mask = applyWord(mask, text.substr(at, end - at));
    at = end;
  }
  m_options.allowed_file_types = mask;
  emit allowedFileTypesChanged();
}

}  // namespace qtplugin
}  // namespace keldra
