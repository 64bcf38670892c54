#include <keldra/DataAdapter.h>

namespace orva {
namespace keldra {

DataAdapter::~DataAdapter() {}

orva::SharedPointer<Repository> DataAdapter::repository() {
  return orva::SharedPointer<Repository>();
}

orva::SharedPointer<SyncAdapter> DataAdapter::sync_adapter() {
  return orva::SharedPointer<SyncAdapter>();
}

orva::SharedPointer<orva::internal::RefCountable> DataAdapter::data_source() {
  return orva::SharedPointer<orva::internal::RefCountable>();
}

RepositoryObserver* DataAdapter::get_event_listener() const { return nullptr; }

}  // namespace keldra
}  // namespace orva
