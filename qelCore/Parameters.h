#pragma once
// Configuration: typed optional values, and named collections of them built
// from a prototype that declares which names exist.
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "qelCore/Check.h"

namespace qel {

template <typename T>
struct NoValidator {
  bool operator()(const T&) const { return true; }
};

// An optional value with its text form. Reading an unset value fails
// ("Value or defaultValue not set!"); a value refused by the validator fails too.
// The text is made when asked for: parsers set values by the hundred thousand
// (one fragment header per second of a fragmented file) and rarely want text.
template <typename T, typename Validator = NoValidator<T>>
class Parameter {
 public:
  bool IsSet() const { return m_bSet; }
  const T& GetValue() const {
    QEL_CHECK_TRUE(m_bSet, "Value or defaultValue not set!");
    return m_Value;
  }
  // The value, or `fallback` when unset.
  T GetValueOr(const T& fallback) const { return m_bSet ? m_Value : fallback; }
  // The value as a stream writes it; empty when unset.
  std::string GetText() const {
    if (!m_bSet) return std::string();
    std::ostringstream s;
    s << m_Value;
    return s.str();
  }
  void SetValue(const T& value) {
    QEL_CHECK_TRUE(Validator()(value), "invalid parameter value");
    m_Value = value;
    m_bSet = true;
  }
  void Reset() {
    m_bSet = false;
    m_Value = T();
  }

 private:
  bool m_bSet = false;
  T m_Value{};
};

// Declares the parameters a component accepts, each with a default text value.
class IParametersCollectionPrototype {
 public:
  virtual ~IParametersCollectionPrototype() = default;
  virtual void Declare(const std::string& name, const std::string& defaultValue) = 0;
  virtual bool IsDeclared(const std::string& name) const = 0;
  virtual std::vector<std::string> GetNames() const = 0;
  virtual std::string GetDefault(const std::string& name) const = 0;
};

// Values for the parameters of one prototype. Names the prototype does not
// declare are refused ("unknown parameter <name>").
class IParametersCollectionInstance {
 public:
  virtual ~IParametersCollectionInstance() = default;
  virtual std::shared_ptr<const IParametersCollectionPrototype> GetPrototype() const = 0;
  virtual bool Has(const std::string& name) const = 0;
  virtual std::string GetText(const std::string& name) const = 0;
  virtual void SetText(const std::string& name, const std::string& value) = 0;
  virtual size_t GetCount() const = 0;

  // The value converted from its text; fails when the text does not convert.
  template <typename T>
  T Get(const std::string& name) const {
    std::istringstream s(GetText(name));
    T value{};
    s >> value;
    QEL_CHECK_TRUE(!s.fail(), "parameter " + name + " is not of the requested type");
    return value;
  }
  template <typename T>
  void Set(const std::string& name, const T& value) {
    std::ostringstream s;
    s << value;
    SetText(name, s.str());
  }
};

std::shared_ptr<IParametersCollectionPrototype> CreateParametersCollectionPrototype();
// An instance holding the prototype's defaults; the prototype is shared, and
// declarations made on it later are seen by the instance.
std::shared_ptr<IParametersCollectionInstance> CreateParametersCollectionInstance(
    std::shared_ptr<const IParametersCollectionPrototype> prototype);

}  // namespace qel
