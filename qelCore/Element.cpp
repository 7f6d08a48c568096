#include "qelCore/Element.h"

#include <map>
#include <mutex>
#include <tuple>

#include "qelCore/Recycler.h"

namespace qel {
namespace {

class Manifest : public IManifest {
 public:
  Manifest(std::string implementation, std::string type, std::string description)
      : m_Implementation(std::move(implementation)), m_Type(std::move(type)), m_Description(std::move(description)) {}
  std::string GetImplementation() const override { return m_Implementation; }
  std::string GetType() const override { return m_Type; }
  std::string GetDescription() const override { return m_Description; }

 private:
  std::string m_Implementation, m_Type, m_Description;
};

class Milestone : public IMilestone {
 public:
  explicit Milestone(std::string name) : m_Name(std::move(name)), m_Start(std::chrono::steady_clock::now()) {}
  const std::string& GetName() const override { return m_Name; }
  double GetElapsedSeconds() const override {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_Start).count();
  }

 private:
  std::string m_Name;
  std::chrono::steady_clock::time_point m_Start;
};

struct Entry {
  std::shared_ptr<IElementFactory> factory;
  std::shared_ptr<const IManifest> manifest;
};
using Key = std::tuple<unsigned int, std::string, std::string>;

// Hosts may register elements from any thread at start-up while readers are
// being built elsewhere, so the registry is locked.
struct Registry {
  std::mutex mutex;
  std::map<Key, Entry> entries;

  Registry() {
    auto factory = std::make_shared<ElementFactory<ElementFactoryType_Recycler>>(
        [](std::shared_ptr<const IManifest>, std::shared_ptr<const IStep>) { return CreateRecycler(); });
    entries[Key(ElementFactoryType_Recycler, "qel", "Recycler")] = {
        factory, CreateManifest("qel", "Recycler", "Pool of reusable memory blocks for media samples")};
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

Entry Find(ElementFactoryType type, const std::string& implementation, const std::string& name) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.entries.find(Key(type, implementation, name));
  return it == r.entries.end() ? Entry{} : it->second;
}

}  // namespace

std::string GetLabel(ElementFactoryType type) {
  if (type == ElementFactoryType_Recycler) return "MemoryAllocator";
  return "ElementFactoryType" + std::to_string(static_cast<unsigned int>(type));
}

std::shared_ptr<const IManifest> CreateManifest(const std::string& implementation, const std::string& type,
                                                const std::string& description) {
  return std::make_shared<Manifest>(implementation, type, description);
}

std::shared_ptr<IElementFactory> GetFactory(ElementFactoryType type, const std::string& implementation,
                                            const std::string& name) {
  return Find(type, implementation, name).factory;
}

std::shared_ptr<const IManifest> GetManifest(ElementFactoryType type, const std::string& implementation,
                                             const std::string& name) {
  return Find(type, implementation, name).manifest;
}

void RegisterElementFactory(ElementFactoryType type, const std::string& implementation, const std::string& name,
                            std::shared_ptr<IElementFactory> factory, std::shared_ptr<const IManifest> manifest) {
  Registry& r = TheRegistry();
  std::lock_guard<std::mutex> lock(r.mutex);
  const Key key(type, implementation, name);
  if (!factory) {
    r.entries.erase(key);
    return;
  }
  r.entries[key] = {std::move(factory), std::move(manifest)};
}

std::shared_ptr<IMilestone> CreateMilestone(const std::string& name) { return std::make_shared<Milestone>(name); }

}  // namespace qel
