#pragma once
// Builds an element from the registry, with a milestone and uniform failure texts.
#include <exception>
#include <memory>
#include <string>

#include "qelCore/Check.h"
#include "qelCore/Element.h"
#include "qelCore/Logger.h"

namespace qel {
namespace detail {
// Logs "[MILESTONE][ImplementElement <label>]" at info level and returns the milestone.
std::shared_ptr<IMilestone> ImplementElementMilestone(const std::string& label);
[[noreturn]] void FailImplementElement(const std::string& label, const std::string& implementation,
                                       const std::string& type, const std::exception& cause);
}  // namespace detail

// The instance built by the factory registered as (N, implementation, type).
// Any failure is reported as "can not implement <label> with implementation="..."
// and type="..."" followed by a line break and the cause, and thrown.
template <unsigned int N>
typename ElementFactory<N>::Instance ImplementElement(const std::string& implementation, const std::string& type,
                                                      std::shared_ptr<const IStep> step) {
  const auto factoryType = static_cast<ElementFactoryType>(N);
  const std::string label = GetLabel(factoryType) + "." + implementation + "." + type;
  const auto milestone = detail::ImplementElementMilestone(label);
  try {
    auto registryEntry = GetFactory(factoryType, implementation, type);
    QEL_CHECK_NOT_NULL(registryEntry, "registryEntry");
    auto manifest = GetManifest(factoryType, implementation, type);
    QEL_CHECK_NOT_NULL(manifest, "manifest");
    auto factory = std::dynamic_pointer_cast<ElementFactory<N>>(registryEntry);
    QEL_CHECK_NOT_NULL(factory, "factory");
    return factory->Create(manifest, std::move(step));
  } catch (const std::exception& e) {
    detail::FailImplementElement(GetLabel(factoryType), implementation, type, e);
  }
}

}  // namespace qel
