#include "ProbeRun.h"

#include <sstream>

namespace oxltest {

CommandResult RunProbe(const std::string& arguments) {
  return RunCommand(ShellQuote(OXLPROBE_PATH) + " " + arguments);
}

std::vector<nlohmann::json> JsonLines(const std::string& output) {
  std::vector<nlohmann::json> values;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty()) values.push_back(nlohmann::json::parse(line));
  }
  return values;
}

double InSeconds(int64_t time, const ProbeStream& stream) {
  return double(time) * double(stream.timeBaseNum) / double(stream.timeBaseDen);
}

std::string BundledSample() { return std::string(OXL_SOURCE_ROOT) + "/samples/sample.mov"; }

}  // namespace oxltest
