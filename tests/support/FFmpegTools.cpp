#include "support/FFmpegTools.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <stdexcept>

#include "support/GrowingFile.h"
#include "tools/oxlprobe/Md5.h"

namespace oxltest {
namespace {

std::optional<int64_t> ToInt(const std::string& text) {
  if (text.empty() || text == "N/A") return std::nullopt;
  return std::stoll(text);
}

int ToInt32(const std::string& text) { return static_cast<int>(ToInt(text).value_or(0)); }

ProbePacket ToPacket(std::map<std::string, std::string>& f) {
  ProbePacket p{ToInt(f["pts"]), ToInt(f["dts"]), ToInt(f["duration"]), uint64_t(ToInt(f["size"]).value_or(0)), {},
                f["flags"], f["data_hash"]};
  if (auto pos = ToInt(f["pos"])) p.pos = static_cast<uint64_t>(*pos);
  return p;
}

ProbeStream ToStream(std::map<std::string, std::string>& f) {
  ProbeStream s{static_cast<int>(ToInt(f["index"]).value_or(-1)), f["codec_type"], f["codec_name"], f["codec_tag_string"],
                0, 0, ToInt32(f["width"]), ToInt32(f["height"]), f["r_frame_rate"], f["sample_aspect_ratio"],
                f["tag:timecode"], ToInt32(f["sample_rate"]), ToInt32(f["channels"]), ToInt32(f["bits_per_sample"])};
  const size_t slash = f["time_base"].find('/');
  if (slash != std::string::npos) {
    s.timeBaseNum = std::stoll(f["time_base"].substr(0, slash));
    s.timeBaseDen = std::stoll(f["time_base"].substr(slash + 1));
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
  char errors[] = "/tmp/oxl-cmd-XXXXXX";
  const int fd = mkstemp(errors);
  if (fd < 0) throw std::runtime_error("cannot make a scratch file");
  close(fd);
  CommandResult result;
  FILE* pipe = popen((command + " 2>" + ShellQuote(errors)).c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run: " + command);
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.output.append(chunk, n);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.errors = ReadWholeFile(errors);
  std::remove(errors);
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
  for (std::string line, flags, encoder; std::getline(lines, line);)
    if (std::istringstream(line) >> flags >> encoder && encoder == name) return true;
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
  for (const ProbeStream& s : streams)
    if (type.empty() ? s.index == n : (s.codecType == type && seen++ == n)) return s;
  throw std::runtime_error("no stream " + specifier);
}

const std::vector<ProbePacket>& ProbeResult::Packets(const std::string& specifier) const {
  return packets.at(static_cast<size_t>(Stream(specifier).index));
}

std::string ProbeFileText(const std::string& path, bool withDataHash) {
  std::string entries =
      "stream=index,codec_type,codec_name,codec_tag_string,time_base,width,height,r_frame_rate,"
      "sample_aspect_ratio,sample_rate,channels,bits_per_sample:stream_tags=timecode"
      ":packet=stream_index,pts,dts,duration,size,pos,flags";
  if (withDataHash) entries += ",data_hash -show_data_hash md5";
  const CommandResult r =
      RunCommand("ffprobe -v error -of compact -show_streams -show_packets -show_entries " + entries + " " + ShellQuote(path));
  if (r.exitCode != 0) throw std::runtime_error("ffprobe failed: " + r.errors);
  return r.output;
}

// Compact lines "section|key=value|..."; lines starting with '|' (a packet's
// side data, e.g. the skip samples of a first AAC packet) continue the one before.
ProbeResult ParseProbeOutput(const std::string& text) {
  std::vector<std::string> joined;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line[0] == '|' && !joined.empty())
      joined.back() += line;
    else
      joined.push_back(line);
  }
  ProbeResult result;
  for (const std::string& line : joined) {
    std::istringstream fields(line);
    std::string section, field;
    std::getline(fields, section, '|');
    std::map<std::string, std::string> values;
    while (std::getline(fields, field, '|')) {
      const size_t eq = field.find('=');
      if (eq != std::string::npos) values[field.substr(0, eq)] = field.substr(eq + 1);
    }
    if (section == "stream") result.streams.push_back(ToStream(values));
    if (section != "packet") continue;
    const size_t index = static_cast<size_t>(ToInt(values["stream_index"]).value_or(0));
    if (result.packets.size() <= index) result.packets.resize(index + 1);
    result.packets[index].push_back(ToPacket(values));
  }
  result.packets.resize(std::max(result.packets.size(), result.streams.size()));
  return result;
}

ProbeResult ProbeFile(const std::string& path, bool withDataHash) {
  return ParseProbeOutput(ProbeFileText(path, withDataHash));
}

std::string Md5Hash(const std::string& bytes) {
  oxlprobe::Md5 md5;
  md5.Update(bytes.data(), bytes.size());
  return "MD5:" + md5.Hex();
}

}  // namespace oxltest
