#include "support/FakeSyncDaemon.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#include <QVariant>

#include <ostream>

#include "support/TestEnv.h"

namespace keldra_test {

namespace {

const char* const kControlPath = "/control";
const char* const kControlInterface = "com.ostra.keldra.test.FakeMsyncd";

}  // namespace

std::string FakeSyncDaemon::program_path() {
#ifdef KELDRA_FAKE_MSYNCD_PATH
  return KELDRA_FAKE_MSYNCD_PATH;
#else
  return build_dir() + "/tests/fake_msyncd";
#endif
}

FakeSyncDaemon::FakeSyncDaemon() : connection_(QString()), session_(true) {}

FakeSyncDaemon::FakeSyncDaemon(QDBusConnection connection) : connection_(connection) {}

QDBusConnection& FakeSyncDaemon::connection() {
  if (session_) {
    connection_ = QDBusConnection::sessionBus();
    session_ = false;
  }
  return connection_;
}

FakeSyncDaemon::~FakeSyncDaemon() { stop(); }

bool FakeSyncDaemon::name_owned() {
  const QDBusReply<bool> reply =
      connection().interface()->isServiceRegistered(QLatin1String(kService));
  return reply.isValid() && reply.value();
}

bool FakeSyncDaemon::start(DbusTestBus& bus) {
  stop();
  bus_ = &bus;
  pid_ = bus.start_program(program_path(), kService);
  if (pid_ < 0) error_ = bus.error();
  return pid_ > 0;
}

void FakeSyncDaemon::stop() {
  if (bus_ && pid_ > 0) bus_->stop_program(pid_);
  pid_ = -1;
}

namespace {

QDBusMessage control_call(QDBusConnection& connection, const char* method,
                          const QList<QVariant>& arguments = QList<QVariant>()) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QLatin1String(FakeSyncDaemon::kService), QLatin1String(kControlPath),
      QLatin1String(kControlInterface), QLatin1String(method));
  call.setArguments(arguments);
  return connection.call(call, QDBus::Block, 20000);
}

}  // namespace

std::vector<FakeSyncDaemon::Call> FakeSyncDaemon::calls() {
  std::vector<Call> out;
  const QDBusReply<int> count = control_call(connection(), "callCount");
  if (!count.isValid()) return out;
  for (int i = 0; i < count.value(); ++i) {
    const QDBusReply<QStringList> reply = control_call(connection(), "call", {QVariant(i)});
    if (!reply.isValid() || reply.value().isEmpty()) continue;
    Call call;
    call.method = reply.value().first().toStdString();
    for (int a = 1; a < reply.value().size(); ++a) {
      call.arguments.push_back(reply.value()[a].toStdString());
    }
    out.push_back(call);
  }
  return out;
}

void FakeSyncDaemon::clear_calls() { control_call(connection(), "clearCalls"); }

void FakeSyncDaemon::emit_sync_status(const QString& profile, int status, const QString& message,
                                      int details) {
  control_call(connection(), "emitSyncStatus",
               {QVariant(profile), QVariant(status), QVariant(message), QVariant(details)});
}

void FakeSyncDaemon::emit_transfer_progress(const QString& profile, int database, int type,
                                            const QString& mime, int committed) {
  control_call(
      connection(), "emitTransferProgress",
      {QVariant(profile), QVariant(database), QVariant(type), QVariant(mime), QVariant(committed)});
}

void FakeSyncDaemon::emit_results_available(const QString& profile, const QString& results) {
  control_call(connection(), "emitResultsAvailable", {QVariant(profile), QVariant(results)});
}

void FakeSyncDaemon::set_start_answer(bool accepted) {
  control_call(connection(), "setStartAnswer", {QVariant(accepted)});
}

void PrintTo(const FakeSyncDaemon::Call& call, std::ostream* os) {
  *os << call.method << "(";
  for (size_t i = 0; i < call.arguments.size(); ++i) {
    *os << (i ? ", " : "") << '"' << call.arguments[i] << '"';
  }
  *os << ")";
}

}  // namespace keldra_test
