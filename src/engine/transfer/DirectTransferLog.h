// What the direct transfer handler's sources share: its trace and timing log lines, and
// the names it searches and tests objects by. Private to the handler's sources.
#pragma once

#include <keldra/LoggerUmbo.h>

namespace orva {
namespace keldra {
namespace internal {
namespace transfer_log {

inline void trace(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_TRACE); }
inline void perf(const char* text) { LoggerUmbo::log(text, LoggerUmbo::MSG_PERF); }

constexpr LoggerUmbo::MsgType kTrace = LoggerUmbo::MSG_TRACE;
constexpr LoggerUmbo::MsgType kPerf = LoggerUmbo::MSG_PERF;

constexpr char kPersonal[] = "personal";
constexpr char kMultimedia[] = "multimedia";

}  // namespace transfer_log
}  // namespace internal
}  // namespace keldra
}  // namespace orva
