#include "support/FFmpegTools.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>

#include "tools/oxlprobe/Md5.h"

namespace oxltest {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A temporary file name for the shell to write to, removed on destruction.
class ScratchFile {
 public:
  ScratchFile() {
    char name[] = "/tmp/oxl-cmd-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) throw std::runtime_error("cannot make a scratch file");
    close(fd);
    m_Path = name;
  }
  ~ScratchFile() { std::remove(m_Path.c_str()); }
  const std::string& path() const { return m_Path; }

 private:
  std::string m_Path;
};

std::optional<int64_t> ToInt(const std::string& text) {
  if (text.empty() || text == "N/A") return std::nullopt;
  return std::stoll(text);
}

// "key=value|key=value" into a map.
std::map<std::string, std::string> ParseCompactLine(const std::string& line) {
  std::map<std::string, std::string> fields;
  std::istringstream s(line);
  std::string field;
  while (std::getline(s, field, '|')) {
    const size_t eq = field.find('=');
    if (eq != std::string::npos) fields[field.substr(0, eq)] = field.substr(eq + 1);
  }
  return fields;
}

// ffprobe's compact form puts what follows a nested section (a packet's
// side data, e.g. the skip samples of a first AAC packet) on lines that
// start with '|'; they belong to the line before.
std::vector<std::string> JoinContinuationLines(const std::string& output) {
  std::vector<std::string> joined;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == '|' && !joined.empty()) {
      joined.back() += line;
    } else {
      joined.push_back(line);
    }
  }
  return joined;
}

ProbePacket ToPacket(std::map<std::string, std::string>& fields) {
  ProbePacket p;
  p.pts = ToInt(fields["pts"]);
  p.dts = ToInt(fields["dts"]);
  p.duration = ToInt(fields["duration"]);
  p.size = static_cast<uint64_t>(ToInt(fields["size"]).value_or(0));
  if (auto pos = ToInt(fields["pos"])) p.pos = static_cast<uint64_t>(*pos);
  p.flags = fields["flags"];
  p.dataHash = fields["data_hash"];
  return p;
}

ProbeStream ToStream(std::map<std::string, std::string>& fields) {
  ProbeStream s;
  s.index = static_cast<int>(ToInt(fields["index"]).value_or(-1));
  s.codecType = fields["codec_type"];
  s.codecName = fields["codec_name"];
  s.codecTag = fields["codec_tag_string"];
  s.width = static_cast<int>(ToInt(fields["width"]).value_or(0));
  s.height = static_cast<int>(ToInt(fields["height"]).value_or(0));
  s.frameRate = fields["r_frame_rate"];
  s.sampleAspectRatio = fields["sample_aspect_ratio"];
  s.fieldOrder = fields["field_order"];
  s.timecode = fields["tag:timecode"];
  s.sampleRate = static_cast<int>(ToInt(fields["sample_rate"]).value_or(0));
  s.channels = static_cast<int>(ToInt(fields["channels"]).value_or(0));
  s.bitsPerSample = static_cast<int>(ToInt(fields["bits_per_sample"]).value_or(0));
  const std::string& tb = fields["time_base"];
  const size_t slash = tb.find('/');
  if (slash != std::string::npos) {
    s.timeBaseNum = std::stoll(tb.substr(0, slash));
    s.timeBaseDen = std::stoll(tb.substr(slash + 1));
  }
  return s;
}

}  // namespace

std::string ShellQuote(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

CommandResult RunCommand(const std::string& command) {
  ScratchFile errors;
  CommandResult result;
  FILE* pipe = popen((command + " 2>" + ShellQuote(errors.path())).c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run: " + command);
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.errors = ReadWholeFile(errors.path());
  return result;
}

bool HasFFmpegTools() {
  static const bool available = RunCommand("command -v ffmpeg && command -v ffprobe").exitCode == 0;
  return available;
}

bool HasEncoder(const std::string& name) {
  if (!HasFFmpegTools()) return false;
  static const std::string encoders = RunCommand("ffmpeg -hide_banner -encoders").output;
  std::istringstream lines(encoders);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string flags, encoder;
    if (words >> flags >> encoder && encoder == name) return true;
  }
  return false;
}

void MakeMediaFixture(const std::string& arguments, const std::string& output) {
  const CommandResult r = RunCommand("ffmpeg -y -nostdin -v error " + arguments + " " + ShellQuote(output));
  if (r.exitCode != 0) throw std::runtime_error("ffmpeg failed (" + arguments + "): " + r.errors);
}

const ProbeStream& ProbeResult::Stream(const std::string& specifier) const {
  const size_t colon = specifier.find(':');
  const std::string kind = colon == std::string::npos ? "" : specifier.substr(0, colon);
  const int n = std::stoi(colon == std::string::npos ? specifier : specifier.substr(colon + 1));
  const std::string type = kind == "v" ? "video" : kind == "a" ? "audio" : "";
  int seen = 0;
  for (const ProbeStream& s : streams) {
    if (type.empty() ? s.index == n : (s.codecType == type && seen++ == n)) return s;
  }
  throw std::runtime_error("no stream " + specifier);
}

const std::vector<ProbePacket>& ProbeResult::Packets(const std::string& specifier) const {
  return packets.at(static_cast<size_t>(Stream(specifier).index));
}

std::string ProbeFileText(const std::string& path, bool withDataHash) {
  std::string entries =
      "stream=index,codec_type,codec_name,codec_tag_string,time_base,width,height,r_frame_rate,"
      "sample_aspect_ratio,field_order,sample_rate,channels,bits_per_sample:stream_tags=timecode"
      ":packet=stream_index,pts,dts,duration,size,pos,flags";
  if (withDataHash) entries += ",data_hash -show_data_hash md5";
  const CommandResult r =
      RunCommand("ffprobe -v error -of compact -show_streams -show_packets -show_entries " + entries + " " + ShellQuote(path));
  if (r.exitCode != 0) throw std::runtime_error("ffprobe failed: " + r.errors);
  return r.output;
}

ProbeResult ParseProbeOutput(const std::string& text) {
  ProbeResult result;
  for (const std::string& line : JoinContinuationLines(text)) {
    const size_t bar = line.find('|');
    if (bar == std::string::npos) continue;
    const std::string section = line.substr(0, bar);
    auto fields = ParseCompactLine(line.substr(bar + 1));
    if (section == "stream") {
      result.streams.push_back(ToStream(fields));
      continue;
    }
    if (section != "packet") continue;
    const size_t index = static_cast<size_t>(ToInt(fields["stream_index"]).value_or(0));
    if (result.packets.size() <= index) result.packets.resize(index + 1);
    result.packets[index].push_back(ToPacket(fields));
  }
  result.packets.resize(std::max(result.packets.size(), result.streams.size()));
  return result;
}

ProbeResult ProbeFile(const std::string& path, bool withDataHash) {
  return ParseProbeOutput(ProbeFileText(path, withDataHash));
}

std::vector<ProbePacket> ProbePackets(const std::string& path, const std::string& stream, bool withDataHash) {
  return ProbeFile(path, withDataHash).Packets(stream);
}

ProbeStream ProbeStreamInfo(const std::string& path, const std::string& stream) {
  return ProbeFile(path).Stream(stream);
}

std::string Md5Hash(const std::string& bytes) {
  oxlprobe::Md5 md5;
  md5.Update(bytes.data(), bytes.size());
  return "MD5:" + md5.Hex();
}

}  // namespace oxltest
