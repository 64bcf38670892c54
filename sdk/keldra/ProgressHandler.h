// Listener of the library's asynchronous operations.
//
// Implemented by the callers (the QML elements, the storage plug-in's backend, the
// direct transfer handler). The library calls handle_progress on the thread that
// started the operation, from its event loop; it never owns or deletes a handler.
//
// What that thread must do: run an event loop while it waits for a report. A Qt event
// loop (QEventLoop, QCoreApplication::exec or processEvents) serves on any thread of a
// Qt application (a QCoreApplication exists): the main thread, a QThread, or a plain
// std::thread, whose loop may be made before or after the operation starts. A thread
// that instead iterates a GLib main context gets its reports there when it pushed that
// context as its thread default (g_main_context_push_thread_default) before starting
// the operation; the global default context serves only the main thread. Without a
// running loop no report comes.
#pragma once

#include <keldra/ErrorCode.h>

namespace orva {
namespace keldra {

class ProgressHandler {
 public:
  // |progress| runs from 0.0 to 1.0. Every report before the end carries
  // ORVA_ERROR_KELDRA_IN_PROGRESS as |status|, the last one the final result. The
  // handler may destroy the object that reports to it.
  virtual void handle_progress(float progress, orva::ErrorCode status) = 0;

 protected:
  ~ProgressHandler() {}
};

}  // namespace keldra
}  // namespace orva
