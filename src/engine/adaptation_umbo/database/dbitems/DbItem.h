// Base of the row classes: one table row carried between the object model and a
// statement. bind() puts the row's values on a statement's parameters (members the
// statement does not list are skipped, so a row binds all its columns to any
// statement of its table); get_result() takes them from the statement's current
// result row (only the columns the statement returns).
//
// Row objects are short-lived and used on the connection's thread only. SQLite errors
// surface from the statements as UmboException.
#pragma once

namespace orva {
namespace keldra {
namespace internal {

class Bindable;
class Gettable;

class DbItem {
 public:
  virtual ~DbItem();
  virtual void bind(Bindable& query) = 0;
  virtual void get_result(Gettable& query) = 0;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
