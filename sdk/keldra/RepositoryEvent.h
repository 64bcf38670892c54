// One change of the store: an object created, updated or removed, or a synchronisation
// started or stopped.
//
// A plain value, copied freely; lists of events are a std::vector<RepositoryEvent>.
// Only the type and the local id travel between processes, so |reserved| is 0 in every
// event an observer receives.
#pragma once

#include <cstdint>

namespace orva {
namespace keldra {

struct RepositoryEvent {
  // Event types. NONE stands for no event and is never queued or delivered.
  static constexpr int32_t NONE = 0;
  static constexpr int32_t OBJECT_CREATED = 1;
  // Also a change of the object's sharing model and an object replaced by the sync.
  static constexpr int32_t OBJECT_UPDATED = 2;
  static constexpr int32_t OBJECT_REMOVED = 3;
  static constexpr int32_t SYNC_START = 5;  // local id 0
  static constexpr int32_t SYNC_STOP = 6;   // local id 0

  RepositoryEvent() : type(NONE), local_id(0), reserved(0) {}
  RepositoryEvent(int32_t event_type, int32_t id) : type(event_type), local_id(id), reserved(0) {}

  bool operator==(const RepositoryEvent& other) const {
    return type == other.type && local_id == other.local_id && reserved == other.reserved;
  }
  bool operator!=(const RepositoryEvent& other) const { return !(*this == other); }

  int32_t type;
  int32_t local_id;  // the object's local id; 0 for SYNC_START and SYNC_STOP
  int32_t reserved;  // producers set 0; nothing reads it
};

}  // namespace keldra
}  // namespace orva
