#include <keldra/ObjectCache.h>

#include <keldra/StorableObject.h>

#include "adaptation_umbo/base/Utils.h"

#include <tervo/ustring.h>

#include <algorithm>
#include <new>
#include <string>
#include <unordered_set>

namespace orva {
namespace keldra {

namespace {

std::string metadata_name(const orva::SharedPointer<Object>& object) {
  StorableObject view;
  view.attach(object);
  orva::ustring text;
  if (!view.metadata().get_name(text, orva::ustring())) return std::string();
  return text.to_utf8();
}

}  // namespace

int ObjectCache::id_order(const orva::SharedPointer<Object>& a,
                          const orva::SharedPointer<Object>& b) {
  if (!a.is_valid()) return 1;
  if (!b.is_valid()) return -1;
  return static_cast<int>(b->get_local_id() - a->get_local_id());
}

int ObjectCache::name_order(const orva::SharedPointer<Object>& a,
                            const orva::SharedPointer<Object>& b) {
  if (!a.is_valid()) return -1;
  if (!b.is_valid()) return 1;
  const std::string name_a = metadata_name(a);
  const std::string name_b = metadata_name(b);
  // Case-folded keys first, so that "alder" and "Birch" sort as a reader expects; the
  // names as written decide between keys that fold alike.
  const int folded =
      internal::casefold_and_normalize(name_a).compare(internal::casefold_and_normalize(name_b));
  if (folded != 0) return folded < 0 ? -1 : 1;
  const int written = name_a.compare(name_b);
  return written < 0 ? -1 : (written > 0 ? 1 : 0);
}

ObjectCache::ObjectCache() : m_view(0xFFFFFFFFu), m_listener(nullptr), m_order(nullptr) {}

ObjectCache::~ObjectCache() {}

void ObjectCache::set_object_view(unsigned int view) { m_view = view; }

void ObjectCache::set_object_order(OrderFunction order) {
  reset();
  m_order = order;
}

ErrorCode ObjectCache::set_object_ids(const std::vector<unsigned int>& ids) {
  std::unordered_set<unsigned int> wanted;
  try {
    m_pending.clear();
    wanted.reserve(ids.size());
    for (unsigned int id : ids) {
      wanted.insert(id);
      if (m_by_id.find(id) == m_by_id.end()) m_pending.push_back(id);
    }
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    return ORVA_ERROR_UNKNOWN;
  }
  auto unwanted = [&](const orva::SharedPointer<Object>& object) {
    const unsigned int id = object->get_local_id();
    if (wanted.count(id) != 0) return false;
    m_by_id.erase(id);
    return true;
  };
  m_loaded.erase(std::remove_if(m_loaded.begin(), m_loaded.end(), unwanted), m_loaded.end());
  return ORVA_ERROR_NONE;
}

ErrorCode ObjectCache::append_pending(unsigned int local_id) {
  try {
    m_pending.push_back(local_id);
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

ErrorCode ObjectCache::add_object(unsigned int local_id) { return append_pending(local_id); }

ErrorCode ObjectCache::add_object(const orva::SharedPointer<Object>& object) {
  if (!object.is_valid()) return ORVA_ERROR_INVALID_PARAMETERS;
  return add_object_to_cache(object);
}

void ObjectCache::remove_object(unsigned int local_id) {
  remove_object_from_cache(local_id);
  auto pending = std::find(m_pending.begin(), m_pending.end(), local_id);
  if (pending != m_pending.end()) m_pending.erase(pending);
}

void ObjectCache::reset() {
  m_loaded.clear();
  m_by_id.clear();
  m_pending.clear();
  m_order = nullptr;
}

unsigned int ObjectCache::get_objects_count() const {
  return static_cast<unsigned int>(m_loaded.size());
}

int ObjectCache::find_object(unsigned int local_id) const { return find_object_in_cache(local_id); }

unsigned int ObjectCache::get_object_id_by_index(unsigned int index) const {
  if (index >= m_loaded.size()) return 0;
  return m_loaded[index]->get_local_id();
}

orva::SharedPointer<Object> ObjectCache::get_object_by_index(unsigned int index) const {
  if (index >= m_loaded.size()) return orva::SharedPointer<Object>();
  return m_loaded[index];
}

void ObjectCache::get_objects(std::vector<orva::SharedPointer<Object>>& out) const {
  out = m_loaded;
}

void ObjectCache::get_object_ids(std::vector<unsigned int>& out) const {
  out.reserve(out.size() + m_loaded.size());
  for (const orva::SharedPointer<Object>& object : m_loaded) out.push_back(object->get_local_id());
}

void ObjectCache::set_progress_listener(ProgressHandler& listener) { m_listener = &listener; }

void ObjectCache::unset_progress_listener() { m_listener = nullptr; }

int ObjectCache::find_object_in_cache(unsigned int local_id) const {
  auto known = m_by_id.find(local_id);
  if (known == m_by_id.end()) return -1;
  const orva::SharedPointer<Object>& object = known->second;
  auto from = m_loaded.begin();
  auto to = m_loaded.end();
  if (m_order) {
    // The object sits among those that compare equal to it.
    const OrderFunction order = m_order;
    from = std::lower_bound(
        m_loaded.begin(), m_loaded.end(), object,
        [order](const orva::SharedPointer<Object>& loaded,
                const orva::SharedPointer<Object>& wanted) { return order(loaded, wanted) < 0; });
    to = std::upper_bound(
        from, m_loaded.end(), object,
        [order](const orva::SharedPointer<Object>& wanted,
                const orva::SharedPointer<Object>& loaded) { return order(wanted, loaded) < 0; });
  }
  auto found = std::find(from, to, object);
  // A caller may have changed a loaded object so that it no longer sorts where it stands.
  if (found == to && m_order) found = std::find(m_loaded.begin(), m_loaded.end(), object);
  if (found == m_loaded.end()) return -1;
  return static_cast<int>(found - m_loaded.begin());
}

orva::SharedPointer<Object> ObjectCache::get_object_from_cache(unsigned int local_id) const {
  auto known = m_by_id.find(local_id);
  return known == m_by_id.end() ? orva::SharedPointer<Object>() : known->second;
}

void ObjectCache::remove_object_from_cache(unsigned int local_id) {
  const int index = find_object_in_cache(local_id);
  if (index >= 0) forget(static_cast<unsigned int>(index));
}

void ObjectCache::remove_object_from_cache_by_index(unsigned int index) {
  if (index < m_loaded.size()) forget(index);
}

void ObjectCache::forget(unsigned int index) {
  m_by_id.erase(m_loaded[index]->get_local_id());
  m_loaded.erase(m_loaded.begin() + index);
}

ErrorCode ObjectCache::add_object_to_cache(const orva::SharedPointer<Object>& object) {
  try {
    remove_object_from_cache(object->get_local_id());
    auto at = m_loaded.end();
    if (m_order) {
      const OrderFunction order = m_order;
      at = std::upper_bound(
          m_loaded.begin(), m_loaded.end(), object,
          [order](const orva::SharedPointer<Object>& wanted,
                  const orva::SharedPointer<Object>& loaded) { return order(wanted, loaded) < 0; });
    }
    m_loaded.insert(at, object);
    try {
      m_by_id[object->get_local_id()] = object;
    } catch (...) {
      m_loaded.erase(std::find(m_loaded.begin(), m_loaded.end(), object));
      throw;
    }
  } catch (const std::bad_alloc&) {
    return ORVA_ERROR_OUT_OF_MEMORY;
  } catch (...) {
    return ORVA_ERROR_UNKNOWN;
  }
  return ORVA_ERROR_NONE;
}

void ObjectCache::inform_progress_listener(ErrorCode code) {
  if (!m_listener) return;
  if (m_pending.empty()) {
    m_listener->handle_progress(1.0f, code);
    return;
  }
  const float loaded = static_cast<float>(m_loaded.size());
  const float pending = static_cast<float>(m_pending.size());
  m_listener->handle_progress(loaded / (loaded + pending), code);
}

}  // namespace keldra
}  // namespace orva
