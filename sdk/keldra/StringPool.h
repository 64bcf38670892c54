// Per-thread pool of interned names.
//
// Every attribute, class, field and link name is interned in the calling thread's
// pool, so that a name is held as a one-word StringHandle and compared by address.
// Each thread has at most one pool, remembered in a thread-local word that holds no
// count: the pool lives while counted holders (the thread's Static, serializers,
// the search worker) keep it, and its destructor clears the word. Interned texts and
// registered name sets are never freed one by one; they all go with their pool.
//
// Thread: a pool and its handles are used only on the thread that created them; no
// operation takes a lock. Handles of different threads' pools are never compared.
// Operations that need the thread's pool stop the process when the thread has none:
// every thread calls Static::instance() or StringPool::create() before it uses names.
#pragma once

#include <keldra/SharedPointer.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace orva {
namespace keldra {

// One interned text: its length in bytes, the characters and a terminating zero in
// one heap block. Made by create(), freed by destroy(); never empty in a pool.
class PString {
 public:
  // Length 0 and an empty text; the pool never holds such a block.
  PString() : m_length(0) { m_text[0] = '\0'; }
  PString(const PString&) = delete;
  PString& operator=(const PString&) = delete;

  // A new block holding a copy of |len| bytes of |text|; null when |text| is null or
  // |len| is 0. Throws std::bad_alloc when memory is missing.
  static PString* create(const char* text, unsigned len);
  static PString* create(const char* text);  // up to the terminating zero
  static PString* create(const std::string& text);
  // Frees a block made by create(); nothing for null.
  static void destroy(PString* string);

  const char* get_text() const { return m_text; }
  unsigned length() const { return m_length; }
  std::string get_string() const { return std::string(m_text, m_length); }

  // strcmp of the two texts; a null block or null text counts as the empty text.
  static int compare(const PString* a, const char* b);
  static int compare(const PString* a, const std::string& b);

  // Order of the pool: byte-wise by text.
  struct Less {
    bool operator()(const PString* a, const PString* b) const {
      return std::strcmp(a->get_text(), b->get_text()) < 0;
    }
  };

 private:
  uint32_t m_length;
  char m_text[1];  // the block is allocated long enough for the whole text
};

class StringPool : public orva::internal::RefCountable {
 public:
  // A name as a plain uncounted pointer into the thread's pool; null means unset.
  // Two handles name the same text exactly when they hold the same pointer. Valid
  // while the pool lives.
  class StringHandle {
   public:
    StringHandle() : m_string(nullptr) {}
    explicit StringHandle(const PString* string) : m_string(string) {}

    bool is_valid() const { return m_string != nullptr; }
    const PString* get() const { return m_string; }

    bool operator==(const StringHandle& other) const { return m_string == other.m_string; }
    bool operator!=(const StringHandle& other) const { return m_string != other.m_string; }

   private:
    const PString* m_string;
  };

  // Base of the typed views' name tables (AddressStrings and the rest). Each
  // concrete set has a static create_strings(StringPool&) that allocates it and
  // fills its handles with init_handle. A registered set belongs to its pool, which
  // deletes it, whatever its count, when the pool goes.
  class StringSet : public orva::internal::RefCountable {};

  typedef StringSet* (*StringSetFactory)(StringPool& pool);

  // The thread's pool with one more holder; made and remembered when the thread has
  // none. Throws std::bad_alloc.
  static orva::SharedPointer<StringPool> create();

  // The thread's pool, uncounted. Stops the process when the thread has none.
  static StringPool* instance();

  // The pool's copy of the text, added when absent; null for an empty or null text.
  static const PString* insert(const char* text);
  static const PString* insert(const char* text, unsigned len);
  static const PString* insert(const std::string& text);

  // The pool's copy of the text, or null; never adds. Null for an empty text.
  const PString* find(const char* text) const;

  // Leaves a set handle unchanged; an unset one receives insert(text), and so stays
  // unset for an empty text. Always interns into the calling thread's pool,
  // whichever pool it is called on.
  void init_handle(StringHandle& handle, const char* text);
  void init_handle(StringHandle& handle, const char* text, unsigned len);
  void init_handle(StringHandle& handle, const std::string& text);

  // init_handle on the thread's pool: a set handle keeps its value, even for
  // another text.
  static void set_handle(StringHandle& handle, const char* text);
  static void set_handle(StringHandle& handle, const char* text, unsigned len);
  static void set_handle(StringHandle& handle, const std::string& text);

  // The set that |factory| built in the thread's pool. The factory is called, with
  // the pool, only the first time it is seen by this pool. A null result throws
  // std::bad_alloc and records nothing, so a later call tries again. A null
  // factory gives null.
  static StringSet* register_string_set(StringSetFactory factory);

  // The handle's text; null (get_text) or empty (get_string) for an unset handle.
  static const char* get_text(const StringHandle& handle);
  static std::string get_string(const StringHandle& handle);

  size_t string_count() const { return m_count; }
  size_t set_count() const { return m_sets.size(); }

  ~StringPool() override;

 private:
  StringPool() {}
  StringPool(const StringPool&) = delete;
  StringPool& operator=(const StringPool&) = delete;

  // The pool's string of |len| bytes of |text|, added (a copy of all |len| bytes)
  // when absent. Texts are keyed as strcmp compares them: up to the first zero byte.
  const PString* intern(const char* text, unsigned len);
  // The slot that holds the key's string, or the empty slot where it would go.
  size_t probe(const char* key, size_t key_length, size_t hash) const;
  // Doubles the table (at least 64 slots) and places every string anew.
  void grow();

  // Open-addressing hash set of the strings (linear probing, at most half full), so
  // that finding a present text neither allocates nor compares whole texts in turn.
  std::vector<PString*> m_slots;
  std::vector<size_t> m_hashes;  // the hash of each slot's key
  size_t m_count = 0;
  std::map<StringSetFactory, StringSet*> m_sets;
};

}  // namespace keldra
}  // namespace orva
