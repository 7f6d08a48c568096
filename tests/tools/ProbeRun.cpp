#include "ProbeRun.h"

#include <sstream>

namespace oxltest {

CommandResult RunProbe(const std::string& options, const std::string& path) {
  return RunCommand(ShellQuote(OXLPROBE_PATH) + " " + options + (path.empty() ? "" : " " + ShellQuote(path)));
}

std::vector<nlohmann::json> JsonLines(const std::string& output) {
  std::vector<nlohmann::json> values;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) values.push_back(nlohmann::json::parse(line));
  return values;
}

nlohmann::json ProbeSummary(const std::string& path) {
  const CommandResult r = RunProbe("--json", path);
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  return nlohmann::json::parse(r.output.empty() ? "null" : r.output);
}

std::string BundledSample() { return std::string(OXL_SOURCE_ROOT) + "/samples/sample.mov"; }

void ExpectMd5s(const std::vector<nlohmann::json>& lines, size_t first, int step,
                const std::function<std::string(size_t)>& md5Of) {
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["index"], i);
    EXPECT_EQ("MD5:" + lines[i]["md5"].get<std::string>(), md5Of(first + step * long(i))) << "line " << i;
  }
}

}  // namespace oxltest
