// The scenario's QML client: a real QML engine that imports the installed module by its
// URI and runs the steps of Client.qml, one per line read on standard input.
//
// Usage: scenario_client [--debug-library <path>] <Client.qml>
// The module is found through QML2_IMPORT_PATH. --debug-library names the debug library
// the store loads (the settings' seam; the product looks in a system folder), through
// which the loopback HTTPS server becomes the sync server.
// Each input line is "<step> <JSON arguments>"; Client.qml answers every step with one
// line through output.write(), written here on standard output. End of input ends the
// program (code 0); a QML file that does not load ends it with code 2.
#include "adaptation_umbo/base/Settings.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSocketNotifier>
#include <QUrl>
#include <QVariant>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

// The QML side's way out: one line per call, flushed at once for the driving process.
class Output : public QObject {
  Q_OBJECT
 public:
  Q_INVOKABLE void write(const QString& line) {
    std::fputs(line.toUtf8().append('\n').constData(), stdout);
    std::fflush(stdout);
  }
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int first = 1;
  if (argc == 4 && std::string(argv[1]) == "--debug-library") {
    orva::keldra::internal::Settings::set_library_path(argv[2]);
    first = 3;
  }
  if (argc != first + 1) {
    std::fprintf(stderr, "usage: scenario_client [--debug-library <path>] <Client.qml>\n");
    return 2;
  }
  Output output;
  QQmlEngine engine;
  engine.rootContext()->setContextProperty(QStringLiteral("output"), &output);
  QQmlComponent component(&engine, QUrl::fromLocalFile(QString::fromLocal8Bit(argv[first])));
  std::unique_ptr<QObject> root(component.create());
  if (!root) {
    std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
    return 2;
  }

  QByteArray pending;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      input.setEnabled(false);
      app.quit();
      return;
    }
    pending.append(buffer, static_cast<int>(n));
    int end;
    while ((end = pending.indexOf('\n')) >= 0) {
      const QString line = QString::fromUtf8(pending.left(end));
      pending.remove(0, end + 1);
      const int space = line.indexOf(QLatin1Char(' '));
      const QString step = space < 0 ? line : line.left(space);
      const QVariant args = space < 0
                                ? QVariant()
                                : QJsonDocument::fromJson(line.mid(space + 1).toUtf8()).toVariant();
      QMetaObject::invokeMethod(root.get(), "run", Q_ARG(QVariant, QVariant(step)),
                                Q_ARG(QVariant, args));
    }
  });
  const int code = app.exec();
  root.reset();  // the elements go before the engine
  return code;
}

#include "main.moc"
