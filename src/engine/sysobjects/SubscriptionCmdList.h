// Command lists of the subscription object: the children of its "changes" attribute
// whose class is the keyword of one command view T, of any name, in attribute order.
//
// The device writes only the "subscribe" and "unsubscribe" lists (add_gids,
// remove_gids); the server's lists are read (get_gids). Ids are kept as the commands
// carry them: a received list may hold an id twice or id 0, and reads report that.
//
// Results: add_gids 0, or 2 when a command cannot be created (those added before it
// stay).
//
// Thread: used on the thread whose string pool interned the names.
#pragma once

#include <keldra/AttributeHandleList.h>
#include <keldra/ErrorCode.h>
#include <keldra/SharedPointer.h>
#include <keldra/StringPool.h>

#include "sysobjects/SubscriptionCommand.h"

#include <algorithm>
#include <vector>

namespace orva {
namespace keldra {
namespace internal {

template <class T>
class SubscriptionCmdList : public AttributeHandleList<T> {
 public:
  // No parent yet: the owning changes view sets itself.
  SubscriptionCmdList() {
    this->set_item_names(view_strings<SubscriptionCommandStrings>()->keywords[T::TYPE],
                         StringPool::StringHandle());
  }

  // Empties |out|, then appends the global id of every command in list order.
  void get_gids(std::vector<unsigned long long>& out) const {
    out.clear();
    for (unsigned int i = 0; i < this->count(); ++i) {
      out.push_back(this->get_item(i)->get_global_id());
    }
  }

  // Removes every command whose global id is in |gids|.
  void remove_gids(const std::vector<unsigned long long>& gids) {
    std::vector<unsigned long long> held;
    get_gids(held);
    // From the last down, so that the positions still to visit stay valid.
    for (unsigned int i = static_cast<unsigned int>(held.size()); i-- > 0;) {
      if (std::find(gids.begin(), gids.end(), held[i]) != gids.end()) this->remove_item(i);
    }
  }

  // Appends one command per id of |gids| that the list does not hold yet (an id given
  // twice makes one command), with "global_id" and, when |cascade|, "cascade" = 1.
  // Ids already held are skipped and their commands left as they are.
  ErrorCode add_gids(const std::vector<unsigned long long>& gids, bool cascade) {
    std::vector<unsigned long long> held;
    get_gids(held);
    for (unsigned long long gid : gids) {
      if (std::find(held.begin(), held.end(), gid) != held.end()) continue;
      orva::SharedPointer<T> item = this->insert_item(this->count());
      if (!item.is_valid()) return ORVA_ERROR_OUT_OF_MEMORY;
      item->set_global_id(gid);
      item->set_cascaded(cascade);
      held.push_back(gid);
    }
    return ORVA_ERROR_NONE;
  }
};

class SubscribedCmdList : public SubscriptionCmdList<Subscribed> {};
class UnsubscribedCmdList : public SubscriptionCmdList<Unsubscribed> {};
class SwitchedPrivateCmdList : public SubscriptionCmdList<SwitchedPrivate> {};
class SwitchedPrivatePermCmdList : public SubscriptionCmdList<SwitchedPrivatePerm> {};
class SwitchedPublicCmdList : public SubscriptionCmdList<SwitchedPublic> {};
class SwitchedPublicRwCmdList : public SubscriptionCmdList<SwitchedPublicRw> {};
class SwitchedRestrictedCmdList : public SubscriptionCmdList<SwitchedRestricted> {};
class DeletedByOwnerCmdList : public SubscriptionCmdList<DeletedByOwner> {};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
