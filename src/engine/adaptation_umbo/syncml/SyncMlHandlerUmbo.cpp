#include "adaptation_umbo/syncml/SyncMlHandlerUmbo.h"

#include "adaptation_umbo/events/DbusEventHandler.h"
#include "adaptation_umbo/syncml/SyncProfileHandler.h"
#include "adaptation_umbo/base/UmboException.h"
#include "transfer/FileManager.h"

#include <keldra/LoggerUmbo.h>

#include <QPointer>

#include <new>

namespace orva {
namespace keldra {

namespace {

void trace(const char* text) { internal::LoggerUmbo::log(text, internal::LoggerUmbo::MSG_TRACE); }

}  // namespace

SyncMlHandler* SyncMlHandler::CreateInstance(SyncMlListener& listener) {
  return new internal::SyncMlHandlerUmbo(listener);
}

namespace internal {

SyncMlHandlerUmbo::SyncMlHandlerUmbo(SyncMlListener& listener)
    : QObject(nullptr), SyncMlHandler(listener), m_active(false) {
  m_hub = DbusEventHandler::instance();
  m_hub->init();
  m_profile.reset(new SyncProfileHandler());
  if (!connect(m_profile.get(), &Accounts::Manager::accountRemoved, this,
               &SyncMlHandlerUmbo::handleAccountRemoved)) {
    trace(
        "SyncMlHandlerUmbo::SyncMlHandlerUmbo: connecting to accountRemoved signal was not "
        "successful");
  }
  if (!connect(m_profile.get(), &Accounts::Manager::accountCreated, this,
               &SyncMlHandlerUmbo::handleAccountCreated)) {
    trace(
        "SyncMlHandlerUmbo::SyncMlHandlerUmbo: connecting to accountCreated signal was not "
        "successful");
  }
  m_files = FileManager::open();
  if (!m_files.is_valid()) throw std::bad_alloc();
}

SyncMlHandlerUmbo::~SyncMlHandlerUmbo() {
  // A sync asked for and not yet ended would run on in the daemon with no one to follow
  // or abort it; a start still being asked for is dropped by the hub once its listener
  // is gone.
  if (m_active) cancel();
  if (m_hub.is_valid()) m_hub->unset_sync_event_listener(&m_listener);
}

orva::ErrorCode SyncMlHandlerUmbo::synchronize(const SyncService::SyncParams& params,
                                               orva::ustring dbName, std::string serverUri) {
  const bool was_active = m_active;
  try {
    m_hub->set_sync_event_listener(&m_listener);
    m_profile->set_sync_parameters(params, dbName, std::move(serverUri));
    // The storage plug-in runs without an account when this fails; the sync goes on.
    m_files->write_account_id_file(params.account);
    // Active from the request on: the listener hears of the start before the daemon is
    // asked, and may cancel it (or destroy this handler) from that report.
    m_active = true;
    QPointer<SyncMlHandlerUmbo> alive(this);
    orva::SharedPointer<DbusEventHandler> hub = m_hub;
    hub->send_sync_message(DbusEventHandler::START_SYNC);
    if (!alive) return ORVA_ERROR_KELDRA_CANCELLED;
    // Cancelled from the report: the hub did not ask the daemon to start.
    return m_active ? ORVA_ERROR_NONE : ORVA_ERROR_KELDRA_CANCELLED;
  } catch (const UmboException& e) {
    m_active = was_active;
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "SyncMlHandlerUmbo::synchronize error: %d",
                     e.get_reason());
    return e.get_reason();
  }
}

void SyncMlHandlerUmbo::cancel() {
  m_active = false;
  try {
    m_hub->unset_sync_event_listener();
    m_hub->send_sync_message(DbusEventHandler::CANCEL_SYNC);
  } catch (const UmboException&) {
    trace("SyncServiceUmbo::cancel()");
  }
}

void SyncMlHandlerUmbo::handleAccountCreated(Accounts::AccountId id) {
  trace("SyncProfileHandler::handleAccountCreated ++");
  if (!m_profile->online_account()) {
    Accounts::Account* created = m_profile->account(id);
    if (SyncProfileHandler::is_zem_account(created)) {
      trace("SyncProfileHandler::handleAccountCreated: account created was zem account");
      m_profile->mark_account_changed(created);
    }
  }
  trace("SyncProfileHandler::handleAccountCreated --");
}

void SyncMlHandlerUmbo::handleAccountRemoved(Accounts::AccountId id) {
  trace("SyncProfileHandler::handleAccountRemoved ++");
  if (m_profile->online_account_id() != 0 && m_profile->online_account_id() == id) {
    trace("SyncProfileHandler::handleAccountRemoved: account removed was zem account");
    m_profile->mark_account_changed(nullptr);
  }
  trace("SyncProfileHandler::handleAccountRemoved --");
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
