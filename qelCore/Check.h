#pragma once
// Failure checks. A failed check builds "[" + message + suffix, logs it at
// error level with the source file and line, and throws qel::QELRuntimeError
// with the same text. The message expression is evaluated only on failure.
#include <sstream>
#include <string>
#include <type_traits>

#include "qelCore/QELRuntimeError.h"

// The source a failure names. A file that implements part of a class declared
// elsewhere defines it, before its includes, as the path of the class's main
// source file, so that every failure of the class names one source.
#ifndef QEL_SOURCE_FILE
#define QEL_SOURCE_FILE __FILE__
#endif

namespace qel {
namespace detail {

[[noreturn]] void Fail(const std::string& text, const char* file, int line);

template <typename T>
std::string CheckValueText(const T& value) {
  std::ostringstream s;
  if constexpr (sizeof(T) == 1 && std::is_integral_v<T>)
    s << static_cast<int>(value);
  else
    s << value;
  return s.str();
}

template <typename A, typename B>
[[noreturn]] void FailCompare(const std::string& message, const A& a, const char* op, const B& b, const char* file,
                              int line) {
  Fail("[" + message + "] [ value1 (" + CheckValueText(a) + ") is not " + op + " value2 (" + CheckValueText(b) + ") ]",
       file, line);
}

}  // namespace detail
}  // namespace qel

#define QEL_FAIL(message) ::qel::detail::Fail(std::string("[") + (message) + "]", QEL_SOURCE_FILE, __LINE__)
// A failure whose text stands alone, without the brackets.
#define QEL_FAIL_TEXT(text) ::qel::detail::Fail(std::string(text), QEL_SOURCE_FILE, __LINE__)

#define QEL_CHECK_SUFFIX_(failed, message, suffix)                                              \
  do {                                                                                          \
    if (failed) ::qel::detail::Fail(std::string("[") + (message) + (suffix), QEL_SOURCE_FILE, __LINE__); \
  } while (0)

#define QEL_CHECK_NOT_NULL(pointer, message) QEL_CHECK_SUFFIX_(!(pointer), message, "] [ Pointer is null ]")
#define QEL_CHECK_TRUE(condition, message) QEL_CHECK_SUFFIX_(!(condition), message, "] [ Condition is not true ]")
#define QEL_CHECK_FALSE(condition, message) QEL_CHECK_SUFFIX_((condition), message, "] [ Condition is not false ]")
#define QEL_CHECK_NOT_EMPTY(object, message) QEL_CHECK_SUFFIX_((object).empty(), message, "] [ object is empty ]")

#define QEL_CHECK_COMPARE_(a, op, b, message)                                         \
  do {                                                                                \
    const auto& qelA_ = (a);                                                          \
    const auto& qelB_ = (b);                                                          \
    if (!(qelA_ op qelB_))                                                            \
      ::qel::detail::FailCompare((message), qelA_, #op, qelB_, QEL_SOURCE_FILE, __LINE__);   \
  } while (0)

#define QEL_CHECK_GE(a, b, message) QEL_CHECK_COMPARE_(a, >=, b, message)
#define QEL_CHECK_LT(a, b, message) QEL_CHECK_COMPARE_(a, <, b, message)
#define QEL_CHECK_EQ(a, b, message) QEL_CHECK_COMPARE_(a, ==, b, message)
#define QEL_CHECK_NE(a, b, message) QEL_CHECK_COMPARE_(a, !=, b, message)
