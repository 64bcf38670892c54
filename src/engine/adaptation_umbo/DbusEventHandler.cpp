#include "adaptation_umbo/DbusEventHandler.h"

namespace orva {
namespace keldra {
namespace internal {

namespace {
// The thread's handler; holds no count (the handler's destructor clears it).
thread_local DbusEventHandler* t_handler = nullptr;
}  // namespace

orva::SharedPointer<DbusEventHandler> DbusEventHandler::instance() {
  LoggerUmbo::log("DbusEventHandler::instance()", LoggerUmbo::MSG_TRACE);
  if (!t_handler) {
    LoggerUmbo::log("DbusEventHandler::instance() new", LoggerUmbo::MSG_TRACE);
    t_handler = new DbusEventHandler;
  }
  return orva::SharedPointer<DbusEventHandler>(t_handler);
}

DbusEventHandler::DbusEventHandler() : QObject(nullptr), m_logger(LoggerUmbo::instance()) {
  LoggerUmbo::log("DbusEventHandler::DbusEventHandler()", LoggerUmbo::MSG_TRACE);
}

DbusEventHandler::~DbusEventHandler() {
  LoggerUmbo::log("DbusEventHandler::~DbusEventHandler()", LoggerUmbo::MSG_TRACE);
  if (t_handler == this) t_handler = nullptr;
  m_logger.release();
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
