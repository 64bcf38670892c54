// Frame: typed view of an attribute of class "frame", one image used as an icon.
//
// The "file" link names the stored object holding the image file; the int32 fields
// "frameno" and "mask_frameno" name the image within that file and the one serving
// as its mask (0 and -1 when absent). Children: "tags" (class "list", a TagList) by
// which icons are looked up, "data" (class "data_stream", a DataStream) and
// "local_uri" (class "uri", a Uri; never sent to the server).
//
// Setters create the frame's attribute (a root view makes its own unnamed one) and
// return 0, or 2 when it cannot be created. Getters report absence with the values
// above and never create anything. A copy is a root view over a new attribute holding
// a deep copy of the source and the source's name.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/DataStream.h>
#include <keldra/ErrorCode.h>
#include <keldra/Link.h>
#include <keldra/StringPool.h>
#include <keldra/TagList.h>
#include <keldra/Uri.h>

namespace orva {
namespace keldra {

// Names of Frame, interned once per string pool.
class FrameStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle tags;
  StringPool::StringHandle data;
  StringPool::StringHandle local_uri;
  StringPool::StringHandle frame;  // the class
  StringPool::StringHandle frameno;
  StringPool::StringHandle mask_frameno;
  StringPool::StringHandle file;
};

class Frame : public AttributeHandle {
 public:
  // Unbound root view with unbound children.
  Frame();
  Frame(const Frame& other);
  // Copies |other|'s content into this view's own attribute and re-binds the children.
  Frame& operator=(const Frame& other);

  TagList& tags() { return m_tags; }
  const TagList& tags() const { return m_tags; }
  DataStream& data_stream() { return m_data_stream; }
  const DataStream& data_stream() const { return m_data_stream; }
  Uri& local_uri() { return m_local_uri; }
  const Uri& local_uri() const { return m_local_uri; }

  ErrorCode set_frameno(int frameno);
  ErrorCode set_mask_frameno(int frameno);
  // The int32 "frameno"; 0 when unbound, absent or of another type.
  int get_frameno() const;
  // The int32 "mask_frameno"; -1 when unbound, absent or of another type.
  int get_mask_frameno() const;

  // Stores a copy of |link| named "file", replacing the link of that name; a link
  // without target removes every "file" link instead. |link| keeps its own name.
  ErrorCode set_file_link(const Link& link);
  // |link| is reset (no target, no name), then receives the first "file" link; false
  // when there is none or the view is unbound.
  bool get_file_link(Link& link) const;

  const StringPool::StringHandle& get_class_name_handle() const override;
  void do_init_child_handle(AttributeHandle& child) override;
  void attach_child_handles() override;

 private:
  void init_children();

  const FrameStrings* m_strings;
  TagList m_tags;
  DataStream m_data_stream;
  Uri m_local_uri;
};

}  // namespace keldra
}  // namespace orva
