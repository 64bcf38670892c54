// MultimediaObject: the view of an object of class "multimedia", one media file
// (typically a picture): where it lies on the handset and on the server, facts about
// both copies, descriptive metadata and a position. It has no bounding box.
//
// Children, each a top-level attribute of the object: "meta" (Metadata), "position"
// (Position), "data" (DataStream, content carried inside the object), "local_uri"
// and "remote_uri" (Uri), "local_info" and "remote_info" (FileInfo). Each is bound to
// the first top-level attribute of its name and class, whatever the order of the
// attributes, and appended to the object on its first write.
//
// Results as the child views give them. Binding to an object of another class is a
// broken invariant.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/DataStream.h>
#include <keldra/FileInfo.h>
#include <keldra/Metadata.h>
#include <keldra/ObjectHandle.h>
#include <keldra/Position.h>
#include <keldra/StringPool.h>
#include <keldra/Uri.h>

namespace orva {
namespace keldra {

// Name table of MultimediaObject.
class MultimediaObjectStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle multimedia;  // the class
  StringPool::StringHandle data;
  StringPool::StringHandle local_info;
  StringPool::StringHandle local_uri;
  StringPool::StringHandle meta;
  StringPool::StringHandle position;
  StringPool::StringHandle remote_info;
  StringPool::StringHandle remote_uri;
};

class MultimediaObject : public ObjectHandle {
 public:
  // Unbound view with unbound children.
  MultimediaObject();
  // A view over a new object of class "multimedia" holding a deep copy of |other|'s
  // object; unbound when |other| is.
  MultimediaObject(const MultimediaObject& other);
  // Copies |other|'s object into this view's own object (created when needed).
  MultimediaObject& operator=(const MultimediaObject& other);

  const StringPool::StringHandle& get_class_name_handle() const override;

  Metadata& metadata() { return m_metadata; }
  const Metadata& metadata() const { return m_metadata; }
  Position& position() { return m_position; }
  const Position& position() const { return m_position; }
  DataStream& data_stream() { return m_data_stream; }
  const DataStream& data_stream() const { return m_data_stream; }
  Uri& local_uri() { return m_local_uri; }
  const Uri& local_uri() const { return m_local_uri; }
  Uri& remote_uri() { return m_remote_uri; }
  const Uri& remote_uri() const { return m_remote_uri; }
  FileInfo& local_info() { return m_local_info; }
  const FileInfo& local_info() const { return m_local_info; }
  FileInfo& remote_info() { return m_remote_info; }
  const FileInfo& remote_info() const { return m_remote_info; }

  // Custom sections first, then the seven children.
  void attach_child_handles() override;
  void do_init_child_handle(AttributeHandle& child) override;

 private:
  void init_members();

  MultimediaObjectStrings* m_strings;
  Metadata m_metadata;
  Position m_position;
  DataStream m_data_stream;
  Uri m_local_uri;
  Uri m_remote_uri;
  FileInfo m_local_info;
  FileInfo m_remote_info;
};

}  // namespace keldra
}  // namespace orva
