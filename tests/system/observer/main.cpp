// The scenario's second process: opens the store as any application does and prints
// every change event the relay brings, one line "<type>:<local id>" each, flushed at
// once. "ready" comes first, once the store is open and the observer registered; end of
// standard input ends the program (code 0). Code 1: the store did not open.
//
// It also writes, as an application that records media does: the input line
// "media <name> <mime> <path>" stores a multimedia object whose file is <path> and
// answers "stored <local id>" (or "error <code>"); "uris <local id>" reads one back and
// answers "uris <local file address>|<server address>".
#include <keldra/MultimediaObject.h>
#include <keldra/Object.h>
#include <keldra/ProgressHandler.h>
#include <keldra/RepositoryObserver.h>
#include <keldra/Store.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>

#include <unistd.h>

#include <tervo/ustring.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace orva::keldra;

namespace {

struct Opened : ProgressHandler {
  void handle_progress(float, orva::ErrorCode code) override {
    if (code == ORVA_ERROR_KELDRA_IN_PROGRESS) return;
    if (code != 0) {
      std::printf("error %d\n", static_cast<int>(code));
      std::fflush(stdout);
      QCoreApplication::exit(1);
      return;
    }
    store->set_event_listener(*observer);
    // Registering asked the bus for the relay's signals; a call answered by the bus on
    // the same connection comes back only after that request was taken, so no change
    // made once "ready" is read can pass this process by.
    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"),
                                       QStringLiteral("GetId")),
        QDBus::Block, 20000);
    std::puts("ready");
    std::fflush(stdout);
  }
  Store* store = nullptr;
  RepositoryObserver* observer = nullptr;
};

struct Printer : RepositoryObserver {
  void handle_repository_event(const std::vector<RepositoryEvent>& events) override {
    for (const RepositoryEvent& e : events) std::printf("%d:%d\n", e.type, e.local_id);
    std::fflush(stdout);
  }
};

// Stores a multimedia object of the file at |path|; its local id, or the error.
std::string store_media(Store& store, const QStringList& words) {
  if (words.size() != 4) return "error usage";
  MultimediaObject media;
  const std::string path = words[3].toStdString();
  if (media.local_uri().set_url(orva::ustring(path)) != 0 ||
      media.local_uri().set_mime(words[2].toStdString()) != 0) {
    return "error uri";
  }
  Object& object = *media.object();
  object.set_name(words[1].toStdString());
  object.set_service(std::string("personal"));
  const orva::ErrorCode code = store.insert_object(object);
  return code == 0 ? "stored " + std::to_string(object.get_local_id())
                   : "error " + std::to_string(static_cast<int>(code));
}

// The two addresses of the stored multimedia object |words[1]|.
std::string media_uris(Store& store, const QStringList& words) {
  orva::SharedPointer<Object> object(new Object());
  const orva::ErrorCode code = store.get_object(words.value(1).toUInt(), *object);
  if (code != 0) return "error " + std::to_string(static_cast<int>(code));
  MultimediaObject media;
  media.attach(object);
  orva::ustring local, remote;
  media.local_uri().get_url(local);
  media.remote_uri().get_url(remote);
  return "uris " + local.to_utf8() + "|" + remote.to_utf8();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  orva::SharedPointer<Store> store;
  if (Store::open(store) != 0) return 1;
  Printer printer;
  Opened opened;
  opened.store = store.get();
  opened.observer = &printer;
  QByteArray pending;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[1024];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      input.setEnabled(false);
      app.quit();
      return;
    }
    pending.append(buffer, static_cast<int>(n));
    int end;
    while ((end = pending.indexOf('\n')) >= 0) {
      const QStringList words = QString::fromUtf8(pending.left(end)).split(QLatin1Char(' '));
      pending.remove(0, end + 1);
      const QString command = words.value(0);
      const std::string answer = command == QLatin1String("media")  ? store_media(*store, words)
                                 : command == QLatin1String("uris") ? media_uris(*store, words)
                                                                    : "error unknown";
      std::printf("%s\n", answer.c_str());
      std::fflush(stdout);
    }
  });
  store->init(opened);
  const int code = app.exec();
  store->unset_event_listener(printer);
  return code;
}
