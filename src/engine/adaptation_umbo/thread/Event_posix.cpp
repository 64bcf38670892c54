#include "adaptation_umbo/thread/Event.h"

#include <keldra/LoggerUmbo.h>

#include <keldra/Invariant.h>
#include <cerrno>

namespace orva {
namespace keldra {
namespace internal {

namespace {

// A failing POSIX call on the event is a broken invariant: stop with the assertion
// "false", also in builds without assertions.
#define EVENT_CHECK(ok)                                                   \
  do {                                                              \
    if (!(ok)) ::orva::keldra::internal::invariant_failed("false", __FILE__, __LINE__, __func__); \
  } while (0)

inline void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }

}  // namespace

void get_abs_time_delay_from(const timeval& now, size_t delay_ms, timespec& out) {
  if (!(delay_ms < 2000000))
    ::orva::keldra::internal::invariant_failed("delay_ms < 2000000", __FILE__, __LINE__,
                                               __PRETTY_FUNCTION__);
  out.tv_sec = now.tv_sec + static_cast<time_t>(delay_ms / 1000);
  out.tv_nsec = (now.tv_usec + static_cast<long>(delay_ms % 1000) * 1000) * 1000;
  if (out.tv_nsec > 999999999) {
    out.tv_nsec -= 1000000000;
    out.tv_sec += 1;
  }
}

void get_abs_time_delay(size_t delay_ms, timespec& out) {
  timeval now;
  gettimeofday(&now, nullptr);
  get_abs_time_delay_from(now, delay_ms, out);
}

Event::Event() : m_signaled(false), m_state_waiting(0), m_state(0) {
  trace("Event::Event ++");
  EVENT_CHECK(pthread_mutex_init(&m_mutex, nullptr) == 0);
  EVENT_CHECK(pthread_cond_init(&m_cond, nullptr) == 0);
  trace("Event::Event --");
}

Event::~Event() {
  trace("Event::~Event() ++");
  int rc = pthread_cond_destroy(&m_cond);
  if (rc != 0) LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "pthread_cond_destroy %d", rc);
  EVENT_CHECK(rc == 0);
  rc = pthread_mutex_destroy(&m_mutex);
  if (rc != 0) LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "pthread_mutex_destroy %d", rc);
  EVENT_CHECK(rc == 0);
  trace("Event::~Event() --");
}

// Called with m_mutex held. The condition serves two predicates (the flag and the
// state), so waking a single thread could wake the one whose predicate is still false
// and leave the other asleep: every wake-up goes to all.
void Event::wake_all() {
  trace("pthread_cond_signal ++");
  EVENT_CHECK(pthread_cond_broadcast(&m_cond) == 0);
  trace("pthread_cond_signal --");
}

void Event::signal() {
  trace("Event::signal() ++");
  EVENT_CHECK(pthread_mutex_lock(&m_mutex) == 0);
  m_signaled = true;
  wake_all();
  EVENT_CHECK(pthread_mutex_unlock(&m_mutex) == 0);
  trace("Event::signal() --");
}

EventBase::EVT_WAIT_RET Event::wait(unsigned int ms) {
  trace("Event::wait() ++");
  EVT_WAIT_RET result = EVT_WAIT_SIGNALED;
  EVENT_CHECK(pthread_mutex_lock(&m_mutex) == 0);
  if (ms == WAIT_INFINITE) {
    while (!m_signaled) EVENT_CHECK(pthread_cond_wait(&m_cond, &m_mutex) == 0);
    m_signaled = false;
  } else {
    timespec deadline;
    get_abs_time_delay(ms, deadline);
    int rc = 0;
    while (!m_signaled) {
      trace("pthread_cond_timedwait ++");
      rc = pthread_cond_timedwait(&m_cond, &m_mutex, &deadline);
      LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "pthread_cond_timedwait wait_result: %d --", rc);
      EVENT_CHECK(rc == 0 || rc == ETIMEDOUT);
      if (rc != 0 && !m_signaled) break;
    }
    if (m_signaled) {
      m_signaled = false;
    } else {
      result = EVT_WAIT_TIMEOUT;
    }
  }
  EVENT_CHECK(pthread_mutex_unlock(&m_mutex) == 0);
  trace(result == EVT_WAIT_SIGNALED ? "Event::wait() EVT_WAIT_SIGNALED --"
                                    : "Event::wait() EVT_WAIT_TIMEOUT --");
  return result;
}

Event::State Event::state() {
  EVENT_CHECK(pthread_mutex_lock(&m_mutex) == 0);
  State s = m_state;
  EVENT_CHECK(pthread_mutex_unlock(&m_mutex) == 0);
  return s;
}

void Event::set_state(State s) {
  EVENT_CHECK(pthread_mutex_lock(&m_mutex) == 0);
  m_state = s;
  EVENT_CHECK(pthread_mutex_unlock(&m_mutex) == 0);
}

void Event::signal_state_change(State s) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Event::signal_state_change %d ++", static_cast<int>(s));
  EVENT_CHECK(pthread_mutex_lock(&m_mutex) == 0);
  m_state = s;
  if (m_state_waiting > 0) wake_all();
  EVENT_CHECK(pthread_mutex_unlock(&m_mutex) == 0);
  trace("Event::signal_state_change --");
}

void Event::wait_for_state(State ws) {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Event::wait_for_state ws: %d ++", static_cast<int>(ws));
  EVENT_CHECK(pthread_mutex_lock(&m_mutex) == 0);
  ++m_state_waiting;
  int rc = 0;
  while (m_state != ws) {
    rc = pthread_cond_wait(&m_cond, &m_mutex);
    EVENT_CHECK(rc == 0);
  }
  --m_state_waiting;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "pthread_cond_wait over %d", rc);
  EVENT_CHECK(pthread_mutex_unlock(&m_mutex) == 0);
}

void Event::signal_if_waiting() {
  trace("Event::signal_if_waiting ++");
  EVENT_CHECK(pthread_mutex_lock(&m_mutex) == 0);
  if (m_state == 1) {
    m_signaled = true;
    wake_all();
  }
  EVENT_CHECK(pthread_mutex_unlock(&m_mutex) == 0);
  trace("Event::signal_if_waiting --");
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
