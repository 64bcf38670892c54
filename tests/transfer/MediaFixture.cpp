#include "MediaFixture.h"

#include "support/TestEnv.h"

#include <keldra/SyncAdapter.h>

#include <QDir>

#include <cstdio>

namespace keldra_test {

using orva::SharedPointer;
using orva::keldra::MultimediaObject;
using orva::keldra::internal::DirectTransferHandlerImpl;

void MediaTest::SetUp() {
  // The self-signed certificate is accepted.
  ASSERT_NO_FATAL_FAILURE(prepare_server());
  TransferTest::SetUp();
  DirectTransferHandlerImpl::set_network_adapter_factory(
      DirectTransferHandlerImpl::NetworkAdapterFactory());
}

std::string MediaTest::make_file(const std::string& name, uint64_t size) {
  const std::string path = home_dir() + "/media/" + name;
  std::string content(size, '\0');
  for (uint64_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
  EXPECT_TRUE(write_file(path, content)) << path;
  return path;
}

unsigned int MediaTest::add_file_object(const std::string& local_path,
                                        const std::string& local_mime, uint64_t recorded_size,
                                        const std::string& remote_url,
                                        const std::string& remote_mime,
                                        unsigned long long global_id) {
  MultimediaObject m;
  if (!local_path.empty()) EXPECT_EQ(0, m.local_uri().set_url(orva::ustring(local_path)));
  if (!local_mime.empty()) EXPECT_EQ(0, m.local_uri().set_mime(local_mime));
  if (recorded_size != 0) EXPECT_EQ(0, m.local_info().set_file_size(recorded_size));
  if (!remote_url.empty()) EXPECT_EQ(0, m.remote_uri().set_url(orva::ustring(remote_url)));
  if (!remote_mime.empty()) EXPECT_EQ(0, m.remote_uri().set_mime(remote_mime));
  orva::keldra::Object& o = *m.object();
  o.set_name(std::string("media"));
  o.set_service(std::string("personal"));
  // Made here; with a global id, then confirmed by the server (whose writes keep the
  // stored local file).
  orva::ErrorCode r = repo_->insert_object(o);
  if (r == 0 && global_id != 0) {
    o.set_global_id(global_id);
    r = adapter_->sync_adapter()->replace_object(o.get_local_id(), o);
  }
  EXPECT_EQ(0, r) << local_path << remote_url;
  return r == 0 ? o.get_local_id() : 0;
}

MultimediaObject MediaTest::read_media(unsigned int local_id) {
  SharedPointer<orva::keldra::Object> o(new orva::keldra::Object());
  MultimediaObject m;
  if (repo_->get_object(local_id, *o) == 0) m.attach(o);
  return m;
}

std::string MediaTest::local_url(const MultimediaObject& m) {
  orva::ustring u;
  m.local_uri().get_url(u);
  return u.to_utf8();
}
std::string MediaTest::local_mime(const MultimediaObject& m) {
  std::string s;
  m.local_uri().get_mime(s);
  return s;
}
std::string MediaTest::remote_url(const MultimediaObject& m) {
  orva::ustring u;
  m.remote_uri().get_url(u);
  return u.to_utf8();
}
std::string MediaTest::remote_mime(const MultimediaObject& m) {
  std::string s;
  m.remote_uri().get_mime(s);
  return s;
}

std::string MediaTest::f_line(const std::string& key, unsigned int code, const std::string& url) {
  std::string escaped;
  for (char c : url) {
    if (c == ':' || c == ';' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return "F:" + key + ":" + std::to_string(code) + (url.empty() ? "" : ":" + escaped) + ";";
}

HttpsTestServer::Reply MediaTest::reply(int status, const std::string& body,
                                        const std::string& type) {
  HttpsTestServer::Reply r;
  r.status = status;
  r.body = body;
  r.content_type = type;
  return r;
}

}  // namespace keldra_test
