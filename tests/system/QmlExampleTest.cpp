// The complete example of doc/qml.md, run as the page says: its qml text saved as
// example.qml and run by the command of the page's sh block, the `qml` tool of Qt, which
// imports the module from a staged install of this build, with the staged keldservice on
// a private session bus. The sync server is the loopback HTTPS server, reached through the
// debug library stand-in (the tool is preloaded with a seam that names it; the product
// looks in a system folder). What the example writes with console.log (on standard error,
// as "qml: ...") must be what the page shows, for a server that confirms the upload with
// the reply the page shows, and for a server that cannot be reached. The reply is what
// the page's C++ program prints (built as written: qml_example_reply).
#include <keldra/ObjectConverter.h>

#include "support/DbusTestBus.h"
#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <string>
#include <vector>

namespace keldra_test {
namespace {

// The page's section that holds the example, its command and what it prints, and the
// one that shows the server's reply.
#define EXAMPLE_HEADING "## A complete example"
#define SERVER_HEADING "## How a sync finds its server"

// The fenced blocks "```<fence>" of the section under the line |heading| of |text| (up to
// the next "## " heading), in order.
std::vector<std::string> fenced_blocks(const std::string& text, const std::string& heading,
                                       const std::string& fence) {
  std::vector<std::string> blocks;
  size_t at = text.find("\n" + heading + "\n");
  if (at == std::string::npos) return blocks;
  const size_t section_end = text.find("\n## ", at + 1);
  const std::string open = "\n```" + fence + "\n";
  while ((at = text.find(open, at)) != std::string::npos && at < section_end) {
    at += open.size();
    const size_t end = text.find("\n```", at - 1);
    if (end == std::string::npos) break;
    blocks.push_back(text.substr(at, end + 1 - at));
    at = end + 1;
  }
  return blocks;
}

// The last non-empty line of |block|, split at blanks.
QStringList last_command(const std::string& block) {
  const QStringList lines =
      QString::fromStdString(block).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  return lines.isEmpty() ? QStringList() : lines.last().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// The lines of |output| that begin with |prefix|, each ended by a line end.
std::string lines_with(const QByteArray& output, const QString& prefix) {
  std::string out;
  for (const QString& line : QString::fromUtf8(output).split(QLatin1Char('\n'))) {
    if (line.startsWith(prefix)) out += line.toStdString() + "\n";
  }
  return out;
}

// What the page's program prints: the reply that confirms the example's upload, made
// with the public ObjectConverter. Empty when the program fails.
std::string confirming_reply() {
  QProcess program;
  program.start(QStringLiteral(EXAMPLE_REPLY_PROGRAM), QStringList());
  if (!program.waitForFinished(60000) || program.exitStatus() != QProcess::NormalExit ||
      program.exitCode() != 0) {
    return std::string();
  }
  return program.readAllStandardOutput().toStdString();
}

// A loopback port on which nothing listens.
quint16 closed_port() {
  QTcpServer probe;
  if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
  const quint16 port = probe.serverPort();
  probe.close();
  return port;
}

class QmlExample : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The install, as an application finds it.
    s_stage = new QString(QString::fromStdString(home_dir()) + "/stage");
    QProcess install;
    install.start(QStringLiteral(EXAMPLE_CMAKE),
                  {"--install", EXAMPLE_BUILD_DIR, "--prefix", *s_stage});
    s_installed = install.waitForFinished(170000) && install.exitCode() == 0;
    if (!s_installed)
      s_install_error = new std::string(install.readAllStandardError().toStdString());
  }
  static void TearDownTestSuite() {
    delete s_stage;
    delete s_install_error;
  }

  static QString* s_stage;
  static bool s_installed;
  static std::string* s_install_error;
};

QString* QmlExample::s_stage = nullptr;
bool QmlExample::s_installed = false;
std::string* QmlExample::s_install_error = nullptr;

TEST_F(QmlExample, RunsAsThePageSaysAndPrintsWhatItShows) {
  ASSERT_TRUE(s_installed) << (s_install_error ? *s_install_error : "");
  const std::string page = read_file(EXAMPLE_PAGE);
  const std::vector<std::string> programs = fenced_blocks(page, EXAMPLE_HEADING, "qml");
  const std::vector<std::string> commands = fenced_blocks(page, EXAMPLE_HEADING, "sh");
  const std::vector<std::string> outputs = fenced_blocks(page, EXAMPLE_HEADING, "text");
  const std::vector<std::string> replies = fenced_blocks(page, SERVER_HEADING, "text");
  ASSERT_EQ(1u, programs.size()) << "one qml block under \"" EXAMPLE_HEADING "\"";
  ASSERT_EQ(1u, commands.size()) << "one sh block under \"" EXAMPLE_HEADING "\"";
  ASSERT_EQ(2u, outputs.size()) << "two text blocks under \"" EXAMPLE_HEADING "\"";
  ASSERT_EQ(1u, replies.size()) << "one text block under \"" SERVER_HEADING "\"";
  // The page's reply is what the page's program prints.
  EXPECT_EQ(replies[0], confirming_reply());

  // The command as the page gives it: `qml` from the PATH (the Debian package "qml").
  QStringList command = last_command(commands[0]);
  ASSERT_FALSE(command.isEmpty());
  const QString tool = QStandardPaths::findExecutable(command.takeFirst());
  ASSERT_FALSE(tool.isEmpty()) << "no `qml` tool on the PATH: scripts/install-deps.sh";

  const QString stage = *s_stage;
  const QString lib = stage + "/" EXAMPLE_LIBDIR;
  const QString qml_dir = QDir::isAbsolutePath(QStringLiteral(EXAMPLE_QML_DIR))
                              ? QStringLiteral(EXAMPLE_QML_DIR)
                              : stage + "/" EXAMPLE_QML_DIR;
  DbusTestBus bus;
  ASSERT_TRUE(bus.start()) << bus.error();
  ASSERT_GT(
      bus.start_program((stage + "/bin/keldservice").toStdString(), DbusTestBus::kRelayService), 0)
      << bus.error();
  HttpsTestServer server;
  ASSERT_TRUE(server.start()) << server.error();

  struct Case {
    const char* name;
    bool reachable;  // the loopback server answers; else nothing listens
    size_t output;   // the page's text block the example prints
    int exit_code;
  };
  const Case cases[] = {
      {"a server that confirms the upload", true, 0, 0},
      {"a server that cannot be reached", false, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A new store: a home of its own.
    const QString home =
        QString::fromStdString(home_dir()) + "/" + QString(c.name).replace(' ', '_');
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(write_file(home.toStdString() + "/example.qml", programs[0]));
    server.clear_answers();
    server.clear_record();
    HttpsTestServer::Reply reply;
    reply.content_type = KELDRA_COMPACT_MIME_TYPE;
    reply.body = replies[0];
    server.answer("POST", "/upload", reply);
    server.redirect_sync_server("/sync");
    if (!c.reachable) {
      const quint16 port = closed_port();
      ASSERT_NE(0, port);
      setenv("KELDRA_TEST_SYNC_URI",
             ("https://127.0.0.1:" + std::to_string(port) + "/sync").c_str(), 1);
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString old = env.value(QStringLiteral("LD_LIBRARY_PATH"));
    env.insert(QStringLiteral("LD_LIBRARY_PATH"), lib + (old.isEmpty() ? "" : ":" + old));
    env.insert(QStringLiteral("QML2_IMPORT_PATH"), qml_dir);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + "/.config");
    env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
    env.insert(QStringLiteral("KELDRA_TEST_DEBUG_LIBRARY"), KELDRA_DEBUGLIB_URI_PATH);
    // The tool itself (not built here) leaves Qt's own allocations behind at its end: no
    // leak check in its process (the QML tests check the plug-in's).
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + ":detect_leaks=0");
    const QString preload = QStringLiteral(EXAMPLE_PRELOAD);
    env.insert(QStringLiteral("LD_PRELOAD"),
               (preload.isEmpty() ? QString() : preload + " ") + EXAMPLE_SEAM);
    QProcess example;
    example.setProcessEnvironment(env);
    example.setWorkingDirectory(home);
    example.start(tool, command);
    ASSERT_TRUE(example.waitForStarted(30000)) << tool.toStdString();
    const bool ended = example.waitForFinished(120000);
    if (!ended) example.kill();
    example.waitForFinished(5000);
    const QByteArray errors = example.readAllStandardError();
    EXPECT_TRUE(ended) << "the example did not end\n" << errors.toStdString();
    EXPECT_EQ(QProcess::NormalExit, example.exitStatus()) << errors.toStdString();
    EXPECT_EQ(c.exit_code, example.exitCode()) << errors.toStdString();
    EXPECT_EQ(outputs[c.output], lines_with(errors, QStringLiteral("qml: ")))
        << errors.toStdString();
    EXPECT_EQ("", example.readAllStandardOutput().toStdString());

    if (!c.reachable) continue;
    // One upload, with the account's credentials, as the page describes it.
    const std::vector<HttpsTestServer::Request> requests = server.requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST /upload", requests[0].method + " " + requests[0].path);
    EXPECT_EQ("Basic " + QByteArray("anna:secret").toBase64().toStdString(),
              requests[0].header("Authorization"));
    EXPECT_EQ("application/zip", requests[0].header("Content-Type"));
    EXPECT_FALSE(requests[0].has_header("Accept"));
  }
}

}  // namespace
}  // namespace keldra_test
