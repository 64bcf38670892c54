// The QML example of doc/qml.md, run exactly as written: the text of its qml block is
// loaded by a QML engine (qml_example_runner, which stands in for the `qml` tool) that
// imports the module from a staged install of this build, with the staged keldservice
// on a private session bus and the loopback HTTPS server as the sync server (through the
// debug library stand-in). The program must end with 0 and print the page's text block.
#include <keldra/DynamicBuffer.h>
#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>
#include <keldra/SharedPointer.h>
#include <keldra/Static.h>

#include "compact/SyncSerializer.h"
#include "support/DbusTestBus.h"
#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <string>

namespace keldra_test {
namespace {

// The page's section that holds the example and, after it, what it prints.
#define EXAMPLE_HEADING "## A complete example"

// The first fenced block "```<fence>" after the line |heading| of |text|; empty when none.
std::string fenced_block(const std::string& text, const std::string& heading,
                         const std::string& fence) {
  size_t at = text.find("\n" + heading + "\n");
  if (at == std::string::npos) return std::string();
  const std::string open = "\n```" + fence + "\n";
  at = text.find(open, at);
  if (at == std::string::npos) return std::string();
  at += open.size();
  const size_t end = text.find("\n```", at - 1);
  return end == std::string::npos ? std::string() : text.substr(at, end + 1 - at);
}

// A place as the sync server gives it back for an upload: name and global id.
std::string server_copy(const char* name, unsigned long long global_id) {
  orva::keldra::Object o("location");
  o.set_name(std::string(name));
  o.set_service(std::string("personal"));
  o.set_global_id(global_id);
  orva::keldra::internal::SyncSerializer serializer;
  orva::SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer);
  EXPECT_EQ(0, serializer.encode(o, buffer, false));
  return std::string(reinterpret_cast<const char*>(buffer->get_data()),
                     buffer->get_data_length());
}

TEST(QmlExample, RunsAsWrittenAndPrintsWhatThePageSays) {
  const std::string page = read_file(EXAMPLE_PAGE);
  const std::string program = fenced_block(page, EXAMPLE_HEADING, "qml");
  const std::string expected = fenced_block(page, EXAMPLE_HEADING, "text");
  ASSERT_FALSE(program.empty()) << "no qml block after \"" EXAMPLE_HEADING "\"";
  ASSERT_FALSE(expected.empty()) << "no text block after \"" EXAMPLE_HEADING "\"";
  const std::string qml_file = home_dir() + "/example.qml";
  ASSERT_TRUE(write_file(qml_file, program));

  // The install, as an application finds it.
  const QString stage = QString::fromStdString(home_dir()) + "/stage";
  QProcess install;
  install.start(QStringLiteral(EXAMPLE_CMAKE),
                {"--install", EXAMPLE_BUILD_DIR, "--prefix", stage});
  ASSERT_TRUE(install.waitForFinished(170000));
  ASSERT_EQ(0, install.exitCode()) << install.readAllStandardError().toStdString();
  const QString lib = stage + "/" EXAMPLE_LIBDIR;
  const QString qml_dir = QDir::isAbsolutePath(QStringLiteral(EXAMPLE_QML_DIR))
                              ? QStringLiteral(EXAMPLE_QML_DIR)
                              : stage + "/" EXAMPLE_QML_DIR;

  DbusTestBus bus;
  ASSERT_TRUE(bus.start()) << bus.error();
  ASSERT_GT(bus.start_program((stage + "/bin/keldservice").toStdString(),
                              DbusTestBus::kRelayService),
            0)
      << bus.error();

  // The server confirms the three places of a new store (local ids 1 to 3) with their
  // global ids.
  HttpsTestServer server;
  ASSERT_TRUE(server.start()) << server.error();
  server.redirect_sync_server("/sync");
  HttpsTestServer::Reply reply;
  reply.content_type = KELDRA_COMPACT_MIME_TYPE;
  const orva::SharedPointer<orva::keldra::Static> pool = orva::keldra::Static::instance();
  reply.body = "S:oa1:0;" + server_copy("Harbour cafe", 7001) + "S:oa2:0;" +
               server_copy("Harbour sauna", 7002) + "S:oa3:0;" +
               server_copy("Lake cabin", 7003) + "R:OK;";
  server.answer("POST", "/upload", reply);

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  const QString old = env.value(QStringLiteral("LD_LIBRARY_PATH"));
  env.insert(QStringLiteral("LD_LIBRARY_PATH"), lib + (old.isEmpty() ? "" : ":" + old));
  env.insert(QStringLiteral("QML2_IMPORT_PATH"), qml_dir);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess example;
  example.setProcessEnvironment(env);
  example.start(QStringLiteral(EXAMPLE_RUNNER),
                {"--debug-library", KELDRA_DEBUGLIB_URI_PATH, QString::fromStdString(qml_file)});
  ASSERT_TRUE(example.waitForStarted(30000));
  const bool ended = example.waitForFinished(120000);
  if (!ended) example.kill();
  example.waitForFinished(5000);
  const std::string errors = example.readAllStandardError().toStdString();
  EXPECT_TRUE(ended) << "the example did not end\n" << errors;
  EXPECT_EQ(QProcess::NormalExit, example.exitStatus()) << errors;
  EXPECT_EQ(0, example.exitCode()) << errors;
  EXPECT_EQ(expected, example.readAllStandardOutput().toStdString()) << errors;

  // One upload, with the account's credentials.
  const std::vector<HttpsTestServer::Request> requests = server.requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("POST /upload", requests[0].method + " " + requests[0].path);
  EXPECT_EQ("Basic " + QByteArray("anna:secret").toBase64().toStdString(),
            requests[0].header("Authorization"));
}

}  // namespace
}  // namespace keldra_test
