// StorableObjectBase: what an object view needs to fill itself from the local store
// and write itself back. The storable views derive from an object view first and from
// this class second.
//
// load reads the stored object with a local id into a new object and binds the view
// to it, so a loaded view never shares its object with the store or with another
// loaded view. store inserts the view's object when it has no local id yet (the store
// then gives it one, so the next store updates) and updates it otherwise.
//
// Results: load: 0; the store's result when the object cannot be read (8 for local
// id 0); 0x6002 when the object is of a class the view does not accept. On any
// failure the view keeps what it held. store: 0; 4 the view holds no object; otherwise
// the store's result (3 for a refused sharing model, an empty class name or a partial
// object).
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/ErrorCode.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>

namespace orva {
namespace keldra {

class ObjectHandle;
class Store;

class StorableObjectBase {
 public:
  virtual ~StorableObjectBase();

  // Reads the object with |local_id| from |store| and binds the view to it.
  virtual ErrorCode load(const Store& store, const unsigned int& local_id);
  // Writes the view's object to |store|.
  virtual ErrorCode store(Store& store) = 0;
  // Binds the view to |object| when the view accepts its class; 0x6002 otherwise.
  virtual ErrorCode do_attach_object(const orva::SharedPointer<Object>& object) = 0;

  // Inserts |object| when its local id is 0, else updates it. 4 for an empty pointer.
  ErrorCode do_store(Store& store, const orva::SharedPointer<Object>& object);

 protected:
  // Binds |view| to |object| unless the view has a class and a non-empty |object| is
  // of another one: then 0x6002 and the view is not touched. An empty |object| keeps
  // the held object and re-binds the children.
  static ErrorCode attach_if_accepted(ObjectHandle& view,
                                      const orva::SharedPointer<Object>& object);
};

}  // namespace keldra
}  // namespace orva
