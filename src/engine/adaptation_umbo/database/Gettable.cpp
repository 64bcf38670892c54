#include "adaptation_umbo/database/Gettable.h"

#include <sqlite3.h>

#include <cstring>

namespace orva {
namespace keldra {
namespace internal {

Gettable::Gettable(int count, const QueryParameter* results)
    : m_results(results, results + (results && count > 0 ? count : 0)) {}

Gettable::~Gettable() {}

void Gettable::set_params(int count, const QueryParameter* results) {
  m_results.assign(results, results + (results && count > 0 ? count : 0));
}

int Gettable::find_result_index(QueryParameter member) const {
  for (int i = 0; i < static_cast<int>(m_results.size()); ++i) {
    if (m_results[i] == member) return i;
  }
  return -1;
}

bool Gettable::check_index(int position) const {
  return position != -1 && get_stmt() && sqlite3_column_type(get_stmt(), position) != SQLITE_NULL;
}

bool Gettable::get_result(QueryParameter member, std::string& out) const {
  out.clear();
  const int index = find_result_index(member);
  if (!check_index(index)) return false;
  const unsigned char* text = sqlite3_column_text(get_stmt(), index);
  if (!text) return false;
  out.assign(reinterpret_cast<const char*>(text));
  return true;
}

bool Gettable::get_result(QueryParameter member, float& out) const {
  const int index = find_result_index(member);
  if (!check_index(index)) return false;
  out = static_cast<float>(sqlite3_column_double(get_stmt(), index));
  return true;
}

bool Gettable::get_result(QueryParameter member, double& out) const {
  const int index = find_result_index(member);
  if (!check_index(index)) return false;
  out = sqlite3_column_double(get_stmt(), index);
  return true;
}

bool Gettable::get_result(QueryParameter member, long long& out) const {
  const int index = find_result_index(member);
  if (!check_index(index)) return false;
  out = sqlite3_column_int64(get_stmt(), index);
  return true;
}

bool Gettable::get_result(QueryParameter member, int& out) const {
  const int index = find_result_index(member);
  if (!check_index(index)) return false;
  out = sqlite3_column_int(get_stmt(), index);
  return true;
}

bool Gettable::get_result(QueryParameter member, orva::SharedPointer<DynamicBuffer>& out) const {
  const int index = find_result_index(member);
  if (!check_index(index)) return false;
  const void* data = sqlite3_column_blob(get_stmt(), index);
  const int length = sqlite3_column_bytes(get_stmt(), index);
  orva::SharedPointer<DynamicBuffer> buffer(new DynamicBuffer());
  if (data && length > 0) buffer->write(static_cast<const unsigned char*>(data), length);
  out = buffer;
  return true;
}

bool Gettable::get_result(QueryParameter member, Field::DataType type, Field& field) const {
  switch (type) {
    case Field::TYPE_NONE:
      field.reset();
      return false;
    case Field::TYPE_INT32: {
      int v;
      if (!get_result(member, v)) return false;
      field.set_value(v);
      return true;
    }
    case Field::TYPE_UINT32: {
      int v;
      if (!get_result(member, v)) return false;
      field.set_value(static_cast<unsigned int>(v));
      return true;
    }
    case Field::TYPE_INT64: {
      long long v;
      if (!get_result(member, v)) return false;
      field.set_value(v);
      return true;
    }
    case Field::TYPE_UINT64: {
      long long v;
      if (!get_result(member, v)) return false;
      field.set_value(static_cast<unsigned long long>(v));
      return true;
    }
    case Field::TYPE_TIMESTAMP: {
      long long v;
      if (!get_result(member, v)) return false;
      field.set_timestamp(v);
      return true;
    }
    case Field::TYPE_FLOAT: {
      float v;
      if (!get_result(member, v)) return false;
      field.set_value(v);
      return true;
    }
    case Field::TYPE_DOUBLE: {
      double v;
      if (!get_result(member, v)) return false;
      field.set_value(v);
      return true;
    }
    case Field::TYPE_USTRING:
    case Field::TYPE_SPECIAL_USTRING: {
      std::string text;
      const bool found = get_result(member, text);
      field.set_value(text);
      return found;
    }
    case Field::TYPE_BINARY: {
      orva::SharedPointer<DynamicBuffer> buffer;
      if (!get_result(member, buffer)) return false;
      field.set_value(buffer);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
