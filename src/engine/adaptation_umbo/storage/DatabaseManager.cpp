#include <keldra/DatabaseManager.h>

#include <keldra/Static.h>

#include "adaptation_umbo/storage/DatabaseManagerImpl.h"

namespace orva {
namespace keldra {

void DatabaseManager::get_services(std::vector<std::string>& out) {
  orva::SharedPointer<Static> holder;
  try {
    holder = Static::instance();
  } catch (...) {
    return;
  }
  if (holder.is_valid() && holder->DbManager()) holder->DbManager()->get_services(out);
}

orva::SharedPointer<DataAdapter> DatabaseManager::open(const std::string& service) {
  orva::SharedPointer<Static> holder;
  try {
    holder = Static::instance();
  } catch (...) {
    return orva::SharedPointer<DataAdapter>();
  }
  if (!holder.is_valid() || !holder->DbManager()) return orva::SharedPointer<DataAdapter>();
  try {
    return holder->DbManager()->get_data_adapter(service);
  } catch (...) {
    return orva::SharedPointer<DataAdapter>();
  }
}

}  // namespace keldra
}  // namespace orva
