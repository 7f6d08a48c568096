#include "qelCore/ImplementElement.h"

namespace qel::detail {

std::shared_ptr<IMilestone> ImplementElementMilestone(const std::string& label) {
  const std::string name = "ImplementElement " + label;
  Log(LogLevel::Info, "[MILESTONE][" + name + "]", "qelCore/include/WorkflowStepImplementation.h", __LINE__);
  return CreateMilestone(name);
}

void FailImplementElement(const std::string& label, const std::string& implementation, const std::string& type,
                          const std::exception& cause) {
  const std::string text = "can not implement " + label + " with implementation=\"" + implementation +
                           "\" and type=\"" + type + "\"\n" + cause.what();
  Log(LogLevel::Error, text, "qelCore/include/WorkflowStepImplementation.h", __LINE__);
  throw QELRuntimeError(text);
}

}  // namespace qel::detail
