#pragma once
// The command line of oxlprobe.
#include <optional>
#include <string>

namespace oxlprobe {

enum class ProbeMode { Summary, Samples, Read };

struct ProbeOptions {
  ProbeMode mode = ProbeMode::Summary;
  std::string path;
  bool json = false;
  bool audio = false;    // the first audio track instead of the video track
  bool reverse = false;  // last to first
  bool md5 = false;
  bool verbose = false;  // the library's own log lines on standard error
  bool help = false;
  std::optional<double> seek;            // --read / --extract start, seconds
  std::optional<std::string> extract;    // output file, "-" for standard output
  std::optional<double> follow;          // --read / --extract: wait this long for the file to grow
  bool listDeliveries = true;            // --read lines on standard output
};

// Parses argv. Throws ProbeError (Exit_Usage) for an unknown or misplaced
// option, a missing value, or a file count other than one. --extract without
// --read extracts silently; with --read it also lists, unless the data go to
// standard output.
ProbeOptions ParseProbeOptions(int argc, const char* const* argv);

// The --help text: synopsis, options and exit statuses.
const char* ProbeUsageText();

}  // namespace oxlprobe
