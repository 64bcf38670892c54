// A content row of an object (attribute, link, text, position, box): its own row id,
// the local id of its object (parent_object) and the id of the attribute row it
// belongs to (parent_attribute, 0 directly under the object).
#pragma once

#include "adaptation_umbo/database/dbitems/DbItem.h"

namespace orva {
namespace keldra {
namespace internal {

class DbChildItem : public DbItem {
 public:
  DbChildItem();
  DbChildItem(unsigned int parent_object, unsigned int parent_attribute);

  // Binds ID and LOCAL_ID <- id, PARENT_OBJECT, PARENT_ATTRIBUTE (as int).
  void bind(Bindable& query) override;
  // Reads ID, PARENT_OBJECT, PARENT_ATTRIBUTE, each only when the row has it.
  void get_result(Gettable& query) override;

  void set_local_id(unsigned int id) { m_id = id; }
  unsigned int get_local_id() const { return m_id; }
  void set_parent_object(unsigned int id) { m_parent_object = id; }
  unsigned int get_parent_object() const { return m_parent_object; }
  void set_parent_attribute(unsigned int id) { m_parent_attribute = id; }
  unsigned int get_parent_attribute() const { return m_parent_attribute; }

 protected:
  unsigned int m_id;
  unsigned int m_parent_object;
  unsigned int m_parent_attribute;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
