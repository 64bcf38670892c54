// Keeping an element's view in step with its section.
//
// A view binds its child views (name lists, icons, entries, a waypoint's position...)
// when it is attached. Another holder of the same section (a second element, the object
// element, library code) may add a child section afterwards; a child view bound before
// would then read nothing and, on a write, append a second child of the same name. So an
// element whose view has child views re-attaches it, children and all, before each use.
// Object views (several of them over one object in the typed object elements) likewise.
#pragma once

#include <keldra/Attribute.h>
#include <keldra/Object.h>
#include <keldra/SharedPointer.h>

namespace keldra {
namespace qtplugin {

template <class View>
View& refreshed(View& view) {
  const orva::SharedPointer<orva::keldra::Attribute> attribute = view.attribute();
  if (attribute.is_valid()) {
    view.reset();
    view.attach(attribute);
  }
  return view;
}

// The same for an object view and its section views. The object is put back without
// attach(), which would check its class: a typed element keeps its typed view also
// after its object's class name was changed.
template <class View>
View& refreshedObject(View& view) {
  const orva::SharedPointer<orva::keldra::Object> object = view.object();
  if (object.is_valid()) {
    view.reset();
    view.object() = object;
    view.attach_child_handles();
  }
  return view;
}

}  // namespace qtplugin
}  // namespace keldra
