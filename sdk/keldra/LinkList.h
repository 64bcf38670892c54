// LinkList: the links of an object or attribute, held by value.
//
// Several links may share a name and any number may be unnamed; only set_link keeps
// one link per name. The list's own flag is set by push_back, erase, remove, read and
// the appending branch of set_link; replacing an element marks only the element.
#pragma once

#include <keldra/Link.h>
#include <keldra/ModifiableList.h>
#include <keldra/Serializable.h>
#include <keldra/StringPool.h>

#include <string>

namespace orva {
namespace keldra {

class LinkList : public ModifiableList<Link>, public Serializable {
 public:
  // Virtual so that a list is deleted whole through any of its bases.
  virtual ~LinkList() {}

  // Index of the first link at or after |start| with that name; -1 when none. A null
  // handle or an empty text never finds anything (unnamed links are not found).
  int find_link(const StringPool::StringHandle& name, unsigned int start = 0) const;
  int find_link(const std::string& name, unsigned int start = 0) const;

  // Index of the first link at or after |start| sharing |link|'s local id (when not 0)
  // or its global id (when not 0); -1 when none.
  int find_similar_link(const Link& link, unsigned int start = 0) const;

  // A link without target removes every link of its name and gives -1. Otherwise it
  // replaces the first link of its name (unless equal) or is appended; returns the
  // index of the stored link.
  int set_link(const Link& link);

  // Erases every link of that name; a null handle or empty text removes nothing.
  void remove(const StringPool::StringHandle& name);
  void remove(const std::string& name);

  // Record: u32 count, then the Link records. read replaces the content; it fails on
  // a count the remaining bytes cannot hold and stops at the first bad link.
  bool read(ReadStream& stream) override;
  bool write(WriteStream& stream) const override;
};

}  // namespace keldra
}  // namespace orva
