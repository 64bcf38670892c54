// SubscriptionObject: the view of the subscription system object, in which the
// device writes its subscribe and unsubscribe commands and the server's copies carry
// sharing switches and deletions by the owner.
//
// The object has the class "sys_subscription", the name "sys.keldra.subscription",
// the global id 998, the local id 0x7FFFFFFE when created here and the no-sync flag.
// The one attribute read is its child "changes" (class "subscription_changes", see
// SubscriptionChanges), made when the first command is written; an object without it
// reads as empty lists everywhere. Other attributes are left alone.
//
// The subscription manager is the user: it binds a view to a loaded, received or new
// object for one operation and stores or sends the object afterwards; the view holds
// nothing but its binding.
//
// Results: 0; 2 when no object or command can be made (commands added before the
// failure stay); 3 attach of an object of another class.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/ObjectHandle.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include "sysobjects/SubscriptionChanges.h"
#include "sysobjects/SubscriptionCommand.h"

#include <vector>

namespace orva {
namespace keldra {
namespace internal {

// Names of SubscriptionObject, interned once per string pool.
class SubscriptionObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle changes;           // the name of the "changes" child
  StringPool::StringHandle sys_subscription;  // the class
};

class SubscriptionObject : public ObjectHandle {
 public:
  static constexpr unsigned int LOCAL_ID = 0x7FFFFFFE;
  static constexpr unsigned long long GLOBAL_ID = 998;

  // Unbound view.
  SubscriptionObject();
  // A view over a new subscription object holding a deep copy of |other|'s object,
  // lists read from the copy; unbound when |other| is.
  SubscriptionObject(const SubscriptionObject& other);
  // Copies |other|'s object into this view's own object (created when needed) and
  // reads the lists again.
  SubscriptionObject& operator=(const SubscriptionObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;
  // Unbound: holds a new subscription object with the reserved ids, name and no-sync
  // flag, without "changes". An object already held is left as it is. is_safe().
  bool init_self() override;
  // Appends the "changes" attribute when the changes view asks for it.
  void do_init_child_handle(AttributeHandle& child) override;
  // Binds the changes view to the first child named "changes" of class
  // "subscription_changes" (or to nothing) and reads its lists again.
  void attach_child_handles() override;

  // Binds the view to |object|; 3, leaving the view unbound, when the object is not
  // of class "sys_subscription" (a received object with the subscription's global id
  // can be of any class). 0 otherwise.
  ErrorCode attach(const orva::SharedPointer<Object>& object);

  const SubscriptionChanges& changes() const { return m_changes; }

  // Creates the object when unbound (2 when it cannot); adds a "subscribe" command per
  // id not subscribed yet (cascade as given; ids already subscribed keep their
  // commands), then removes the "unsubscribe" commands of those ids. 0, or add's 2.
  ErrorCode subscribe(const std::vector<unsigned long long>& gids, bool cascade);
  // The same with the two lists exchanged.
  ErrorCode unsubscribe(const std::vector<unsigned long long>& gids, bool cascade);

  // For a type from 1 to 8, |out| becomes the global ids of that type's commands, in
  // order; any other type leaves |out| untouched. Creates nothing. 0.
  ErrorCode get_change_gids(SubscriptionCommandBase::Type type,
                            std::vector<unsigned long long>& out) const;

  // On the view of the stored object, with |sent| a view of the copy the server
  // received: removes the subscribe and unsubscribe commands whose ids |sent| holds;
  // commands added since the copy was taken stay, the server's lists are not touched.
  // Logs the two counts at type 32. Creates the object when unbound (2 when it
  // cannot). 0.
  ErrorCode commit_changes(const SubscriptionObject& sent);

 private:
  void init_changes();

  SubscriptionObjectStrings* m_strings;
  SubscriptionChanges m_changes;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
