#include "ProbeOptions.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "ProbeError.h"

namespace oxlprobe {
namespace {

[[noreturn]] void Usage(const std::string& reason) { throw ProbeError(Exit_Usage, "", reason); }

double ParseSeconds(const std::string& option, const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) Usage(option + " wants seconds, not '" + text + "'");
  return value;
}

// "--name=value" or "--name value"; advances i past a separate value.
std::string TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& name) {
  const std::string& arg = args[i];
  if (arg.size() > name.size() && arg[name.size()] == '=') return arg.substr(name.size() + 1);
  if (i + 1 >= args.size()) Usage(name + " wants a value");
  return args[++i];
}

bool Matches(const std::string& arg, const std::string& name) {
  return arg == name || arg.rfind(name + "=", 0) == 0;
}

void CheckCombination(ProbeOptions& o, bool samples, bool read) {
  if (samples && (read || o.extract)) Usage("--samples cannot be combined with --read or --extract");
  const bool walks = samples || read || o.extract;
  if (!walks && (o.audio || o.reverse || o.md5)) Usage("--audio, --reverse and --md5 need --samples, --read or --extract");
  if (o.md5 && !samples && !read) Usage("--md5 needs --samples or --read");
  if (o.seek && !read && !o.extract) Usage("--seek needs --read or --extract");
  if (o.follow && !read && !o.extract) Usage("--follow needs --read or --extract");
  if (o.follow && o.reverse) Usage("--follow reads forwards, not with --reverse");
  if (read && o.extract && *o.extract == "-") Usage("--read lists on standard output, which --extract - takes");
  o.mode = samples ? ProbeMode::Samples : walks ? ProbeMode::Read : ProbeMode::Summary;
  o.listDeliveries = read;
}

}  // namespace

ProbeOptions ParseProbeOptions(int argc, const char* const* argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
  ProbeOptions o;
  bool samples = false, read = false, optionsEnded = false;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      files.push_back(a);
    } else if (a == "--") {
      optionsEnded = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--samples") {
      samples = true;
    } else if (a == "--read") {
      read = true;
    } else if (a == "--audio") {
      o.audio = true;
    } else if (a == "--reverse") {
      o.reverse = true;
    } else if (a == "--md5") {
      o.md5 = true;
    } else if (a == "--verbose") {
      o.verbose = true;
    } else if (Matches(a, "--seek")) {
      o.seek = ParseSeconds("--seek", TakeValue(args, i, "--seek"));
    } else if (Matches(a, "--follow")) {
      o.follow = ParseSeconds("--follow", TakeValue(args, i, "--follow"));
      if (*o.follow < 0) Usage("--follow wants a time of 0 seconds or more");
    } else if (Matches(a, "--extract")) {
      o.extract = TakeValue(args, i, "--extract");
      if (o.extract->empty()) Usage("--extract wants a file name or -");
    } else {
      Usage("unknown option " + a);
    }
  }
  if (o.help) return o;
  if (files.size() != 1) Usage(files.empty() ? "no file given" : "one file at a time");
  o.path = files.front();
  CheckCombination(o, samples, read);
  return o;
}

const char* ProbeUsageText() {
  return R"(Usage: oxlprobe [options] FILE

Shows what the OXL data reader sees in a QuickTime, MP4 or MXF file.

  (no mode)        summary: identified file type and video data type, the
                   reader the factory builds, the clip's files, tracks, video
                   description and system, in and out points, start timecode,
                   audio streams (MXF: partitions, packages, metadata)
  --samples        every sample of the video track through its sample cursor
                   (MXF: every edit unit): index, time, decode time
                   (seconds), size, offset, sync
  --read           what the reader delivers (GetNextData, or GetPrevData with
                   --reverse): index, size, time
  --extract FILE   write the delivered bytes one after another to FILE
                   (- for standard output), e.g. to pipe into a decoder
  --audio          use the first audio track instead of the video track
  --reverse        walk from the last sample to the first
  --seek SECONDS   start --read or --extract at this time
  --follow SECONDS at the end of the data, wait for the file to grow and
                   deliver what it gains; stop once it has not grown for
                   this long (tail -f for media)
  --md5            add the MD5 of each sample's (or delivery's) bytes
  --json           one JSON document (summary) or one JSON object per line
  --verbose        also show the library's own log lines
  -h, --help       this text

Exit status:
  0  success
  2  usage error
  3  the file cannot be opened (missing, unreadable, a directory)
  4  the file is not recognised (empty, not QuickTime/MP4, no video or audio)
  5  read failure (damaged or truncated movie, a read that failed)
  6  the --extract output cannot be written
  7  identified, but no reader on this platform reads what was asked
)";
}

}  // namespace oxlprobe
