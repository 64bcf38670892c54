// Callback of IdleNotifier: called once per idle pass of the thread's event loop.
#pragma once

namespace orva {
namespace keldra {
namespace internal {

class Notifiable {
 public:
  // True asks to be called again on a later idle pass, false ends the calls. Must
  // return quickly: it runs between the loop's other events. It may destroy the
  // notifier that calls it.
  virtual bool notify() = 0;

 protected:
  ~Notifiable() {}
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
