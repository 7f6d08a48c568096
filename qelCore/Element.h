#pragma once
// The element registry: services are "elements" built by factories that are
// registered under a factory type, an implementation name and a type name,
// each with a manifest describing it.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace qel {

enum ElementFactoryType : unsigned int {
  ElementFactoryType_Recycler = 23,  // memory-block allocators for samples
};

// "MemoryAllocator" for the recycler type; "ElementFactoryType<n>" for types
// this framework layer does not know.
std::string GetLabel(ElementFactoryType type);

class IElement {
 public:
  virtual ~IElement() = default;
  virtual std::string GetName() const = 0;
};

// The workflow step an element is built for; elements built outside a
// workflow get none.
class IStep {
 public:
  virtual ~IStep() = default;
  virtual std::string GetName() const = 0;
};

class IManifest {
 public:
  virtual ~IManifest() = default;
  virtual std::string GetImplementation() const = 0;
  virtual std::string GetType() const = 0;
  virtual std::string GetDescription() const = 0;
};

std::shared_ptr<const IManifest> CreateManifest(const std::string& implementation, const std::string& type,
                                                const std::string& description);

class IElementFactory {
 public:
  virtual ~IElementFactory() = default;
  virtual ElementFactoryType GetFactoryType() const = 0;
};

// What a factory of type N builds; specialised next to each element interface.
template <unsigned int N>
struct ElementFactoryTraits;

template <unsigned int N>
class ElementFactory : public IElementFactory {
 public:
  using Instance = typename ElementFactoryTraits<N>::Instance;
  using CreateFunction = std::function<Instance(std::shared_ptr<const IManifest>, std::shared_ptr<const IStep>)>;

  explicit ElementFactory(CreateFunction create) : m_Create(std::move(create)) {}
  ElementFactoryType GetFactoryType() const override { return static_cast<ElementFactoryType>(N); }
  Instance Create(std::shared_ptr<const IManifest> manifest, std::shared_ptr<const IStep> step) const {
    return m_Create(std::move(manifest), std::move(step));
  }

 private:
  CreateFunction m_Create;
};

// Lookups return null when nothing is registered under the three keys.
std::shared_ptr<IElementFactory> GetFactory(ElementFactoryType type, const std::string& implementation,
                                            const std::string& name);
std::shared_ptr<const IManifest> GetManifest(ElementFactoryType type, const std::string& implementation,
                                             const std::string& name);
// Registers (or replaces) an entry; a null factory removes it. The built-in
// "qel"/"Recycler" entry is present from the start.
void RegisterElementFactory(ElementFactoryType type, const std::string& implementation, const std::string& name,
                            std::shared_ptr<IElementFactory> factory, std::shared_ptr<const IManifest> manifest);

// A named point in a workflow, timed from its creation.
class IMilestone {
 public:
  virtual ~IMilestone() = default;
  virtual const std::string& GetName() const = 0;
  virtual double GetElapsedSeconds() const = 0;
};

std::shared_ptr<IMilestone> CreateMilestone(const std::string& name);

}  // namespace qel
