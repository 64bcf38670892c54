// When a download may carry the user's credentials: only to the sync server's own host
// or to its download host, and only over https.
//
// An address is compared by three parts: its scheme, the first label of its host (up
// to the first ".") and the rest of its host (after that "."). The host is the one a
// URL parser finds, so user info, a scheme other than https or a host that only looks
// like the server's inside another part of the address never earns the digest.
//
// Results: 0; 3 for an address that cannot be split (no "://", no host, a host without
// ".", a host followed by neither ":" nor "/", or text the URL parser refuses).
// Pure functions, any thread.
#pragma once

#include <keldra/ErrorCode.h>

#include <string>

namespace orva {
namespace keldra {
namespace internal {

// The scheme, the first label of the host and the rest of the host of |url|; outputs
// are written only on success. Labels keep their letter case.
orva::ErrorCode split_url(const std::string& url, std::string& scheme, std::string& first_label,
                          std::string& rest);

// Whether a download from |url| may carry the digest of the server at |server_uri|:
// both rests of host equal and either the labels equal or the server's label "mobile"
// and the download's "download" (exact, case-sensitive), the download over https and
// without user info. *download_rest (may be null) receives the download's rest of host
// for the log. 0 with *allowed set; 3 (and *allowed false) when either address cannot
// be split.
orva::ErrorCode download_digest_allowed(const std::string& server_uri, const std::string& url,
                                        bool* allowed, std::string* download_rest);

}  // namespace internal
}  // namespace keldra
}  // namespace orva
