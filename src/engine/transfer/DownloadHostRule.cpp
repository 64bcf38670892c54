#include "transfer/DownloadHostRule.h"

#include <QString>
#include <QUrl>

namespace orva {
namespace keldra {
namespace internal {

namespace {

struct UrlParts {
  std::string scheme;
  std::string first_label;
  std::string rest;
  bool secure;
  bool has_user_info;
};

// The host as written must be the host the URL parser sees (apart from letter case,
// which the parser folds): tricks that make a hand split and the network stack disagree
// about the host are refused.
orva::ErrorCode parse(const std::string& url, UrlParts& parts) {
  const size_t separator = url.find("://");
  if (separator == std::string::npos || separator == 0) return ORVA_ERROR_INVALID_PARAMETERS;
  const QUrl parsed(QString::fromUtf8(url.data(), static_cast<int>(url.size())), QUrl::StrictMode);
  if (!parsed.isValid() || parsed.host().isEmpty()) return ORVA_ERROR_INVALID_PARAMETERS;

  const size_t host_begin = separator + 3;
  const size_t authority_end = url.find_first_of("/?#", host_begin);
  std::string authority =
      url.substr(host_begin, authority_end == std::string::npos ? std::string::npos
                                                                : authority_end - host_begin);
  const size_t at = authority.rfind('@');
  const size_t host_offset = at == std::string::npos ? 0 : at + 1;
  const size_t host_end = url.find_first_of(":/", host_begin + host_offset);
  if (host_end == std::string::npos) return ORVA_ERROR_INVALID_PARAMETERS;
  const std::string host =
      url.substr(host_begin + host_offset, host_end - host_begin - host_offset);
  if (QString::fromUtf8(host.data(), static_cast<int>(host.size())).toLower() != parsed.host()) {
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  const size_t dot = host.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == host.size()) {
    return ORVA_ERROR_INVALID_PARAMETERS;
  }
  parts.scheme = url.substr(0, separator);
  parts.first_label = host.substr(0, dot);
  parts.rest = host.substr(dot + 1);
  parts.secure = parsed.scheme() == QLatin1String("https");
  parts.has_user_info = at != std::string::npos || !parsed.userInfo().isEmpty();
  return ORVA_ERROR_NONE;
}

}  // namespace

orva::ErrorCode split_url(const std::string& url, std::string& scheme, std::string& first_label,
                          std::string& rest) {
  UrlParts parts;
  const orva::ErrorCode code = parse(url, parts);
  if (code != ORVA_ERROR_NONE) return code;
  scheme = parts.scheme;
  first_label = parts.first_label;
  rest = parts.rest;
  return ORVA_ERROR_NONE;
}

orva::ErrorCode download_digest_allowed(const std::string& server_uri, const std::string& url,
                                        bool* allowed, std::string* download_rest) {
  *allowed = false;
  UrlParts server;
  orva::ErrorCode code = parse(server_uri, server);
  if (code != ORVA_ERROR_NONE) return code;
  UrlParts download;
  code = parse(url, download);
  if (code != ORVA_ERROR_NONE) return code;
  if (download_rest) *download_rest = download.rest;
  if (!download.secure || download.has_user_info) return ORVA_ERROR_NONE;
  if (server.rest != download.rest) return ORVA_ERROR_NONE;
  *allowed = server.first_label == download.first_label ||
             (server.first_label == "mobile" && download.first_label == "download");
  return ORVA_ERROR_NONE;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
