#include "adaptation_umbo/storage/DatabaseManagerImpl.h"

#include "adaptation_umbo/storage/DataAdapterUmbo.h"
#include "adaptation_umbo/events/DbusEventHandler.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
const char* const kPersonalService = "personal";
}

DatabaseManagerImpl::DatabaseManagerImpl() : m_logger(LoggerUmbo::instance()) {
  Service personal;
  personal.name = kPersonalService;
  m_services.push_back(personal);
  LoggerUmbo::log("DatabaseManagerImpl::DatabaseManagerImpl()", LoggerUmbo::MSG_TRACE);
  m_dbus = DbusEventHandler::instance();
}

DatabaseManagerImpl::~DatabaseManagerImpl() {
  for (Service& service : m_services) service.adapter.release();
  LoggerUmbo::log("DatabaseManagerImpl::~DatabaseManagerImpl()", LoggerUmbo::MSG_TRACE);
  m_dbus.release();
  m_logger.release();
}

void DatabaseManagerImpl::get_services(std::vector<std::string>& out) const {
  for (const Service& service : m_services) out.push_back(service.name);
}

orva::SharedPointer<DataAdapter> DatabaseManagerImpl::get_data_adapter(const std::string& name) {
  for (Service& service : m_services) {
    if (service.name != name) continue;
    if (!service.adapter.is_valid()) create_data_adapter(service);
    return service.adapter;
  }
  return orva::SharedPointer<DataAdapter>();
}

bool DatabaseManagerImpl::create_data_adapter(Service& service) {
  if (service.name != kPersonalService) return false;
  service.adapter.release();
  service.adapter = orva::SharedPointer<DataAdapter>(new DataAdapterUmbo);
  return service.adapter.is_valid();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
