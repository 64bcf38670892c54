#include "model/RecordUtils.h"

#include <keldra/ReadStream.h>
#include <keldra/WriteStream.h>

#include <cstring>

namespace orva {
namespace keldra {
namespace internal {

size_t cut_name_length(const char* text, size_t length) {
  if (length <= MAX_NAME_BYTES) return length;
  size_t n = MAX_NAME_BYTES;
  // The first byte left out continues a character: leave out the whole character.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

std::string cut_name(const std::string& text) {
  return text.substr(0, cut_name_length(text.data(), text.size()));
}

StringPool::StringHandle intern(const std::string& text) {
  return StringPool::StringHandle(StringPool::insert(text));
}

StringPool::StringHandle intern_name(const std::string& text) {
  return intern_name(text.data(), text.size());
}

StringPool::StringHandle intern_name(const char* text, size_t length) {
  const size_t n = cut_name_length(text, length);
  return StringPool::StringHandle(StringPool::insert(text, static_cast<unsigned>(n)));
}

bool keeps_whole_name(const StringPool::StringHandle& class_name) {
  static const char kAnchor[] = "anchor";
  const PString* text = class_name.get();
  return text != nullptr && text->length() == sizeof(kAnchor) - 1 &&
         std::memcmp(text->get_text(), kAnchor, sizeof(kAnchor) - 1) == 0;
}

StringPool::StringHandle intern_attribute_name(const char* text, size_t length,
                                               const StringPool::StringHandle& class_name) {
  if (!keeps_whole_name(class_name)) return intern_name(text, length);
  return StringPool::StringHandle(StringPool::insert(text, static_cast<unsigned>(length)));
}

StringPool::StringHandle intern_attribute_name(const std::string& text,
                                               const StringPool::StringHandle& class_name) {
  return intern_attribute_name(text.data(), text.size(), class_name);
}

bool write_name(WriteStream& stream, const StringPool::StringHandle& name) {
  const PString* text = name.get();
  return stream.write_buffer(
      text ? reinterpret_cast<const unsigned char*>(text->get_text()) : nullptr,
      text ? text->length() : 0);
}

unsigned int bytes_left(ReadStream& stream) { return stream.bytes_left(); }

bool read_list_count(ReadStream& stream, unsigned int min_record, unsigned int& count) {
  count = 0;
  unsigned int announced = 0;
  if (!stream.read_uint32(announced)) return false;
  if (min_record > 0 && announced > bytes_left(stream) / min_record) return false;
  count = announced;
  return true;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
