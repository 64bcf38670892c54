#include "adaptation_umbo/database/Bindable.h"

#include "adaptation_umbo/database/ErrorHandler.h"

#include <keldra/Invariant.h>

#include <sqlite3.h>

namespace orva {
namespace keldra {
namespace internal {

Bindable::Bindable(ErrorHandler* handler, int count, const QueryParameter* params)
    : m_params(params, params + (params && count > 0 ? count : 0)), m_binder_handler(handler) {}

Bindable::~Bindable() {}

void Bindable::set_params(int count, const QueryParameter* params) {
  m_params.assign(params, params + (params && count > 0 ? count : 0));
}

int Bindable::find_parameter_index(QueryParameter member) const {
  // VALUE_INT and VALUE_REAL name no column: never bound.
  if (member == VALUE_INT || member == VALUE_REAL) return -1;
  for (int i = 0; i < static_cast<int>(m_params.size()); ++i) {
    if (m_params[i] == member) return i;
  }
  return -1;
}

void Bindable::bind(int position, int value) {
  if (position < 0) return;
  m_binder_handler->check_if_error(sqlite3_bind_int(get_stmt(), position + 1, value));
}

void Bindable::bind(int position, long long value) {
  if (position < 0) return;
  m_binder_handler->check_if_error(
      sqlite3_bind_int64(get_stmt(), position + 1, static_cast<sqlite3_int64>(value)));
}

void Bindable::bind(int position, double value) {
  if (position < 0) return;
  m_binder_handler->check_if_error(sqlite3_bind_double(get_stmt(), position + 1, value));
}

void Bindable::bind(int position, const std::string& text) {
  if (position < 0 || text.empty()) return;
  m_binder_handler->check_if_error(
      sqlite3_bind_text(get_stmt(), position + 1, text.c_str(), -1, SQLITE_TRANSIENT));
}

void Bindable::bind(int position, const void* bytes, int length) {
  if (position < 0 || !bytes || length <= 0) return;
  m_binder_handler->check_if_error(
      sqlite3_bind_blob(get_stmt(), position + 1, bytes, length, SQLITE_TRANSIENT));
}

void Bindable::bind(int position, const Field& field) {
  if (position < 0) return;
  switch (field.get_type()) {
    case Field::TYPE_NONE:
    case Field::TYPE_SPECIAL_USTRING:
      return;
    case Field::TYPE_INT32: {
      int v = 0;
      field.get_value(v);
      bind(position, v);
      return;
    }
    case Field::TYPE_UINT32: {
      unsigned int v = 0;
      field.get_value(v);
      bind(position, static_cast<int>(v));
      return;
    }
    case Field::TYPE_INT64: {
      long long v = 0;
      field.get_value(v);
      bind(position, v);
      return;
    }
    case Field::TYPE_UINT64: {
      unsigned long long v = 0;
      field.get_value(v);
      bind(position, static_cast<long long>(v));
      return;
    }
    case Field::TYPE_TIMESTAMP: {
      long long v = 0;
      field.get_timestamp(v);
      bind(position, v);
      return;
    }
    case Field::TYPE_FLOAT: {
      float v = 0;
      field.get_value(v);
      bind(position, static_cast<double>(v));
      return;
    }
    case Field::TYPE_DOUBLE: {
      double v = 0;
      field.get_value(v);
      bind(position, v);
      return;
    }
    case Field::TYPE_USTRING: {
      std::string text;
      field.get_value(text);
      bind(position, text);
      return;
    }
    case Field::TYPE_BINARY:
      bind(position, field.get_value_data(), static_cast<int>(field.get_value_length()));
      return;
    default:
      KELDRA_INVARIANT(false, "false", "Bindable.cpp", 197);
  }
}

void Bindable::bind(QueryParameter member, int value) { bind(find_parameter_index(member), value); }

void Bindable::bind(QueryParameter member, long long value) {
  bind(find_parameter_index(member), value);
}

void Bindable::bind(QueryParameter member, float value) {
  bind(find_parameter_index(member), static_cast<double>(value));
}

void Bindable::bind(QueryParameter member, double value) {
  bind(find_parameter_index(member), value);
}

void Bindable::bind(QueryParameter member, const std::string& text) {
  bind(find_parameter_index(member), text);
}

void Bindable::bind(QueryParameter member, const orva::SharedPointer<DynamicBuffer>& buffer) {
  if (!buffer.is_valid()) return;
  bind(find_parameter_index(member), buffer->get_data(),
       static_cast<int>(buffer->get_data_length()));
}

void Bindable::bind(QueryParameter member, const Field& field) {
  bind(find_parameter_index(member), field);
}

}  // namespace internal
}  // namespace keldra
}  // namespace orva
