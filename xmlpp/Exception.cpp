#include "xmlpp/Exception.h"

namespace xmlpp {

Exception::Exception(const std::string& message) : m_Message(message) {}

Exception::~Exception() noexcept = default;

const char* Exception::what() const noexcept { return m_Message.c_str(); }

Exception* Exception::Clone() const { return new Exception(*this); }

void Exception::Raise() const { throw *this; }

}  // namespace xmlpp
