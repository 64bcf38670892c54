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

orva::ustring toUstring(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return orva::ustring(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
}

QString fromUstring(const orva::ustring& text) {
  const std::string bytes = text.to_utf8();
  return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
}

void traceCall(const char* where) {
  orva::keldra::internal::LoggerUmbo::log(std::string("QmlPlugin: ") + where,
                                          orva::keldra::internal::LoggerUmbo::MSG_TRACE);
}

}  // namespace qtplugin
}  // namespace keldra
