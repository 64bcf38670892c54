// Uri: typed view of an attribute of class "uri", the address and MIME type of a
// file (a frame's "local_uri", a multimedia object's "local_uri" and "remote_uri").
//
// Fields: "url" and "mime", both UTF-16 texts; the MIME type is handed in and out as
// UTF-8. Getters empty their output first and never create anything; setters create
// the attribute (through the parent for a child view) and return 0, or 2 when it
// cannot be created or the text cannot be copied.
//
// Thread: used on the thread whose string pool interned its names.
#pragma once

#include <keldra/AttributeHandle.h>
#include <keldra/ErrorCode.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
class ustring;

namespace keldra {

// Names of Uri, interned once per string pool.
class UriStrings : public StringPool::StringSet {
 public:
  static StringPool::StringSet* create_strings(StringPool& pool);

  StringPool::StringHandle uri;  // the class
  StringPool::StringHandle mime;
  StringPool::StringHandle url;
};

class Uri : public AttributeHandle {
 public:
  // Unbound root view.
  Uri();
  // A root view over a new attribute holding a deep copy of |other| (unbound when
  // |other| is).
  Uri(const Uri& other);
  // Copies |other|'s content into this view's own attribute.
  Uri& operator=(const Uri& other);

  // |url| is emptied, then receives the "url" text when there is one.
  void get_url(orva::ustring& url) const;
  // |mime| is emptied, then receives the "mime" text as UTF-8 when there is one.
  void get_mime(std::string& mime) const;
  ErrorCode set_url(const orva::ustring& url);
  ErrorCode set_mime(const std::string& mime);

  const StringPool::StringHandle& get_class_name_handle() const override;

 private:
  const UriStrings* m_strings;
};

}  // namespace keldra
}  // namespace orva
