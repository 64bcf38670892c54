// PublisherObject: the view of an object of class "publisher", who publishes
// content: its metadata ("meta", class "metadata") and its contact details
// ("contact", class "contact"), each a top-level attribute of the object, bound to
// the first attribute of its name and class and appended on its first write.
//
// Results as the child views give them. Binding to an object of another class is a
// broken invariant.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/Contact.h>
#include <keldra/Metadata.h>
#include <keldra/ObjectHandle.h>
#include <keldra/StringPool.h>

namespace orva {
namespace keldra {

// Name table of PublisherObject.
class PublisherObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle publisher;  // the class
  StringPool::StringHandle contact;
  StringPool::StringHandle meta;
};

class PublisherObject : public ObjectHandle {
 public:
  // Unbound view with unbound children.
  PublisherObject();
  // A view over a new object of class "publisher" holding a deep copy of |other|'s
  // object; unbound when |other| is.
  PublisherObject(const PublisherObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  PublisherObject& operator=(const PublisherObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  Metadata& metadata() { return m_metadata; }
  const Metadata& metadata() const { return m_metadata; }
  Contact& contact() { return m_contact; }
  const Contact& contact() const { return m_contact; }

  // Custom sections first, then "meta" and "contact".
  void attach_child_handles() override;
  void do_init_child_handle(AttributeHandle& child) override;

 private:
  void init_members();

  PublisherObjectStrings* m_strings;
  Metadata m_metadata;
  Contact m_contact;
};

}  // namespace keldra
}  // namespace orva
