#include "qelCore/Parameters.h"

namespace qel {
namespace {

class Prototype : public IParametersCollectionPrototype {
 public:
  void Declare(const std::string& name, const std::string& defaultValue) override { m_Defaults[name] = defaultValue; }
  bool IsDeclared(const std::string& name) const override { return m_Defaults.count(name) != 0; }
  std::vector<std::string> GetNames() const override {
    std::vector<std::string> names;
    for (const auto& entry : m_Defaults) names.push_back(entry.first);
    return names;
  }
  std::string GetDefault(const std::string& name) const override {
    auto it = m_Defaults.find(name);
    QEL_CHECK_TRUE(it != m_Defaults.end(), "unknown parameter " + name);
    return it->second;
  }

 private:
  std::map<std::string, std::string> m_Defaults;
};

class Instance : public IParametersCollectionInstance {
 public:
  explicit Instance(std::shared_ptr<const IParametersCollectionPrototype> prototype)
      : m_Prototype(std::move(prototype)) {}
  std::shared_ptr<const IParametersCollectionPrototype> GetPrototype() const override { return m_Prototype; }
  bool Has(const std::string& name) const override { return m_Prototype->IsDeclared(name); }
  std::string GetText(const std::string& name) const override {
    auto it = m_Values.find(name);
    if (it != m_Values.end()) return it->second;
    return m_Prototype->GetDefault(name);
  }
  void SetText(const std::string& name, const std::string& value) override {
    QEL_CHECK_TRUE(Has(name), "unknown parameter " + name);
    m_Values[name] = value;
  }
  size_t GetCount() const override { return m_Prototype->GetNames().size(); }

 private:
  std::shared_ptr<const IParametersCollectionPrototype> m_Prototype;
  std::map<std::string, std::string> m_Values;
};

}  // namespace

std::shared_ptr<IParametersCollectionPrototype> CreateParametersCollectionPrototype() {
  return std::make_shared<Prototype>();
}

std::shared_ptr<IParametersCollectionInstance> CreateParametersCollectionInstance(
    std::shared_ptr<const IParametersCollectionPrototype> prototype) {
  if (!prototype) return nullptr;
  return std::make_shared<Instance>(std::move(prototype));
}

}  // namespace qel
