#include <keldra/StringPool.h>

#include <keldra/LoggerUmbo.h>

#include <keldra/Invariant.h>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <new>

namespace orva {
namespace keldra {

using internal::LoggerUmbo;

namespace {

// The thread's pool; holds no count (the pool's destructor clears it).
thread_local StringPool* t_pool = nullptr;

// Addresses are logged as 32-bit values, as on the handset.
unsigned int address_word(const void* p) {
  return static_cast<unsigned int>(reinterpret_cast<uintptr_t>(p));
}

size_t hash_key(const char* key, size_t length) {
  return std::hash<std::string_view>()(std::string_view(key, length));
}

}  // namespace

// ---- PString ----

PString* PString::create(const char* text, unsigned len) {
  if (!text || len == 0) return nullptr;
  void* block = ::operator new(sizeof(PString) + len);
  PString* s = new (block) PString;
  s->m_length = len;
  std::memcpy(s->m_text, text, len);
  s->m_text[len] = '\0';
  return s;
}

PString* PString::create(const char* text) {
  return text ? create(text, static_cast<unsigned>(std::strlen(text))) : nullptr;
}

PString* PString::create(const std::string& text) {
  return create(text.data(), static_cast<unsigned>(text.size()));
}

void PString::destroy(PString* string) {
  if (!string) return;
  string->~PString();
  ::operator delete(string);
}

int PString::compare(const PString* a, const char* b) {
  return std::strcmp(a ? a->get_text() : "", b ? b : "");
}

int PString::compare(const PString* a, const std::string& b) { return compare(a, b.c_str()); }

// ---- StringPool ----

orva::SharedPointer<StringPool> StringPool::create() {
  if (t_pool) {
    LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "StringPool::create: already exists at 0x%08X",
                     address_word(t_pool));
    return orva::SharedPointer<StringPool>(t_pool);
  }
  orva::SharedPointer<StringPool> pool(new StringPool);
  t_pool = pool.get();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "StringPool::create: new 0x%08X",
                   address_word(t_pool));
  return pool;
}

StringPool* StringPool::instance() {
  if (!t_pool) {
    LoggerUmbo::log("StringPool::instance: does not exist", LoggerUmbo::MSG_TRACE);
    // Names used on a thread without a pool cannot be interned or compared: stop
    // here, also in builds without assertions.
    internal::invariant_failed(
        "0", "src/engine/StringsPool", 159, __PRETTY_FUNCTION__,
        "this thread has no string pool: create the string pool on this thread first "
        "(orva::keldra::StringPool::create() or orva::keldra::Static::instance()) and keep "
        "the returned pointer until the thread's last object, view and converter are gone");
  }
  return t_pool;
}

StringPool::~StringPool() {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "~StringPool, 0x%X, %d sets", address_word(this),
                   static_cast<int>(m_sets.size()));
  for (auto& entry : m_sets) delete entry.second;
  m_sets.clear();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "~StringPool, 0x%X, %d strings", address_word(this),
                   static_cast<int>(m_count));
  for (PString*& s : m_slots) {
    PString::destroy(s);
    s = nullptr;
  }
  m_count = 0;
  if (t_pool == this) t_pool = nullptr;
}

size_t StringPool::probe(const char* key, size_t key_length, size_t hash) const {
  const size_t mask = m_slots.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const PString* s = m_slots[i];
    if (!s) return i;
    if (m_hashes[i] == hash && key_length <= s->length() && s->get_text()[key_length] == '\0' &&
        std::memcmp(s->get_text(), key, key_length) == 0)
      return i;
  }
}

void StringPool::grow() {
  std::vector<PString*> slots(m_slots.empty() ? 64 : m_slots.size() * 2, nullptr);
  std::vector<size_t> hashes(slots.size(), 0);
  const size_t mask = slots.size() - 1;
  for (size_t i = 0; i < m_slots.size(); ++i) {
    if (!m_slots[i]) continue;
    size_t j = m_hashes[i] & mask;
    while (slots[j]) j = (j + 1) & mask;
    slots[j] = m_slots[i];
    hashes[j] = m_hashes[i];
  }
  m_slots.swap(slots);
  m_hashes.swap(hashes);
}

const PString* StringPool::intern(const char* text, unsigned len) {
  if (!text || len == 0) return nullptr;
  const size_t key_length = strnlen(text, len);
  const size_t hash = hash_key(text, key_length);
  if ((m_count + 1) * 2 > m_slots.size()) grow();
  const size_t slot = probe(text, key_length, hash);
  if (m_slots[slot]) return m_slots[slot];
  PString* copy = PString::create(text, len);
  m_slots[slot] = copy;
  m_hashes[slot] = hash;
  ++m_count;
  return copy;
}

const PString* StringPool::insert(const char* text) {
  StringPool* pool = instance();
  return text ? pool->intern(text, static_cast<unsigned>(std::strlen(text))) : nullptr;
}

const PString* StringPool::insert(const char* text, unsigned len) {
  StringPool* pool = instance();
  return pool->intern(text, len);
}

const PString* StringPool::insert(const std::string& text) {
  StringPool* pool = instance();
  return pool->intern(text.data(), static_cast<unsigned>(text.size()));
}

const PString* StringPool::find(const char* text) const {
  if (!text || !*text || m_slots.empty()) return nullptr;
  const size_t key_length = std::strlen(text);
  return m_slots[probe(text, key_length, hash_key(text, key_length))];
}

void StringPool::init_handle(StringHandle& handle, const char* text) {
  if (!handle.is_valid()) handle = StringHandle(insert(text));
}

void StringPool::init_handle(StringHandle& handle, const char* text, unsigned len) {
  if (!handle.is_valid()) handle = StringHandle(insert(text, len));
}

void StringPool::init_handle(StringHandle& handle, const std::string& text) {
  if (!handle.is_valid()) handle = StringHandle(insert(text));
}

void StringPool::set_handle(StringHandle& handle, const char* text) {
  instance()->init_handle(handle, text);
}

void StringPool::set_handle(StringHandle& handle, const char* text, unsigned len) {
  instance()->init_handle(handle, text, len);
}

void StringPool::set_handle(StringHandle& handle, const std::string& text) {
  instance()->init_handle(handle, text);
}

StringPool::StringSet* StringPool::register_string_set(StringSetFactory factory) {
  StringPool* pool = instance();
  if (!factory) return nullptr;
  auto it = pool->m_sets.find(factory);
  if (it != pool->m_sets.end()) return it->second;
  StringSet* set = factory(*pool);
  if (!set) throw std::bad_alloc();
  try {
    pool->m_sets.emplace(factory, set);
  } catch (...) {
    delete set;
    throw;
  }
  return set;
}

const char* StringPool::get_text(const StringHandle& handle) {
  return handle.is_valid() ? handle.get()->get_text() : nullptr;
}

std::string StringPool::get_string(const StringHandle& handle) {
  return handle.is_valid() ? handle.get()->get_string() : std::string();
}

}  // namespace keldra
}  // namespace orva
