#include "QmlText.h"

#include <keldra/LoggerUmbo.h>

namespace keldra {
namespace qtplugin {

std::string toIdentifier(const QString& text) {
  const QByteArray bytes = text.toLatin1();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString fromIdentifier(const std::string& bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<int>(bytes.size()));
}

orva::ustring toUstring(const QString& text) { return orva::ustring(text.toUtf8().constData()); }

QString fromUstring(const orva::ustring& text) {
  const std::string bytes = text.to_utf8();
  return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
}

std::vector<orva::ustring> toUstrings(const QVariantList& list) {
  std::vector<orva::ustring> out;
  out.reserve(static_cast<size_t>(list.size()));
  for (const QVariant& item : list) out.push_back(toUstring(item.toString()));
  return out;
}

QVariantList fromUstrings(const std::vector<orva::ustring>& list) {
  QVariantList out;
  for (const orva::ustring& item : list) out.append(fromUstring(item));
  return out;
}

}  // namespace qtplugin
}  // namespace keldra
