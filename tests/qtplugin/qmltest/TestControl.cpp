#include "TestControl.h"

#include "support/DbusTestBus.h"
#include "support/FakeSyncDaemon.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/Store.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using keldra_test::DbusTestBus;
using keldra_test::FakeSyncDaemon;

namespace {

const char kProfile[] = "maps-keldra";

FakeSyncDaemon* g_daemon = nullptr;  // never deleted: the bus ends it at exit

QString home(const QString& path) { return QDir::homePath() + "/" + path; }

// Waits for one report and one change event of the writer's own write.
class WriterListener : public orva::keldra::ProgressHandler,
                       public orva::keldra::RepositoryObserver {
 public:
  void handle_progress(float, orva::ErrorCode status) override {
    if (status != ORVA_ERROR_KELDRA_IN_PROGRESS) {
      done = true;
      code = status;
    }
  }
  void handle_repository_event(const std::vector<orva::keldra::RepositoryEvent>&) override {
    heard = true;
  }
  bool done = false;
  bool heard = false;
  orva::ErrorCode code = 0;
};

bool waitFor(const bool& flag, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!flag && timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return flag;
}

}  // namespace

TestControl::TestControl(QObject* parent) : QObject(parent) {}

bool TestControl::startBus() {
  if (g_daemon) return true;
  DbusTestBus& bus = DbusTestBus::shared();
  if (!bus.running()) {
    m_error = QString::fromStdString("no test bus: " + bus.error());
    return false;
  }
  FakeSyncDaemon* daemon = new FakeSyncDaemon;
  if (!daemon->start(bus)) {
    m_error = QString::fromStdString("no fake daemon: " + daemon->error());
    delete daemon;
    return false;
  }
  g_daemon = daemon;
  return true;
}

QStringList TestControl::daemonCalls() {
  QStringList out;
  if (!g_daemon) return out;
  for (const FakeSyncDaemon::Call& call : g_daemon->calls()) {
    QString text = QString::fromStdString(call.method) + "(";
    for (size_t i = 0; i < call.arguments.size(); ++i) {
      if (i) text += ",";
      text += QString::fromStdString(call.arguments[i]);
    }
    out << text + ")";
  }
  return out;
}

void TestControl::clearDaemonCalls() {
  if (g_daemon) g_daemon->clear_calls();
}

void TestControl::emitSyncStatus(int status, int details) {
  if (g_daemon) g_daemon->emit_sync_status(kProfile, status, QString(), details);
}

QString TestControl::runChild(const QStringList& arguments, bool* ok) {
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start(QCoreApplication::applicationFilePath(), QStringList("--store-writer") + arguments);
  *ok = child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit &&
        child.exitCode() == 0;
  return QString::fromLatin1(child.readAllStandardOutput()).trimmed();
}

quint32 TestControl::insertInOtherProcess(QString className) {
  bool ok = false;
  const QString out = runChild(QStringList() << "insert" << className, &ok);
  return ok ? out.toUInt() : 0;
}

bool TestControl::removeInOtherProcess(quint32 localId) {
  bool ok = false;
  runChild(QStringList() << "remove" << QString::number(localId), &ok);
  return ok;
}

bool TestControl::fileExists(QString path) const { return QFile::exists(home(path)); }

bool TestControl::writeFile(QString path, QString content) const {
  QFile file(home(path));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(content.toUtf8()) == content.toUtf8().size();
}

QString TestControl::readFile(QString path) const {
  QFile file(home(path));
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

QString TestControl::readSource(QString path) const {
  QFile file(QStringLiteral(KELDRA_SOURCE_DIR) + "/" + path);
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

bool TestControl::removePath(QString path) const {
  const QString full = home(path);
  if (QFileInfo(full).isDir()) return QDir(full).removeRecursively();
  return QFile::remove(full);
}

QStringList TestControl::listFolder(QString path) const {
  return QDir(home(path)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

int TestControl::watch(QObject* object) {
  m_watched.append(QPointer<QObject>(object));
  return m_watched.size() - 1;
}

bool TestControl::alive(int handle) const {
  return handle >= 0 && handle < m_watched.size() && !m_watched.at(handle).isNull();
}

void TestControl::spin(int ms) const {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

int TestControl::runWriter(int argc, char** argv) {
  if (argc < 4) return 2;
  QCoreApplication app(argc, argv);
  orva::SharedPointer<orva::keldra::Store> store;
  if (orva::keldra::Store::open(store) != 0) return 3;
  WriterListener listener;
  store->init(listener);
  if (!waitFor(listener.done, 30000) || listener.code != 0) return 4;
  store->set_event_listener(listener);
  unsigned int lid = 0;
  if (std::strcmp(argv[2], "insert") == 0) {
    orva::SharedPointer<orva::keldra::Object> object(new orva::keldra::Object(argv[3]));
    if (store->insert_object(*object) != 0) return 5;
    lid = object->get_local_id();
  } else {
    lid = static_cast<unsigned int>(std::strtoul(argv[3], nullptr, 10));
    if (store->remove_object(lid) != 0) return 5;
  }
  // The relay has sent our own event back: it went out before we leave.
  if (!waitFor(listener.heard, 30000)) return 6;
  store->unset_event_listener(listener);
  std::printf("%u\n", lid);
  return 0;
}
