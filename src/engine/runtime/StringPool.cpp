#include <keldra/StringPool.h>

#include <keldra/LoggerUmbo.h>

#include <keldra/Invariant.h>
#include <cstdint>
#include <memory>
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

struct PStringDeleter {
  void operator()(PString* s) const { PString::destroy(s); }
};
typedef std::unique_ptr<PString, PStringDeleter> PStringCopy;

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
    internal::invariant_failed("0", "src/engine/StringsPool", 159, __PRETTY_FUNCTION__);
  }
  return t_pool;
}

StringPool::~StringPool() {
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "~StringPool, 0x%X, %d sets", address_word(this),
                   static_cast<int>(m_sets.size()));
  for (auto& entry : m_sets) delete entry.second;
  m_sets.clear();
  LoggerUmbo::logf(LoggerUmbo::MSG_TRACE, "~StringPool, 0x%X, %d strings", address_word(this),
                   static_cast<int>(m_strings.size()));
  for (PString* s : m_strings) PString::destroy(s);
  m_strings.clear();
  if (t_pool == this) t_pool = nullptr;
}

// Offers a fresh copy to the set: an equal text already present wins and the copy
// is freed; otherwise the copy is kept.
const PString* StringPool::intern(PString* copy) {
  if (!copy) return nullptr;
  PStringCopy owned(copy);
  auto result = m_strings.insert(copy);
  if (result.second) return owned.release();
  return *result.first;
}

const PString* StringPool::insert(const char* text) {
  StringPool* pool = instance();
  return pool->intern(PString::create(text));
}

const PString* StringPool::insert(const char* text, unsigned len) {
  StringPool* pool = instance();
  return pool->intern(PString::create(text, len));
}

const PString* StringPool::insert(const std::string& text) {
  StringPool* pool = instance();
  return pool->intern(PString::create(text));
}

const PString* StringPool::find(const char* text) const {
  PStringCopy key(PString::create(text));
  if (!key) return nullptr;
  auto it = m_strings.find(key.get());
  return it == m_strings.end() ? nullptr : *it;
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
