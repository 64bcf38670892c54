// Exception carrying an orva::ErrorCode and a message out of the database layer,
// the D-Bus hub and the service-profile writer; the code that catches it returns
// get_reason() as the operation's result.
#pragma once

#include <keldra/ErrorCode.h>

#include <exception>
#include <string>

namespace orva {
namespace keldra {
namespace internal {

class UmboException : public std::exception {
 public:
  UmboException(orva::ErrorCode reason, const std::string& message)
      : m_reason(reason), m_message(message) {}
  ~UmboException() override {}

  orva::ErrorCode get_reason() const { return m_reason; }
  std::string get_error_message() const { return m_message; }
  const char* what() const noexcept override { return m_message.c_str(); }

 private:
  orva::ErrorCode m_reason;
  std::string m_message;
};

}  // namespace internal
}  // namespace keldra
}  // namespace orva
