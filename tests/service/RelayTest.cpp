// keldservice as the library meets it: a real relay process on a private bus, callers and
// listeners on connections of their own.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDataStream>
#include <QSet>
#include <QXmlStreamReader>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/Broadcast.h"
#include "support/DbusTestBus.h"
#include "support/TestEnv.h"

using keldra_test::Broadcast;
using keldra_test::DbusTestBus;
using keldra_test::batch_of;
using keldra_test::wait_until;

namespace {

const QString kService = QString::fromLatin1(DbusTestBus::kRelayService);
const QString kPath = QString::fromLatin1(DbusTestBus::kRelayPath);
const QString kInterface = QString::fromLatin1(DbusTestBus::kRelayInterface);

// Type of the message that closes a sequence: once it arrives, everything sent before
// it by the same caller has arrived too.
constexpr int kFenceType = -424242;

}  // namespace

// Listens to the relay's two signals the way the library's hub does: bound to the
// relay's well-known name, path and interface.
class RelayListener : public QObject {
  Q_OBJECT

 public:
  explicit RelayListener(QDBusConnection connection) : connection_(connection) {
    ok_ = connection_.connect(kService, kPath, kInterface, QStringLiteral("DbChanged"), this,
                              SLOT(on_changed(int, int))) &&
          connection_.connect(kService, kPath, kInterface, QStringLiteral("DbChanges"), this,
                              SLOT(on_changes(QByteArray)));
  }
  ~RelayListener() override {
    connection_.disconnect(kService, kPath, kInterface, QStringLiteral("DbChanged"), this,
                           SLOT(on_changed(int, int)));
    connection_.disconnect(kService, kPath, kInterface, QStringLiteral("DbChanges"), this,
                           SLOT(on_changes(QByteArray)));
  }

  bool ok() const { return ok_; }
  std::vector<Broadcast> log;

  bool has_fence(int tag) const {
    for (const auto& b : log) {
      if (b == Broadcast::one(kFenceType, tag)) return true;
    }
    return false;
  }

 public Q_SLOTS:
  void on_changed(int type, int id) { log.push_back(Broadcast::one(type, id)); }
  void on_changes(const QByteArray& messages) { log.push_back(Broadcast::many(messages)); }

 private:
  QDBusConnection connection_;
  bool ok_ = false;
};

class RelayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bus_ = &DbusTestBus::shared();
    ASSERT_TRUE(bus_->running() && bus_->relay_pid() > 0) << bus_->error();
    a_ = connect_client();
    b_ = connect_client();
    ASSERT_TRUE(a_.isConnected() && b_.isConnected());
    listen_a_.reset(new RelayListener(a_));
    listen_b_.reset(new RelayListener(b_));
    ASSERT_TRUE(listen_a_->ok() && listen_b_->ok());
    // The listeners' match rules reach the bus daemon on their own, not in step with the
    // calls: fences are sent until both hear one, so that the rules are in place before a
    // test's first call.
    ASSERT_TRUE(listeners_in_place());
    // Then one more, after which no setup fence is still on its way.
    ASSERT_TRUE(fence(a_, -1000));
    listen_a_->log.clear();
    listen_b_->log.clear();
  }

  void TearDown() override {
    listen_a_.reset();
    listen_b_.reset();
    for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
  }

  QDBusConnection connect_client() {
    static int counter = 0;
    names_ << QStringLiteral("relay_client_%1").arg(++counter);
    return QDBusConnection::connectToBus(QString::fromStdString(bus_->address()), names_.last());
  }

  // Calls like the library: asynchronously, the reply never waited for.
  static void send_one(QDBusConnection& caller, int type, int id) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("SendMessage"));
    call << type << id;
    caller.asyncCall(call);
  }
  static void send_many(QDBusConnection& caller, const QByteArray& array) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("SendMessages"));
    call << array;
    caller.asyncCall(call);
  }

  bool listeners_in_place() {
    for (int tag = -1; tag >= -100; --tag) {
      send_one(a_, kFenceType, tag);
      QElapsedTimer waited;
      waited.start();
      while (waited.elapsed() < 100) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (heard_set_up_fence(*listen_a_) && heard_set_up_fence(*listen_b_)) return true;
      }
    }
    return false;
  }
  static bool heard_set_up_fence(const RelayListener& listener) {
    for (const Broadcast& b : listener.log) {
      for (int tag = -1; tag >= -100; --tag) {
        if (b == Broadcast::one(kFenceType, tag)) return true;
      }
    }
    return false;
  }

  // Sends the fence |tag| from |caller| and waits until both listeners have it.
  bool fence(QDBusConnection& caller, int tag) {
    send_one(caller, kFenceType, tag);
    return wait_until([&] { return listen_a_->has_fence(tag) && listen_b_->has_fence(tag); });
  }

  DbusTestBus* bus_ = nullptr;
  QStringList names_;
  QDBusConnection a_{QString()};
  QDBusConnection b_{QString()};
  std::unique_ptr<RelayListener> listen_a_;
  std::unique_ptr<RelayListener> listen_b_;
};

// Each call gives exactly one signal with its own values, to every listener, the caller
// included, in the order of the calls.
TEST_F(RelayTest, SingleMessagesReachEveryListenerUnchangedAndInOrder) {
  const std::vector<std::pair<int, int>> calls = {
      {5, 0}, {0, 0}, {-1, -7}, {INT_MIN, INT_MAX}, {6, 123456}, {1, 1}, {1, 1}};
  std::vector<Broadcast> expected;
  for (const auto& c : calls) {
    send_one(a_, c.first, c.second);
    expected.push_back(Broadcast::one(c.first, c.second));
  }
  ASSERT_TRUE(fence(a_, 1));
  expected.push_back(Broadcast::one(kFenceType, 1));

  EXPECT_EQ(listen_a_->log, expected);
  EXPECT_EQ(listen_b_->log, expected);
}

// Arrays pass through byte for byte, whatever they hold: a batch in the hub's layout,
// the empty array, bytes that are no batch at all, every byte value, a large batch.
TEST_F(RelayTest, BatchesPassThroughByteForByte) {
  std::vector<std::pair<int, int>> large;
  for (int i = 0; i < 5000; ++i) large.emplace_back(1 + i % 3, i);
  QByteArray every_byte;
  for (int i = 0; i < 256; ++i) every_byte.append(static_cast<char>(i));

  const QByteArray three = batch_of({{1, 7}, {2, 7}, {3, 9}});
  ASSERT_EQ(three, QByteArray::fromHex("00000006"
                                       "0000000100000007"
                                       "0000000200000007"
                                       "0000000300000009"));
  const std::vector<QByteArray> arrays = {
      three,
      QByteArray(),
      QByteArray("\x00\x00\x01", 3),
      batch_of({{-1, INT_MIN}}),
      every_byte,
      batch_of(large),
      QByteArray(),
  };

  std::vector<Broadcast> expected;
  for (const QByteArray& array : arrays) {
    send_many(b_, array);
    expected.push_back(Broadcast::many(array));
  }
  ASSERT_TRUE(fence(b_, 2));
  expected.push_back(Broadcast::one(kFenceType, 2));

  EXPECT_EQ(listen_a_->log, expected);
  EXPECT_EQ(listen_b_->log, expected);

  // The first batch still reads back as the events it was made from.
  ASSERT_FALSE(listen_a_->log.empty());
  QDataStream in(listen_a_->log.front().messages);
  qint32 n = 0, type = 0, id = 0;
  in >> n;
  EXPECT_EQ(n, 6);
  std::vector<std::pair<int, int>> events;
  for (int i = 0; i < n / 2; ++i) {
    in >> type >> id;
    events.emplace_back(type, id);
  }
  EXPECT_EQ(in.status(), QDataStream::Ok);
  EXPECT_EQ(events, (std::vector<std::pair<int, int>>{{1, 7}, {2, 7}, {3, 9}}));
}

// Two callers send bursts at the same time: nothing is lost or doubled, and each caller's
// calls come out in the order it made them.
TEST_F(RelayTest, BurstsFromTwoCallersArriveCompleteAndInCallOrder) {
  constexpr int kCalls = 600;
  std::vector<Broadcast> from_a, from_b;
  for (int i = 0; i < kCalls; ++i) {
    if (i % 10 == 9) {
      const QByteArray array = batch_of({{100, i}, {101, i}});
      send_many(a_, array);
      from_a.push_back(Broadcast::many(array));
    } else {
      send_one(a_, 100, i);
      from_a.push_back(Broadcast::one(100, i));
    }
    send_one(b_, 200, i);
    from_b.push_back(Broadcast::one(200, i));
  }
  ASSERT_TRUE(fence(a_, 3));
  ASSERT_TRUE(fence(b_, 4));
  from_a.push_back(Broadcast::one(kFenceType, 3));
  from_b.push_back(Broadcast::one(kFenceType, 4));

  for (RelayListener* listener : {listen_a_.get(), listen_b_.get()}) {
    std::vector<Broadcast> got_a, got_b;
    for (const Broadcast& b : listener->log) {
      const bool of_a = b.batch || b.type == 100 || b == Broadcast::one(kFenceType, 3);
      (of_a ? got_a : got_b).push_back(b);
    }
    EXPECT_EQ(got_a, from_a);
    EXPECT_EQ(got_b, from_b);
  }
}

// The object shows exactly the relay interface, in the fixed introspection text, next to
// the standard interfaces; none of the relay object's own members are exported.
TEST_F(RelayTest, IntrospectionShowsTheRelayInterfaceVerbatim) {
  const QString fragment = QStringLiteral(
      "  <interface name=\"com.ostra.maps.keldservice\">\n"
      "    <!-- a method for signaling messages to all interested listeners -->\n"
      "    <signal name=\"DbChanged\">\n"
      "      <arg direction=\"out\" type=\"i\" name=\"type\"/>\n"
      "      <arg direction=\"out\" type=\"i\" name=\"id\"/>\n"
      "    </signal>\n"
      "    <signal name=\"DbChanges\">\n"
      "      <arg direction=\"out\" type=\"ay\" name=\"messages\"/>\n"
      "    </signal>\n"
      "    <method name=\"SendMessage\">\n"
      "      <!-- message type (new, deleted, updated...) -->\n"
      "      <arg direction=\"in\" type=\"i\" name=\"type\"/>\n"
      "      <arg direction=\"in\" type=\"i\" name=\"id\"/>\n"
      "    </method>\n"
      "    <method name=\"SendMessages\">\n"
      "      <arg direction=\"in\" type=\"ay\" name=\"array\"/>\n"
      "    </method>\n"
      "  </interface>\n");

  const QDBusMessage reply = a_.call(QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
      QStringLiteral("Introspect")));
  ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  const QString xml = reply.arguments().value(0).toString();
  EXPECT_EQ(xml.count(fragment), 1) << xml.toStdString();

  QSet<QString> interfaces;
  QXmlStreamReader reader(xml);
  while (!reader.atEnd()) {
    reader.readNext();
    if (reader.isStartElement() && reader.name() == QLatin1String("interface")) {
      interfaces << reader.attributes().value(QLatin1String("name")).toString();
    }
  }
  EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
  EXPECT_EQ(interfaces, (QSet<QString>{kInterface,
                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                       QStringLiteral("org.freedesktop.DBus.Peer")}));
}

// A second copy started while the first runs keeps running without the name; calls
// addressed to the name still go to the first copy only, one signal per call.
TEST_F(RelayTest, SecondCopyKeepsRunningWithoutTheName) {
  const pid_t first = bus_->relay_pid();
  const pid_t second = bus_->start_relay(false);
  ASSERT_GT(second, 0) << bus_->error();

  // The second copy is on the bus once its object answers at its unique name; by then it
  // has already tried to take the well-known name.
  QDBusConnectionInterface* bus = a_.interface();
  QString second_unique;
  ASSERT_TRUE(wait_until([&] {
    for (const QString& name : bus->registeredServiceNames().value()) {
      if (name.startsWith(QLatin1Char(':')) &&
          static_cast<pid_t>(bus->servicePid(name).value()) == second) {
        const QDBusMessage reply = a_.call(QDBusMessage::createMethodCall(
            name, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
            QStringLiteral("Introspect")));
        if (reply.type() == QDBusMessage::ReplyMessage &&
            reply.arguments().value(0).toString().contains(kInterface)) {
          second_unique = name;
          return true;
        }
      }
    }
    return false;
  }));

  EXPECT_EQ(static_cast<pid_t>(bus->servicePid(kService).value()), first);
  for (const QString& name : bus->registeredServiceNames().value()) {
    if (!name.startsWith(QLatin1Char(':'))) {
      EXPECT_NE(bus->serviceOwner(name).value(), second_unique) << name.toStdString();
    }
  }

  send_one(a_, 7, 8);
  ASSERT_TRUE(fence(a_, 5));
  const std::vector<Broadcast> expected = {Broadcast::one(7, 8), Broadcast::one(kFenceType, 5)};
  EXPECT_EQ(listen_a_->log, expected);
  EXPECT_EQ(listen_b_->log, expected);

  EXPECT_TRUE(bus_->is_running(second));
  EXPECT_TRUE(bus_->is_running(first));
  EXPECT_TRUE(bus_->stop_relay(second));
}

namespace {

// The section of the README between |heading| and the next heading of its level.
std::string readme_section(const std::string& heading) {
  std::ifstream in(std::string(KELDRA_SOURCE_DIR) + "/README.md");
  std::stringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  const size_t from = all.find(heading);
  if (from == std::string::npos) return std::string();
  const size_t to = all.find("\n## ", from + heading.size());
  return all.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// The lines of the fenced blocks of |fence| ("sh", "text") in |section|.
std::vector<std::string> fenced_lines(const std::string& section, const std::string& fence) {
  std::vector<std::string> lines;
  std::istringstream in(section);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!inside && line == "```" + fence) {
      inside = true;
    } else if (inside && line == "```") {
      inside = false;
    } else if (inside) {
      lines.push_back(line);
    }
  }
  return lines;
}

// "kind name(type name, ...)" for every member of the relay interface in |xml|.
std::set<std::string> introspected_members(const QString& xml) {
  std::set<std::string> members;
  QXmlStreamReader reader(xml);
  bool in_relay = false;
  std::string current;
  bool first_arg = true;
  while (!reader.atEnd()) {
    reader.readNext();
    const QString name = reader.name().toString();
    if (reader.isStartElement() && name == QLatin1String("interface")) {
      in_relay = reader.attributes().value(QLatin1String("name")) == kInterface;
    } else if (in_relay && reader.isStartElement() &&
               (name == QLatin1String("method") || name == QLatin1String("signal"))) {
      current = name.toStdString() + " " +
                reader.attributes().value(QLatin1String("name")).toString().toStdString() + "(";
      first_arg = true;
    } else if (in_relay && reader.isStartElement() && name == QLatin1String("arg")) {
      current += (first_arg ? "" : ", ") +
                 reader.attributes().value(QLatin1String("type")).toString().toStdString() + " " +
                 reader.attributes().value(QLatin1String("name")).toString().toStdString();
      first_arg = false;
    } else if (in_relay && reader.isEndElement() &&
               (name == QLatin1String("method") || name == QLatin1String("signal"))) {
      members.insert(current + ")");
    }
  }
  return members;
}

}  // namespace

// The README's description of the relay (names, members with their arguments, the gdbus
// example and what it makes the relay broadcast) agrees with the running service.
TEST_F(RelayTest, ReadmeDescribesTheRunningInterface) {
  const std::string section = readme_section("## Talking to keldservice");
  ASSERT_FALSE(section.empty()) << "README has no section on keldservice";

  for (const auto& row : std::vector<std::pair<std::string, QString>>{
           {"service name", kService}, {"object path", kPath}, {"interface", kInterface}}) {
    EXPECT_NE(std::string::npos,
              section.find("| " + row.first + " | `" + row.second.toStdString() + "` |"))
        << row.first;
  }

  // Member rows: | `Name` | kind | `t name`, `t name` | ... |
  std::set<std::string> documented;
  const std::regex row(R"(\n\| `(\w+)` \| (method|signal) \| ([^|]*) \|)");
  const std::regex arg(R"(`(\S+) (\w+)`)");
  for (std::sregex_iterator r(section.begin(), section.end(), row), end; r != end; ++r) {
    std::string member = (*r)[2].str() + " " + (*r)[1].str() + "(";
    const std::string args = (*r)[3].str();
    bool first = true;
    for (std::sregex_iterator a(args.begin(), args.end(), arg); a != end; ++a) {
      member += (first ? "" : ", ") + (*a)[1].str() + " " + (*a)[2].str();
      first = false;
    }
    documented.insert(member + ")");
  }
  const QDBusMessage reply = a_.call(QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
      QStringLiteral("Introspect")));
  ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  const std::set<std::string> running = introspected_members(reply.arguments().value(0).toString());
  EXPECT_EQ(running.size(), 4u);
  EXPECT_EQ(documented, running);

  // The example's calls, run as printed against this bus (DBUS_SESSION_BUS_ADDRESS
  // points at it), each printing "()".
  int calls = 0;
  for (const std::string& line : fenced_lines(section, "sh")) {
    if (line.rfind("gdbus call ", 0) != 0) continue;
    ++calls;
    FILE* out = popen((line + " 2>&1").c_str(), "r");
    ASSERT_NE(out, nullptr);
    std::string printed;
    char buf[256];
    while (fgets(buf, sizeof(buf), out)) printed += buf;
    EXPECT_EQ(0, pclose(out)) << line << "\n" << printed;
    EXPECT_EQ("()\n", printed) << line;
  }
  EXPECT_EQ(calls, 2);

  // The broadcasts the README shows for them, as the monitor prints them.
  std::vector<Broadcast> expected;
  const std::regex one(R"(\.DbChanged \((-?\d+), (-?\d+)\)$)");
  const std::regex many(R"(\.DbChanges \(\[byte ([^\]]*)\],\)$)");
  for (const std::string& line : fenced_lines(section, "text")) {
    std::smatch m;
    if (std::regex_search(line, m, one)) {
      expected.push_back(Broadcast::one(std::stoi(m[1].str()), std::stoi(m[2].str())));
    } else if (std::regex_search(line, m, many)) {
      QByteArray bytes;
      std::istringstream hex(m[1].str());
      std::string item;
      while (std::getline(hex, item, ','))
        bytes.append(static_cast<char>(std::stoi(item, nullptr, 16)));
      expected.push_back(Broadcast::many(bytes));
    }
  }
  ASSERT_EQ(expected.size(), 2u);
  ASSERT_TRUE(fence(a_, 6));
  expected.push_back(Broadcast::one(kFenceType, 6));
  EXPECT_EQ(listen_a_->log, expected);
}

#include "RelayTest.moc"
