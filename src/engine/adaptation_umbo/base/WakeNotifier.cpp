#include "adaptation_umbo/base/WakeNotifier.h"

#include "adaptation_umbo/base/Notifiable.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

#include <glib.h>

namespace orva {
namespace keldra {
namespace internal {

namespace {
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 0x6b4);

// Ready only after wake(); each dispatch makes it wait again.
gboolean dispatch_wake(GSource* source, GSourceFunc callback, gpointer data) {
  g_source_set_ready_time(source, -1);
  if (callback) callback(data);
  return G_SOURCE_CONTINUE;  // the notifier may be gone: touch nothing here
}

GSourceFuncs g_wake_funcs = {nullptr, nullptr, &dispatch_wake, nullptr, nullptr, nullptr};
}  // namespace

WakeNotifier::WakeNotifier()
    : QObject(nullptr),
      m_notifiable(nullptr),
      m_source(nullptr),
      m_armed(false),
      m_posted(false),
      m_destroyed(nullptr) {}

WakeNotifier::~WakeNotifier() {
  if (m_destroyed) *m_destroyed = true;
  cancel();
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_source) {
    g_source_destroy(m_source);
    g_source_unref(m_source);
    m_source = nullptr;
  }
  // Posted events of this object go with it (QObject's destructor).
}

bool WakeNotifier::start(Notifiable* notifiable) {
  m_notifiable = notifiable;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!notifiable) {
    m_armed = false;
    return true;
  }
  if (!m_source && !QAbstractEventDispatcher::instance(thread())) {
    // No Qt event loop here: a GLib source that wake() readies.
    GSource* source = g_source_new(&g_wake_funcs, sizeof(GSource));
    g_source_set_callback(source, reinterpret_cast<GSourceFunc>(&WakeNotifier::fire_source), this,
                          nullptr);
    GMainContext* context = g_main_context_ref_thread_default();
    const guint id = g_source_attach(source, context);
    g_main_context_unref(context);
    if (id == 0) {
      g_source_unref(source);
      return false;
    }
    m_source = source;
  }
  m_armed = true;
  return true;
}

void WakeNotifier::cancel() {
  m_notifiable = nullptr;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_armed = false;
}

void WakeNotifier::wake() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_armed) post_locked();
}

void WakeNotifier::post_locked() {
  if (m_posted.exchange(true)) return;
  if (m_source) {
    g_source_set_ready_time(m_source, 0);
  } else {
    QCoreApplication::postEvent(this, new QEvent(kWakeEvent));
  }
}

int WakeNotifier::fire_source(void* data) {
  static_cast<WakeNotifier*>(data)->fire();
  return G_SOURCE_CONTINUE;
}

void WakeNotifier::customEvent(QEvent* event) {
  if (event->type() == kWakeEvent) fire();
}

void WakeNotifier::fire() {
  m_posted = false;
  Notifiable* notifiable = m_notifiable;
  if (!notifiable) return;
  bool destroyed = false;
  bool* outer = m_destroyed;
  m_destroyed = &destroyed;
  const bool again = notifiable->notify();
  if (destroyed) {
    if (outer) *outer = true;
    return;
  }
  m_destroyed = outer;
  if (again) wake();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
