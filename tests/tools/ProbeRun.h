#pragma once
// Runs the built oxlprobe and reads its output, for the tool tests.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/FFmpegTools.h"

namespace oxltest {

// oxlprobe with `arguments` (already quoted for the shell).
CommandResult RunProbe(const std::string& arguments);

// One JSON value per non-empty line of `output`.
std::vector<nlohmann::json> JsonLines(const std::string& output);

// Seconds of a time in a stream's time base.
double InSeconds(int64_t time, const ProbeStream& stream);

// The bundled sample clip of the repository.
std::string BundledSample();

}  // namespace oxltest
