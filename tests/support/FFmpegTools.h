#pragma once
// Test fixtures made by FFmpeg at test time, and reference values read back
// with ffprobe: an independent tool's view of the same file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace oxltest {

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output
  std::string errors;  // standard error
};

CommandResult RunCommand(const std::string& command);  // through the shell
std::string ShellQuote(const std::string& argument);
bool HasFFmpegTools();                    // ffmpeg and ffprobe can both be run
bool HasEncoder(const std::string& name);  // e.g. "libx264", "prores_ks"

// Runs "ffmpeg -y -nostdin -v error <arguments> <output>"; throws
// std::runtime_error carrying ffmpeg's messages when it fails.
void MakeMediaFixture(const std::string& arguments, const std::string& output);

// One packet as ffprobe reports it; absent values ("N/A") stay empty.
struct ProbePacket {
  std::optional<int64_t> pts, dts, duration;
  uint64_t size = 0;
  std::optional<uint64_t> pos;
  std::string flags;     // "K_" for a key frame
  std::string dataHash;  // "MD5:<hex>" when asked for
  bool IsKey() const { return flags.find('K') != std::string::npos; }
};

struct ProbeStream {
  int index = -1;
  std::string codecType;  // "video", "audio"
  std::string codecName;
  std::string codecTag;  // the four-character code, e.g. "avc1"
  int64_t timeBaseNum = 0, timeBaseDen = 0;
  int width = 0, height = 0;          // video
  std::string frameRate;              // r_frame_rate, e.g. "30000/1001"
  std::string sampleAspectRatio;      // e.g. "16:15"; empty when unknown
  std::string timecode;               // the stream's timecode tag, e.g. "01:00:00;02"
  int sampleRate = 0, channels = 0;   // audio
  int bitsPerSample = 0;              // audio; 0 for compressed formats
};

// Streams and packets of a whole file, from one ffprobe run.
struct ProbeResult {
  std::vector<ProbeStream> streams;
  std::vector<std::vector<ProbePacket>> packets;  // per stream index, in file order

  // The stream named by "v:0", "a:1" (n-th video/audio stream) or a plain
  // index. Throws std::runtime_error when absent.
  const ProbeStream& Stream(const std::string& specifier) const;
  const std::vector<ProbePacket>& Packets(const std::string& specifier) const;
};

// Every stream and packet of `path`; with `withDataHash`, each packet with
// the MD5 of its bytes. Throws std::runtime_error when ffprobe fails. The
// same in two steps for callers that keep ffprobe's text.
ProbeResult ProbeFile(const std::string& path, bool withDataHash = false);
std::string ProbeFileText(const std::string& path, bool withDataHash = false);
ProbeResult ParseProbeOutput(const std::string& text);

// The MD5 of `bytes` in ffprobe's form ("MD5:<hex>").
std::string Md5Hash(const std::string& bytes);

}  // namespace oxltest
