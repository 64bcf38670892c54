#include <keldra/Static.h>

#include <keldra/LoggerUmbo.h>

#include "adaptation_umbo/storage/DatabaseManagerImpl.h"

#include <cstdint>

namespace orva {
namespace keldra {

using internal::LoggerUmbo;

namespace {

// The thread's holder; holds no count (the holder's destructor clears it).
thread_local Static* t_static = nullptr;

unsigned int address_word(const void* p) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p));
}

}  // namespace

orva::SharedPointer<Static> Static::instance() {
  if (!t_static) t_static = new Static;
  return orva::SharedPointer<Static>(t_static);
}

Static::Static() : m_db_manager(nullptr) {
  // The pool first: the database manager and everything it builds intern names.
  m_pool = StringPool::create();
  m_db_manager = new internal::DatabaseManagerImpl;
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "Static::Static, 0x%08X", address_word(this));
}

Static::~Static() {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "~Static, 0x%08X", address_word(this));
  // The manager's adapters and views may still hold handles into the pool.
  delete m_db_manager;
  m_db_manager = nullptr;
  if (t_static == this) t_static = nullptr;
  m_pool.release();
}

}  // namespace keldra
}  // namespace orva
