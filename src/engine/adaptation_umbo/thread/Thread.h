// POSIX half of ThreadBase: joinable threads with default attributes.
//
// Destruction releases the thread with a wait of 2000 ms and so always joins it; the
// object is never freed while its worker runs.
#pragma once

#include "adaptation_umbo/thread/ThreadBase.h"

#include <pthread.h>

namespace orva {
namespace keldra {
namespace internal {

class Thread : public ThreadBase {
 public:
  Thread();
  ~Thread() override;

 protected:
  uint32_t platform_create() override;
  void platform_release() override;
  void platform_forced_release() override;
  void platform_set_priority(int) override {}  // threads run at the default priority

 private:
  static void* platform_callback(void* self);
  void join();

  pthread_t m_handle;
  bool m_has_handle;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
