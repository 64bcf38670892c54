// Media transfer runs of the library's handler through the Qt network adapter against
// the loopback HTTPS server, over multimedia objects whose files are real files under
// the test's home.
#pragma once

#include "TransferFixture.h"

#include "support/LoopbackServerSuite.h"

#include <keldra/MultimediaObject.h>

#include <cstdint>
#include <string>

namespace keldra_test {

class MediaTest : public LoopbackServerSuite<TransferTest> {
 protected:
  void SetUp() override;

  // A file of |size| bytes (a repeating pattern) under the home's "media" folder.
  static std::string make_file(const std::string& name, uint64_t size);
  // Stores a multimedia object; with |global_id| it is synchronised: made here, then
  // confirmed by the server with that global id.
  // Empty texts leave the part out. Its local id.
  unsigned int add_file_object(const std::string& local_path, const std::string& local_mime,
                               uint64_t recorded_size, const std::string& remote_url = "",
                               const std::string& remote_mime = "",
                               unsigned long long global_id = 0);
  // The object of |local_id|, read back from the store (unbound when it is gone).
  orva::keldra::MultimediaObject read_media(unsigned int local_id);
  static std::string local_url(const orva::keldra::MultimediaObject& m);
  static std::string local_mime(const orva::keldra::MultimediaObject& m);
  static std::string remote_url(const orva::keldra::MultimediaObject& m);
  static std::string remote_mime(const orva::keldra::MultimediaObject& m);

  // An "F" line with its url escaped for the compact format.
  static std::string f_line(const std::string& key, unsigned int code, const std::string& url);
  static HttpsTestServer::Reply reply(int status, const std::string& body,
                                      const std::string& type = "text/plain");
};

}  // namespace keldra_test
