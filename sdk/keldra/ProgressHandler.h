// Listener of the library's asynchronous operations.
//
// Implemented by the callers (the QML elements, the storage plug-in's backend, the
// direct transfer handler). The library calls handle_progress on the thread that
// started the operation, from its event loop; it never owns or deletes a handler.
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
