#pragma once
// The one error type of the XML model: parsing reports failures through return
// values, while navigation, writing and path compilation throw this.
#include <exception>
#include <string>

namespace xmlpp {

class Exception : public std::exception {
 public:
  explicit Exception(const std::string& message);
  ~Exception() noexcept override;

  const char* what() const noexcept override;

  // Polymorphic copy and rethrow, so a caught error can be stored and thrown later.
  virtual Exception* Clone() const;
  virtual void Raise() const;

 private:
  std::string m_Message;
};

}  // namespace xmlpp
