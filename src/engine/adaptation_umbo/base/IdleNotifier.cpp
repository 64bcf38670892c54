#include "adaptation_umbo/base/IdleNotifier.h"

#include "adaptation_umbo/base/Notifiable.h"

#include <keldra/LoggerUmbo.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <glib.h>

#include <cstdint>

namespace orva {
namespace keldra {
namespace internal {

namespace {
// Addresses are logged as 32-bit values, as on the handset.
unsigned int address_of(const void* p) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p));
}
}  // namespace

IdleNotifier::IdleNotifier(QObject* parent)
    : QObject(parent),
      m_notifiable(nullptr),
      m_timer(new QTimer(this)),
      m_source(nullptr),
      m_starts(0),
      m_destroyed(nullptr) {
  m_timer->setInterval(0);
  m_timer->setSingleShot(false);
  connect(m_timer, &QTimer::timeout, this, QOverload<>::of(&IdleNotifier::idle));
}

IdleNotifier::~IdleNotifier() {
  if (m_destroyed) *m_destroyed = true;
  cancel();
  m_timer->disconnect();
  delete m_timer;
}

bool IdleNotifier::start(Notifiable* notifiable, const char* name) {
  m_notifiable = notifiable;
  m_name = QString::fromUtf8(name ? name : "");
  ++m_starts;
  if (!notifiable) {
    // Nothing to call: a schedule left from an earlier start would only spin.
    unschedule();
    return true;
  }
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "IdleNotifier '%s' addr 0x%X started",
                   m_name.toUtf8().constData(), address_of(notifiable));
  if (m_source) return true;  // already pending on the GLib path

  if (!QAbstractEventDispatcher::instance(thread()) && needs_qt_dispatcher()) {
    // The global GLib context would run the calls on the application's main thread.
    // Give this thread its Qt event dispatcher now, so that the calls come from the Qt
    // event loop the thread runs, even one it makes after this start.
    QEventLoop make_dispatcher;
  }
  if (QAbstractEventDispatcher::instance(thread())) {
    m_timer->start(0);
    if (m_timer->isActive()) return true;
    m_timer->stop();
  }
  LoggerUmbo::log("IdleNotifier: this is not a Qt thread, using GLib", LoggerUmbo::MSG_TRACE);
  GMainContext* context = g_main_context_ref_thread_default();
  GSource* source = g_idle_source_new();
  g_source_set_callback(source, reinterpret_cast<GSourceFunc>(
                                    static_cast<int (*)(void*)>(&IdleNotifier::idle)),
                        this, nullptr);
  guint id = g_source_attach(source, context);
  g_main_context_unref(context);
  if (id == 0) {
    g_source_unref(source);
    LoggerUmbo::log("IdleNotifier::start ERROR g_idle_add could not be started",
                    LoggerUmbo::MSG_TRACE);
    return false;
  }
  m_source = source;
  return true;
}

bool IdleNotifier::needs_qt_dispatcher() {
  // A thread that iterates a GLib context of its own has pushed it: the idle source
  // goes there. Without one, only the application's main thread runs the global
  // context, so any other thread of a Qt application needs Qt's dispatcher.
  if (g_main_context_get_thread_default()) return false;
  const QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() != app->thread();
}

int IdleNotifier::idle(void* data) {
  static_cast<IdleNotifier*>(data)->idle();
  return TRUE;  // the notifier may be gone: touch nothing here
}

void IdleNotifier::idle() {
  Notifiable* notifiable = m_notifiable;
  if (!notifiable) return;
  const unsigned int starts = m_starts;
  bool destroyed = false;
  bool* outer = m_destroyed;
  m_destroyed = &destroyed;
  bool again = notifiable->notify();
  if (destroyed) {
    if (outer) *outer = true;
    return;
  }
  m_destroyed = outer;
  // A start from inside notify() scheduled new calls: keep them.
  if (!again && starts == m_starts) cancel();
}

void IdleNotifier::unschedule() {
  if (m_timer->isActive()) m_timer->stop();
  if (m_source) {
    g_source_destroy(m_source);
    g_source_unref(m_source);
    m_source = nullptr;
  }
}

void IdleNotifier::cancel() {
  unschedule();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "IdleNotifier '%s' addr 0x%X stopped",
                   m_name.toUtf8().constData(), address_of(m_notifiable));
  m_notifiable = nullptr;
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
