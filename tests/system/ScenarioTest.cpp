// The whole system as it runs on the handset, in one scenario: the installed deliverables
// (keldservice, the QML module, libhkeldra-storage with the daemon stand-in syncfw-driver,
// libkeldra behind all of them) each in its own process on a private session bus, the
// fake sync daemon on the same bus and the loopback HTTPS server as the sync server.
//
// The install is a staged one of this build, or the one under KELDRA_SCENARIO_PREFIX
// (scripts/run.sh points it at the prefix it installed to). Every step prints a line
// "[scenario] <step> ... <result>", so the run reads as a demonstration too.
#include <keldra/Attribute.h>
#include <keldra/DynamicBuffer.h>
#include <keldra/MultimediaObject.h>
#include <keldra/Object.h>
#include <keldra/ObjectConverter.h>
#include <keldra/SharedPointer.h>
#include <keldra/Static.h>

#include "compact/SyncSerializer.h"
#include "support/DbTestUtil.h"
#include "support/DbusTestBus.h"
#include "support/FakeSyncDaemon.h"
#include "support/HttpsTestServer.h"
#include "support/TestEnv.h"
#include "support/ZipReader.h"
#include "transfer/FileManager.h"

#include <tervo/ustring.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// Texts in failure messages as text.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace keldra_test {
namespace {

using orva::SharedPointer;
using orva::keldra::Object;

// How long a step waits for the change events it expects: they come through the relay,
// from another process, after the step that caused them has ended.
constexpr int kEventWaitMs = 10000;

// A child that answers each line of input with one line of output (the QML client, the
// storage driver) or prints lines of its own accord (the observer). Waits are bounded.
class LineProcess {
 public:
  ~LineProcess() {
    if (process_.state() != QProcess::NotRunning) finish();
  }

  bool start(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment) {
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    process_.start(program, arguments);
    return process_.waitForStarted(30000);
  }

  // Sends |line| and returns the answer line, "<no answer>" when none comes.
  QString call(const QString& line) {
    process_.write(line.toUtf8() + '\n');
    return next_line(60000);
  }
  QString call(const QString& step, const QVariantMap& args) {
    return call(step + ' ' +
                QString::fromUtf8(QJsonDocument::fromVariant(args).toJson(QJsonDocument::Compact)));
  }

  // Sends |line| to a child that also prints events ("<type>:<id>" lines): those that
  // come before the answer go to |events|; the answer is returned.
  QString call_among(const QString& line, QStringList& events) {
    process_.write(line.toUtf8() + '\n');
    const QRegularExpression event(QStringLiteral("^\\d+:\\d+$"));
    for (;;) {
      const QString out = next_line(60000);
      if (!event.match(out).hasMatch()) return out;
      events << out;
    }
  }

  // The next line the child prints, waiting up to |ms|.
  QString next_line(int ms) {
    QElapsedTimer timer;
    timer.start();
    for (;;) {
      pending_.append(process_.readAllStandardOutput());
      const int end = pending_.indexOf('\n');
      if (end >= 0) {
        const QString out = QString::fromUtf8(pending_.left(end));
        pending_.remove(0, end + 1);
        return out;
      }
      if (process_.state() == QProcess::NotRunning || timer.elapsed() > ms) {
        return QStringLiteral("<no answer>");
      }
      process_.waitForReadyRead(100);
    }
  }

  // Reads printed lines into |lines| until there are |count| of them, or the change
  // events' wait has passed.
  void gather(QStringList& lines, int count) {
    QElapsedTimer waited;
    waited.start();
    while (lines.size() < count) {
      const qint64 left = kEventWaitMs - waited.elapsed();
      if (left <= 0) return;
      const QString line = next_line(static_cast<int>(left));
      if (line == QLatin1String("<no answer>")) return;
      lines << line;
    }
  }

  // Closes the input and waits for the exit: the exit code, or -1.
  int finish() {
    process_.closeWriteChannel();
    if (!process_.waitForFinished(30000)) {
      process_.kill();
      process_.waitForFinished(5000);
      return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }

  QString errors() { return QString::fromLocal8Bit(process_.readAllStandardError()); }

 private:
  QProcess process_;
  QByteArray pending_;
};

// Runs |program| to its end; its standard output, or "" with |ok| false on failure.
QString run_program(
    const QString& program, const QStringList& arguments, bool* ok,
    const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(environment);
  p.start(program, arguments);
  const bool ended = p.waitForFinished(170000);
  *ok = ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (!*ok) std::fprintf(stderr, "%s\n", p.readAllStandardError().constData());
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Where the deliverables are: the install's folders, found as an application or the sync
// daemon would find them.
struct Install {
  QString prefix;
  QString bin() const { return prefix + "/bin"; }
  QString lib() const { return prefix + "/" SCENARIO_LIBDIR; }
  QString qml() const {
    const QString dir = QStringLiteral(SCENARIO_QML_DIR);
    return QDir::isAbsolutePath(dir) ? dir : prefix + '/' + dir;
  }
  QString plugin_dir;  // the sync framework's storage plug-in folder (from its pkg-config entry)
};

class SystemScenario : public ::testing::Test {
 protected:
  // Runs one step: prints its name, runs it, prints its result (or the failure). True
  // when the step did not fail.
  bool step(const char* name, const std::function<std::string()>& body) {
    const int failures_before = failures();
    const std::string result = body();
    const bool failed = HasFatalFailure() || failures() > failures_before;
    std::printf("[scenario] %-62s %s\n", name,
                failed ? "FAILED" : (result.empty() ? "ok" : result.c_str()));
    std::fflush(stdout);
    return !failed;
  }
  static int failures() {
    const ::testing::TestResult* r =
        ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int n = 0;
    for (int i = 0; i < r->total_part_count(); ++i) n += r->GetTestPartResult(i).failed();
    return n;
  }

  // The environment of every child: the install's libraries first, the QML module by its
  // import path, and a temporary folder of the scenario's own, checked empty at the end.
  QProcessEnvironment child_environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString old = env.value(QStringLiteral("LD_LIBRARY_PATH"));
    env.insert(QStringLiteral("LD_LIBRARY_PATH"),
               install_.lib() + (old.isEmpty() ? "" : ":" + old));
    env.insert(QStringLiteral("QML2_IMPORT_PATH"), install_.qml());
    env.insert(QStringLiteral("TMPDIR"), tmp_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
  }

  // A place as the sync server sends it: compact format, base64.
  QString server_item(const char* name, unsigned long long global_id) {
    Object o("location");
    o.set_name(std::string(name));
    o.set_service(std::string("personal"));
    o.set_global_id(global_id);
    SharedPointer<orva::keldra::Attribute> address(
        new orva::keldra::Attribute("address", "address"));
    address->add_field("text")->set_value(std::string(name) + " 1");
    o.get_attributes().push_back(address);
    SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer());
    EXPECT_EQ(0, converter_->encode(o, buffer, KELDRA_COMPACT_MIME_TYPE, false));
    const QByteArray bytes(reinterpret_cast<const char*>(buffer->get_data()),
                           static_cast<int>(buffer->get_data_length()));
    return QString::fromLatin1(bytes.toBase64());
  }
  // |object| as the sync server writes it in a direct-transfer reply.
  static std::string reply_text(const Object& object) {
    orva::keldra::internal::SyncSerializer serializer;
    SharedPointer<orva::keldra::DynamicBuffer> buffer(new orva::keldra::DynamicBuffer);
    EXPECT_EQ(0, serializer.encode(object, buffer, false));
    return std::string(reinterpret_cast<const char*>(buffer->get_data()),
                       buffer->get_data_length());
  }
  static std::string reply_object(const char* name, unsigned long long global_id) {
    Object o("location");
    o.set_name(std::string(name));
    o.set_service(std::string("personal"));
    o.set_global_id(global_id);
    return reply_text(o);
  }
  // A multimedia object of the server's, its file only on the server.
  static std::string reply_media(const char* name, unsigned long long global_id,
                                 const std::string& url, const std::string& mime) {
    orva::keldra::MultimediaObject media;
    EXPECT_EQ(0, media.remote_uri().set_url(orva::ustring(url)));
    EXPECT_EQ(0, media.remote_uri().set_mime(mime));
    Object& o = *media.object();
    o.set_name(std::string(name));
    o.set_service(std::string("personal"));
    o.set_global_id(global_id);
    return reply_text(o);
  }
  // A compact-format text value: ':' ';' and '\\' escaped.
  static std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == ':' || c == ';' || c == '\\') out += '\\';
      out += c;
    }
    return out;
  }
  // The command lines (not the objects after them) of a posted request archive; the
  // names of its other entries (the files) go to |files| when given.
  std::vector<std::string> posted_commands(const HttpsTestServer::Request& request,
                                           std::vector<ZipEntry>* files = nullptr) {
    const std::string path = home_dir() + "/posted.zip";
    std::vector<ZipEntry> entries;
    EXPECT_TRUE(write_file(path, request.body));
    EXPECT_TRUE(read_zip(path, entries));
    std::remove(path.c_str());
    if (entries.empty() || entries.back().name != "upload.compact") return {"<no command text>"};
    if (files) files->assign(entries.begin(), entries.end() - 1);
    const std::string& text = entries.back().bytes;
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
      size_t end = start;
      // Lines end at an unescaped ';'.
      while (end < text.size() && text[end] != ';') end += text[end] == '\\' ? 2 : 1;
      std::string line = text.substr(start, end - start);
      while (!line.empty() && (line[0] == '\n' || line[0] == '\r')) line.erase(0, 1);
      const bool command = line.size() > 1 && line[1] == ':' &&
                           std::string("RAUGD").find(line[0]) != std::string::npos;
      if (command || line.rfind("FW:", 0) == 0) {
        out.push_back(line);
      }
      start = end + 1;
    }
    return out;
  }

  // The names of the ordinary objects among items "<id>:<base64>", keyed by id.
  std::vector<std::string> item_names(const QStringList& items) {
    std::vector<std::string> names;
    for (const QString& item : items) {
      const int colon = item.indexOf(QLatin1Char(':'));
      if (colon < 0 || item.left(colon).toUInt() >= kFirstSystemId) continue;
      const QByteArray bytes = QByteArray::fromBase64(item.mid(colon + 1).toLatin1());
      orva::keldra::ObjectPtr object;
      if (converter_->decode(reinterpret_cast<const unsigned char*>(bytes.constData()),
                             static_cast<unsigned int>(bytes.size()), object,
                             KELDRA_COMPACT_MIME_TYPE) != 0) {
        names.push_back("<undecodable " + item.left(colon).toStdString() + ">");
        continue;
      }
      names.push_back(item.left(colon).toStdString() + "=" + object->get_name());
    }
    return names;
  }

  // What a QML search found, as a set (the server's objects have no titles to sort by),
  // the store's system objects left out.
  static QString found(const QString& answer) {
    if (!answer.startsWith(QLatin1String("ok "))) return answer;
    QStringList names;
    for (const QString& name : answer.mid(3).split(QLatin1Char('|'))) {
      if (!name.startsWith(QLatin1String("sys_"))) names << name;
    }
    names.sort();
    return names.join(QLatin1Char('|'));
  }

  // The words after the driver's leading "true".
  static QStringList listed(const QString& answer) {
    QStringList words = answer.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty() || words.takeFirst() != QLatin1String("true"))
      return {QStringLiteral("<refused>")};
    return words;
  }
  // Ordinary objects only: the reserved system objects sit at the top of the id range.
  static QStringList ordinary(const QStringList& ids) {
    QStringList out;
    for (const QString& id : ids) {
      if (id.toUInt() < kFirstSystemId) out << id;
    }
    return out;
  }

  // The change events the QML client has heard, once it has heard |count| of them or
  // the wait has passed: "ok <type>:<id> ...".
  QString client_events(int count) {
    return client_.call("events", {{"count", count}, {"within", kEventWaitMs}});
  }

  // The fake daemon reports |status| for the store's profile; the plug-in hears it.
  void report_status(int status) {
    daemon_.emit_sync_status(QStringLiteral("maps-keldra"), status, QString(), 0);
    EXPECT_EQ("ok", driver_.call(QStringLiteral("sync")));
  }

  std::string db_path() const { return home_dir() + "/.cities/OstraMaps.db"; }
  // The local id of the stored object of |global_id|; 0 when there is none.
  unsigned int local_id_of(unsigned long long global_id) const {
    const std::vector<std::string> rows =
        store_rows("SELECT local_id FROM object WHERE global_id = " + std::to_string(global_id));
    EXPECT_EQ(1u, rows.size()) << global_id;
    return rows.size() == 1 ? static_cast<unsigned int>(std::stoul(rows[0])) : 0;
  }
  std::vector<std::string> store_rows(const std::string& sql) const {
    return db_test::RawDb(db_path()).rows(sql);
  }

  static constexpr unsigned int kFirstSystemId = 0x7FFFFFF0u;

  Install install_;
  QString tmp_;
  DbusTestBus bus_;
  FakeSyncDaemon daemon_;
  HttpsTestServer server_;
  LineProcess client_;
  LineProcess observer_;
  LineProcess driver_;
  SharedPointer<orva::keldra::Static> static_;
  SharedPointer<orva::keldra::ObjectConverter> converter_;
};

TEST_F(SystemScenario, AllDeliverablesTogether) {
  bool ok = false;
  // --- 1. the deliverables and their stand-ins -------------------------------------
  step("install the deliverables", [&] {
    const char* given = std::getenv("KELDRA_SCENARIO_PREFIX");
    if (given && *given) {
      install_.prefix = QString::fromLocal8Bit(given);
    } else {
      // A stage of this process's own, gone with its home.
      install_.prefix = QString::fromStdString(home_dir()) + "/stage";
      run_program(QStringLiteral(SCENARIO_CMAKE),
                  {"--install", SCENARIO_BUILD_DIR, "--prefix", install_.prefix}, &ok);
      EXPECT_TRUE(ok) << "staged install";
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PKG_CONFIG_PATH"), install_.lib() + "/pkgconfig");
    install_.plugin_dir = run_program(QStringLiteral("pkg-config"),
                                      {"--variable=storageplugindir", "syncfw"}, &ok, env)
                              .trimmed();
    EXPECT_TRUE(ok) << "the sync framework's pkg-config entry";
    for (const QString& f :
         {install_.bin() + "/keldservice", install_.bin() + "/syncfw-driver",
          install_.qml() + "/Keldra/qmldir", install_.plugin_dir + "/libhkeldra-storage.so"}) {
      EXPECT_TRUE(QFileInfo::exists(f)) << f.toStdString();
    }
    return "under " + install_.prefix.toStdString();
  });
  ASSERT_FALSE(HasFailure());

  tmp_ = QString::fromStdString(home_dir()) + "/scenario-tmp";
  ASSERT_TRUE(QDir().mkpath(tmp_));
  step("private session bus with the installed keldservice", [&] {
    EXPECT_TRUE(bus_.start()) << bus_.error();
    EXPECT_GT(bus_.start_program((install_.bin() + "/keldservice").toStdString(),
                                 DbusTestBus::kRelayService),
              0)
        << bus_.error();
    return bus_.address().substr(0, bus_.address().find(','));
  });
  ASSERT_FALSE(HasFailure());
  step("fake sync daemon on the bus", [&] {
    EXPECT_TRUE(daemon_.start(bus_)) << daemon_.error();
    return std::string(FakeSyncDaemon::kService);
  });
  step("loopback HTTPS server as the sync server", [&] {
    EXPECT_TRUE(server_.start()) << server_.error();
    // The library's sync server address, in every child that takes the debug library.
    server_.redirect_sync_server("/sync");
    return server_.url("/sync");
  });
  ASSERT_FALSE(HasFailure());
  static_ = orva::keldra::Static::instance();
  converter_ = orva::keldra::ObjectConverter::create();
  ASSERT_TRUE(converter_.is_valid());

  const QProcessEnvironment env = child_environment();
  step("observer process opens the store and listens", [&] {
    EXPECT_TRUE(observer_.start(QStringLiteral(SCENARIO_OBSERVER), {}, env));
    EXPECT_EQ("ready", observer_.next_line(60000)) << observer_.errors().toStdString();
    return "";
  });
  step("QML client (module Keldra by its URI) opens the store", [&] {
    EXPECT_TRUE(client_.start(QStringLiteral(SCENARIO_CLIENT),
                              {"--debug-library", KELDRA_DEBUGLIB_URI_PATH, SCENARIO_CLIENT_QML},
                              env));
    EXPECT_EQ("ok", client_.call(QStringLiteral("open"))) << client_.errors().toStdString();
    return "";
  });
  ASSERT_FALSE(HasFailure());

  // --- 2. the application writes and searches --------------------------------------
  auto stored_id = [&](const QString& answer) -> unsigned int {
    EXPECT_TRUE(answer.startsWith(QLatin1String("ok "))) << answer.toStdString();
    return answer.mid(3).toUInt();
  };
  unsigned int cafe = 0, market = 0, walk = 0, weekend = 0;
  const bool added = step("QML: add two places, a route through them, a collection", [&] {
    cafe = stored_id(client_.call(
        "place", {{"name", "Harbour cafe"}, {"title", QString::fromUtf8("Harbour café")}}));
    market = stored_id(client_.call("place", {{"name", "Old market"}, {"title", "Old market"}}));
    walk = stored_id(client_.call("route", {{"name", "Harbour walk"},
                                            {"title", "Harbour walk"},
                                            {"through", QVariantList{cafe, market}}}));
    weekend = stored_id(client_.call("collection", {{"name", "Weekend"},
                                                    {"title", QString::fromUtf8("Weekend ☀")},
                                                    {"items", QVariantList{cafe, market, walk}}}));
    return "local ids " + std::to_string(cafe) + " " + std::to_string(market) + " " +
           std::to_string(walk) + " " + std::to_string(weekend);
  });
  ASSERT_TRUE(added);
  step("QML: the route and the collection link what they hold", [&] {
    EXPECT_EQ(QString("ok %1 %2").arg(cafe).arg(market), client_.call("members", {{"id", walk}}));
    EXPECT_EQ(QString("ok %1 %2 %3").arg(cafe).arg(market).arg(walk),
              client_.call("members", {{"id", weekend}}));
    return "";
  });
  step("QML: search by class, by text, everything", [&] {
    EXPECT_EQ(QString::fromUtf8("ok location:Harbour café|location:Old market"),
              client_.call("search", {{"classes", QVariantList{"location"}}}));
    EXPECT_EQ(QString::fromUtf8("ok location:Harbour café|route:Harbour walk"),
              client_.call("search", {{"classes", QVariantList{}}, {"text", "Harbour"}}));
    EXPECT_EQ(
        QString::fromUtf8(
            "ok location:Harbour café|route:Harbour walk|location:Old market|collection:Weekend ☀"),
        client_.call("search", {{"classes", QVariantList{}}}));
    return "4 objects, sorted by title";
  });

  // Every change so far, in the order written, as each process hears it.
  QStringList expected_events;
  for (unsigned int id : {cafe, market, walk, weekend}) expected_events << QString("1:%1").arg(id);
  QStringList observed;
  step("observer: heard every change of the QML client", [&] {
    observer_.gather(observed, expected_events.size());
    EXPECT_EQ(expected_events, observed);
    return std::to_string(observed.size()) + " events";
  });

  // --- 3. a SyncML session through the daemon stand-in -----------------------------
  unsigned int lighthouse = 0, pier = 0;
  const bool driver_up = step("SyncML: the driver loads the installed libhkeldra-storage", [&] {
    EXPECT_TRUE(driver_.start(install_.bin() + "/syncfw-driver",
                              {"--plugin-dir", install_.plugin_dir}, env));
    EXPECT_EQ("ok", driver_.call("load hkeldra"));
    EXPECT_EQ("ok", driver_.call("create hkeldra"));
    EXPECT_EQ("true", driver_.call("init")) << driver_.errors().toStdString();
    return "";
  });
  ASSERT_TRUE(driver_up);
  step("SyncML: the daemon starts the session; the phone's items go out", [&] {
    report_status(1);
    report_status(2);
    const QStringList fresh = ordinary(listed(driver_.call("newids")));
    EXPECT_EQ(QString("%1 %2 %3 %4").arg(cafe).arg(market).arg(walk).arg(weekend), fresh.join(' '));
    const std::vector<std::string> sent = item_names(listed(driver_.call("newitems")));
    EXPECT_EQ((std::vector<std::string>{
                  std::to_string(cafe) + "=Harbour cafe", std::to_string(market) + "=Old market",
                  std::to_string(walk) + "=Harbour walk", std::to_string(weekend) + "=Weekend"}),
              sent);
    EXPECT_TRUE(ordinary(listed(driver_.call("deletedids"))).isEmpty());
    return std::to_string(sent.size()) + " new items sent";
  });
  step("SyncML: the server's items come in (two added, one changed)", [&] {
    const QStringList added = driver_
                                  .call("additems " + server_item("Lighthouse", 8001) + " " +
                                        server_item("Ferry pier", 8002))
                                  .split(" | ");
    EXPECT_EQ(2, added.size());
    if (added.size() == 2) {
      EXPECT_EQ("0 0", added[0]);
      const QStringList ids = added[1].split(' ');
      lighthouse = ids.value(0).toUInt();
      pier = ids.value(1).toUInt();
    }
    EXPECT_EQ("0", driver_.call(QString("modify %1 ").arg(market) +
                                server_item("Old market hall", 8003)));
    return "local ids " + std::to_string(lighthouse) + " " + std::to_string(pier);
  });
  step("SyncML: DONE, uninit; the changes reach the relay", [&] {
    report_status(4);
    EXPECT_EQ("true", driver_.call("uninit"));
    expected_events << QString("1:%1").arg(lighthouse) << QString("1:%1").arg(pier)
                    << QString("2:%1").arg(market);
    observer_.gather(observed, expected_events.size());
    EXPECT_EQ(expected_events, observed);
    return "";
  });

  // --- the application sees the server's objects and removes one --------------------
  step("QML: the server's objects are found; one is removed", [&] {
    EXPECT_EQ(QString::fromUtf8("location:Ferry pier|location:Harbour "
                                "café|location:Lighthouse|location:Old market hall"),
              found(client_.call("search", {{"classes", QVariantList{"location"}}})));
    EXPECT_EQ("ok", client_.call("remove", {{"id", lighthouse}}));
    expected_events << QString("3:%1").arg(lighthouse);
    observer_.gather(observed, expected_events.size());
    EXPECT_EQ(expected_events, observed);
    return "";
  });

  // --- 4. the next session sends the removal; DONE purges it ------------------------
  step("SyncML: the removal goes out; the daemon's DONE purges it", [&] {
    EXPECT_EQ("true", driver_.call("init"));
    report_status(2);
    EXPECT_EQ(QString::number(lighthouse), ordinary(listed(driver_.call("deletedids"))).join(' '));
    EXPECT_EQ((std::vector<std::string>{std::to_string(lighthouse)}),
              store_rows("SELECT local_id FROM removed"));
    report_status(4);
    EXPECT_EQ("true", driver_.call("uninit"));
    EXPECT_TRUE(store_rows("SELECT local_id FROM removed").empty());
    EXPECT_EQ("ok", driver_.call("destroy"));
    EXPECT_EQ(0, driver_.finish()) << driver_.errors().toStdString();
    return "removed list empty";
  });

  // --- 5. direct transfer ------------------------------------------------------------
  unsigned int kiosk = 0, island = 0;
  step("QML: a new place to send directly", [&] {
    kiosk = stored_id(client_.call("place", {{"name", "Beach kiosk"}, {"title", "Beach kiosk"}}));
    expected_events << QString("1:%1").arg(kiosk);
    return "local id " + std::to_string(kiosk);
  });
  // The server confirms the new place with its global id, and sends the object asked for;
  // each run takes only the lines of the keys it sent.
  HttpsTestServer::Reply reply;
  reply.content_type = KELDRA_COMPACT_MIME_TYPE;
  auto direct_sync = [&](int tasks, const QVariantList& global_ids) {
    return client_.call("sync", {{"tasks", tasks},
                                 {"gids", global_ids},
                                 {"user", "anna"},
                                 {"password", "secret"},
                                 {"account", "42"}});
  };
  std::vector<std::string> uploaded;
  step("direct transfer from QML: the phone's objects go up", [&] {
    // Every item of the package is answered: a reply that leaves one out fails the run.
    reply.body = "S:oa" + std::to_string(kiosk) + ":0;" + reply_object("Beach kiosk", 9001) +
                 "S:oa" + std::to_string(cafe) + ":0;S:oa" + std::to_string(walk) + ":0;S:oa" +
                 std::to_string(weekend) + ":0;S:od8101:0;" + reply_object("Island ferry", 8101) +
                 "S:od8102:0;" +
                 reply_media("Harbour at dawn", 8102, server_.url("/files/dawn"), "image/jpeg") +
                 "R:OK;";
    server_.answer("POST", "/upload", reply);
    EXPECT_EQ("ok 1", direct_sync(1, {}).section(' ', 0, 1));
    const std::vector<HttpsTestServer::Request> posts = server_.requests();
    EXPECT_EQ(1u, posts.size());
    if (!posts.empty()) uploaded = posted_commands(posts[0]);
    // Every object with local changes goes, the new place among them; the server's
    // answer gives it its global id and makes it synchronised.
    EXPECT_NE(uploaded.end(),
              std::find(uploaded.begin(), uploaded.end(), "A:oa" + std::to_string(kiosk)));
    EXPECT_EQ((std::vector<std::string>{"9001|0"}),
              store_rows("SELECT global_id, modified FROM object WHERE local_id = " +
                         std::to_string(kiosk)));
    expected_events << "5:0" << QString("2:%1").arg(kiosk) << "6:0";
    return std::to_string(uploaded.size()) + " commands posted";
  });
  unsigned int dawn = 0, photo = 0;
  step("direct transfer from QML: the server's objects come down", [&] {
    EXPECT_EQ("ok 1", direct_sync(2, {8101, 8102}).section(' ', 0, 1));
    island = local_id_of(8101);
    dawn = local_id_of(8102);
    // The store's mapping object comes with them.
    const std::vector<std::string> mapping =
        store_rows("SELECT local_id FROM object WHERE class_name = 'sys_mapping'");
    EXPECT_EQ(1u, mapping.size());
    expected_events << "5:0" << QString("1:%1").arg(island) << QString("1:%1").arg(dawn)
                    << QString("1:%1").arg(
                           QString::fromStdString(mapping.empty() ? "?" : mapping[0]))
                    << "6:0";
    return "Island ferry and the photo 'Harbour at dawn' are local ids " + std::to_string(island) +
           " " + std::to_string(dawn);
  });
  const std::string photo_path = home_dir() + "/media/lighthouse.jpg";
  const std::string photo_bytes(3000, 'j');
  step("observer process: records a photo of its own", [&] {
    // The observer writes only once the relay has passed on the QML client's sync (its
    // SYNC_STOP last), so that the relay orders its change after them.
    observer_.gather(observed, expected_events.size());
    EXPECT_EQ(expected_events, observed);
    EXPECT_TRUE(write_file(photo_path, photo_bytes));
    const QString answer = observer_.call_among(
        QString::fromStdString("media lighthouse-photo image/jpeg " + photo_path), observed);
    EXPECT_TRUE(answer.startsWith("stored ")) << answer.toStdString();
    photo = answer.mid(7).toUInt();
    expected_events << QString("1:%1").arg(photo);
    // Two processes now write: the QML client's next sync may start only once it has heard
    // this change, or the relay may pass the two on in either order.
    EXPECT_EQ("ok " + expected_events.join(' '), client_events(expected_events.size()));
    return "local id " + std::to_string(photo);
  });
  step("direct transfer from QML: the photo's file goes up", [&] {
    server_.clear_answers();
    reply.body = "F:mu" + std::to_string(photo) +
                 ":0:" + escaped(server_.url("/files/lighthouse")) + ";R:OK;";
    server_.answer("POST", "/upload", reply);
    EXPECT_EQ("ok 1", direct_sync(8, {}).section(' ', 0, 1));
    expected_events << "5:0" << QString("2:%1").arg(photo) << "6:0";
    // The object now names where the server keeps the file; its own file stays.
    EXPECT_EQ(QString::fromStdString("uris " + photo_path + "|" + server_.url("/files/lighthouse")),
              observer_.call_among(QString("uris %1").arg(photo), observed));
    return "posted in a package of its own";
  });
  step("direct transfer from QML: the server's photo comes down", [&] {
    HttpsTestServer::Reply file;
    file.content_type = "image/jpeg";
    file.body = "jpeg bytes of dawn";
    server_.answer("GET", "/files/dawn", file);
    EXPECT_EQ("ok 1", direct_sync(16, {}).section(' ', 0, 1));
    std::string folder;
    EXPECT_EQ(0,
              orva::keldra::internal::FileManager::open()->get_download_path("image/jpeg", folder));
    EXPECT_EQ(file.body, read_file(folder + "md8102"));
    expected_events << "5:0" << QString("2:%1").arg(dawn) << "6:0";
    EXPECT_EQ(QString::fromStdString("uris " + folder + "md8102|" + server_.url("/files/dawn")),
              observer_.call_among(QString("uris %1").arg(dawn), observed));
    return "saved as " + folder + "md8102";
  });

  // --- 6. everything agrees -----------------------------------------------------------
  step("the store's content", [&] {
    const std::vector<std::string> rows = store_rows(
        "SELECT class_name, name, global_id, modified != 0 FROM object WHERE local_id < " +
        std::to_string(kFirstSystemId) + " AND class_name NOT LIKE 'sys%' ORDER BY local_id");
    // Objects the server never confirmed keep their local changes for the next sync.
    EXPECT_EQ((std::vector<std::string>{
                  "'location'|'Harbour cafe'|NULL|1", "'location'|'Old market hall'|8003|0",
                  "'route'|'Harbour walk'|NULL|1", "'collection'|'Weekend'|NULL|1",
                  "'location'|'Ferry pier'|8002|0", "'location'|'Beach kiosk'|9001|0",
                  "'location'|'Island ferry'|8101|0", "'multimedia'|'Harbour at dawn'|8102|0",
                  "'multimedia'|'lighthouse-photo'|NULL|1"}),
              rows);
    EXPECT_EQ(QString::fromUtf8("collection:Weekend ☀|location:Beach kiosk|location:Ferry pier|"
                                "location:Harbour café|location:Island ferry|"
                                "location:Old market hall|multimedia:Harbour at dawn|"
                                "multimedia:lighthouse-photo|route:Harbour walk"),
              found(client_.call("search", {{"classes", QVariantList{}}})));
    return std::to_string(rows.size()) + " objects, as QML finds them";
  });
  step("every observer heard the same changes", [&] {
    EXPECT_EQ("ok " + expected_events.join(' '), client_events(expected_events.size()));
    observer_.gather(observed, expected_events.size());
    EXPECT_EQ(expected_events, observed);
    return std::to_string(expected_events.size()) + " events in the QML client and the observer";
  });
  step("the server's record of requests", [&] {
    const std::string digest = QByteArray("anna:secret").toBase64().toStdString();
    const std::vector<HttpsTestServer::Request> requests = server_.requests();
    const std::string config = "A:oa2147483647";
    // The posted archives: their commands after the request line, and their files.
    const struct {
      std::vector<std::string> commands;
      std::vector<std::string> files;
    } posts[] = {
        {{config, "A:oa" + std::to_string(cafe), "A:oa" + std::to_string(walk),
          "A:oa" + std::to_string(weekend), "A:oa" + std::to_string(kiosk)},
         {}},
        {{config, "G:od8101:8101:F", "G:od8102:8102:F"}, {}},
        {{config, "A:oa2147483645", "FW:personal:image/jpeg:mu" + std::to_string(photo)},
         {"mu" + std::to_string(photo)}},
    };
    const size_t n_posts = sizeof posts / sizeof posts[0];
    EXPECT_EQ(n_posts + 1, requests.size());
    for (size_t i = 0; i < requests.size(); ++i) {
      SCOPED_TRACE(i);
      // Every request carries the account's credentials: the server's own host.
      EXPECT_EQ("Basic " + digest, requests[i].header("Authorization"));
      if (i >= n_posts) {
        EXPECT_EQ("GET /files/dawn", requests[i].method + " " + requests[i].path);
        continue;
      }
      EXPECT_EQ("POST /upload", requests[i].method + " " + requests[i].path);
      std::vector<ZipEntry> files;
      std::vector<std::string> lines = posted_commands(requests[i], &files);
      // The request line first: the device, then the account's digest.
      if (lines.empty()) {
        ADD_FAILURE() << "no command text";
        continue;
      }
      EXPECT_EQ(0u, lines[0].rfind("R:", 0)) << lines[0];
      EXPECT_EQ(lines[0].size() - digest.size(), lines[0].rfind(":" + digest) + 1) << lines[0];
      lines.erase(lines.begin());
      EXPECT_EQ(posts[i].commands, lines);
      std::vector<std::string> names;
      for (const ZipEntry& f : files) {
        names.push_back(f.name);
        EXPECT_EQ(photo_bytes, f.bytes) << f.name;
      }
      EXPECT_EQ(posts[i].files, names);
    }
    return std::to_string(requests.size()) + " requests, each as the store's changes call for";
  });
  step("the processes end cleanly; nothing left in temporary folders", [&] {
    EXPECT_EQ(0, client_.finish()) << client_.errors().toStdString();
    EXPECT_EQ(0, observer_.finish()) << observer_.errors().toStdString();
    server_.stop();
    EXPECT_TRUE(
        QDir(tmp_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        << QDir(tmp_)
               .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
               .join(' ')
               .toStdString();
    return "";
  });
}

}  // namespace
}  // namespace keldra_test
