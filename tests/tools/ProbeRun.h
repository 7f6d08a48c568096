#pragma once
// Runs the built oxlprobe and reads its output, for the tool tests.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/FFmpegTools.h"

namespace oxltest {

// oxlprobe with `options` on `path` (quoted here).
CommandResult RunProbe(const std::string& options, const std::string& path = "");
// One JSON value per non-empty line of `output`.
std::vector<nlohmann::json> JsonLines(const std::string& output);
// The --json summary of `path`.
nlohmann::json ProbeSummary(const std::string& path);
// The bundled sample clip of the repository.
std::string BundledSample();
// Each line's "md5" is `md5Of(first + step * i)` ("MD5:" form) and its "index" is i.
void ExpectMd5s(const std::vector<nlohmann::json>& lines, size_t first, int step,
                const std::function<std::string(size_t)>& md5Of);

}  // namespace oxltest
