// Runs a QML application file as the `qml` tool would: a QML engine loads it, and
// Qt.quit() or Qt.exit(code) ends the program with 0 or the code. What the file writes
// with console.log goes to standard output as plain lines (the `qml` tool writes
// "qml: ..." on standard error); every other message goes to standard error.
//
// Usage: qml_example_runner [--debug-library <path>] <file.qml>
// The module is found through QML2_IMPORT_PATH. --debug-library names the debug library
// the store loads (the settings' seam; the product looks in a system folder), through
// which the loopback HTTPS server becomes the sync server. A file that does not load
// ends the program with 2.
#include "adaptation_umbo/base/Settings.h"

#include <QCoreApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QUrl>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

void print_message(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  const bool from_qml = context.category && (std::strcmp(context.category, "qml") == 0 ||
                                             std::strcmp(context.category, "js") == 0);
  if (from_qml && (type == QtDebugMsg || type == QtInfoMsg)) {
    std::fputs(text.toUtf8().append('\n').constData(), stdout);
    std::fflush(stdout);
    return;
  }
  std::fputs(qFormatLogMessage(type, context, text).toUtf8().append('\n').constData(), stderr);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int first = 1;
  if (argc == 4 && std::string(argv[1]) == "--debug-library") {
    orva::keldra::internal::Settings::set_library_path(argv[2]);
    first = 3;
  }
  if (argc != first + 1) {
    std::fprintf(stderr, "usage: qml_example_runner [--debug-library <path>] <file.qml>\n");
    return 2;
  }
  qInstallMessageHandler(print_message);
  QQmlEngine engine;
  QObject::connect(&engine, &QQmlEngine::quit, &app, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  QObject::connect(&engine, &QQmlEngine::exit, &app, &QCoreApplication::exit,
                   Qt::QueuedConnection);
  QQmlComponent component(&engine, QUrl::fromLocalFile(QString::fromLocal8Bit(argv[first])));
  std::unique_ptr<QObject> root(component.create());
  if (!root) {
    std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
    return 2;
  }
  const int code = app.exec();
  root.reset();  // the elements go before the engine
  return code;
}
