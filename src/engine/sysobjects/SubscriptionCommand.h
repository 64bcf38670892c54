// Command views of the subscription object: one attribute per command under its
// "changes" attribute, of the class named by the command's keyword.
//
//   type  keyword                       view                 written by
//   1     "subscribe"                   Subscribed           the device
//   2     "unsubscribe"                 Unsubscribed         the device
//   3     "switched_private"            SwitchedPrivate      the server
//   4     "switched_private_permanent"  SwitchedPrivatePerm  the server
//   5     "switched_public"             SwitchedPublic       the server
//   6     "switched_public_rw"          SwitchedPublicRw     the server
//   7     "switched_restricted"         SwitchedRestricted   the server
//   8     "deleted_by_owner"            DeletedByOwner       the server
//
// A command is written without a name (a name on a received one is ignored). Its
// fields: "global_id", unsigned 64-bit, the object the command is about; "cascade",
// unsigned 32-bit 1 when the command carries the cascade flag, absent otherwise. A
// field of another type reads as absent: global id 0 (no object), not cascaded.
//
// Results: 0; 2 a setter on an unbound view.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {
namespace internal {

// Names of the subscription changes and commands, interned once per string pool.
class SubscriptionCommandStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle subscription_changes;  // the class of "changes"
  StringPool::StringHandle keywords[9];           // by command type; [0] unused
  StringPool::StringHandle global_id;
  StringPool::StringHandle cascade;
};

class SubscriptionCommandBase : public AttributeHandle {
 public:
  // A fixed underlying type: callers may pass any number, which reads as no type.
  enum Type : int {
    SUBSCRIBE = 1,
    UNSUBSCRIBE = 2,
    SWITCHED_PRIVATE = 3,
    SWITCHED_PRIVATE_PERMANENT = 4,
    SWITCHED_PUBLIC = 5,
    SWITCHED_PUBLIC_RW = 6,
    SWITCHED_RESTRICTED = 7,
    DELETED_BY_OWNER = 8
  };

  SubscriptionCommandBase();
  // Takes nothing from |other| (as the handle layer); the typed views copy.
  SubscriptionCommandBase(const SubscriptionCommandBase& other);

  const StringPool::StringHandle& get_class_name_handle() const override = 0;

  // "global_id"; 0 when unbound, absent or not unsigned 64-bit.
  unsigned long long get_global_id() const;
  // Stores "global_id" as unsigned 64-bit. 0, or 2 when unbound.
  ErrorCode set_global_id(unsigned long long gid);
  // True when "cascade" is an unsigned 32-bit field other than 0.
  bool is_cascaded() const;
  // True stores "cascade" = 1 (0, or 2 when unbound); false removes it (0).
  ErrorCode set_cascaded(bool cascade);

 protected:
  const SubscriptionCommandStrings* m_strings;
};

// The command view of type N: its class is the keyword of N.
template <int N>
class SubscriptionCommand : public SubscriptionCommandBase {
 public:
  static_assert(N >= SUBSCRIBE && N <= DELETED_BY_OWNER, "no such command type");
  static constexpr Type TYPE = static_cast<Type>(N);

  SubscriptionCommand() {}
  // A root view over a new attribute holding a deep copy of |other| (unbound when
  // |other| is).
  SubscriptionCommand(const SubscriptionCommand& other) : SubscriptionCommandBase(other) {
    copy(other);
  }
  SubscriptionCommand& operator=(const SubscriptionCommand& other) {
    AttributeHandle::operator=(other);
    return *this;
  }

  const StringPool::StringHandle& get_class_name_handle() const override {
    return m_strings->keywords[N];
  }
};

class Subscribed : public SubscriptionCommand<SubscriptionCommandBase::SUBSCRIBE> {};
class Unsubscribed : public SubscriptionCommand<SubscriptionCommandBase::UNSUBSCRIBE> {};
class SwitchedPrivate : public SubscriptionCommand<SubscriptionCommandBase::SWITCHED_PRIVATE> {};
class SwitchedPrivatePerm
    : public SubscriptionCommand<SubscriptionCommandBase::SWITCHED_PRIVATE_PERMANENT> {};
class SwitchedPublic : public SubscriptionCommand<SubscriptionCommandBase::SWITCHED_PUBLIC> {};
class SwitchedPublicRw : public SubscriptionCommand<SubscriptionCommandBase::SWITCHED_PUBLIC_RW> {};
class SwitchedRestricted
    : public SubscriptionCommand<SubscriptionCommandBase::SWITCHED_RESTRICTED> {};
class DeletedByOwner : public SubscriptionCommand<SubscriptionCommandBase::DELETED_BY_OWNER> {};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
