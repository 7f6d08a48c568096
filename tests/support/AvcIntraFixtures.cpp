#include "support/AvcIntraFixtures.h"

#include <sstream>
#include <stdexcept>

#include "support/GrowingFile.h"

namespace oxltest {
namespace {

// Start positions of the NAL units of an Annex B frame (after each 00 00 01).
std::vector<size_t> NalStarts(const std::string& frame) {
  std::vector<size_t> starts;
  for (size_t pos = frame.find(std::string("\0\0\1", 3)); pos != std::string::npos;
       pos = frame.find(std::string("\0\0\1", 3), pos + 3))
    starts.push_back(pos + 3);
  return starts;
}

// End of the NAL unit starting at starts[i]: the next start code, without the
// zero bytes before it.
size_t NalEnd(const std::string& frame, const std::vector<size_t>& starts, size_t i) {
  size_t end = i + 1 < starts.size() ? starts[i + 1] - 3 : frame.size();
  while (end > starts[i] && frame[end - 1] == 0) --end;
  return end;
}

std::vector<std::string> AvcIntraSteps(const AvcIntraCase& c, int frames) {
  std::ostringstream s;
  s << "-f lavfi -i testsrc2=s=" << c.width << "x" << c.height << ":r=" << c.rate << " -frames:v " << frames
    << " -pix_fmt " << (c.avcClass == 50 ? "yuv420p10le" : "yuv422p10le") << " -c:v libx264 -avcintra-class "
    << c.avcClass;
  if (c.interlaced) s << " -flags +ildct+ilme";
  if (c.sony) s << " -x264-params avcintra-flavor=sony";
  if (c.tag && *c.tag) s << " -tag:v " << c.tag;
  return {s.str()};
}

}  // namespace

const MediaFixture& AvcIntraFixture(const AvcIntraCase& c, int frames) {
  const auto steps = AvcIntraSteps(c, frames);
  if (const MediaFixture* cached = FindMediaFixture(c.name, steps)) return *cached;
  if (!HasEncoder("libx264")) throw std::runtime_error("this ffmpeg has no libx264");
  return GetMediaFixture(c.name, steps);
}

std::vector<std::string> PacketBytes(const MediaFixture& fixture) {
  const std::string file = ReadWholeFile(fixture.path);
  std::vector<std::string> packets;
  for (const auto& p : fixture.probe.Packets("v:0")) {
    if (!p.pos || *p.pos + p.size > file.size()) throw std::runtime_error("packet outside " + fixture.path);
    packets.push_back(file.substr(*p.pos, p.size));
  }
  return packets;
}

std::string BlankParameterSets(const std::string& frame) {
  std::string out = frame;
  const auto starts = NalStarts(frame);
  for (size_t i = 0; i < starts.size(); ++i) {
    const int type = frame[starts[i]] & 0x1F;
    const size_t end = NalEnd(frame, starts, i);
    if ((type != 7 && type != 8) || end - starts[i] < 2) continue;
    out[starts[i]] = 0x0C;
    for (size_t j = starts[i] + 1; j + 1 < end; ++j) out[j] = '\xFF';
    out[end - 1] = '\x80';
  }
  return out;
}

std::string ToLengthPrefixed(const std::string& frame) {
  std::string out;
  const auto starts = NalStarts(frame);
  for (size_t i = 0; i < starts.size(); ++i) {
    const size_t end = NalEnd(frame, starts, i);
    const uint32_t n = static_cast<uint32_t>(end - starts[i]);
    out += std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + frame.substr(starts[i], n);
  }
  return out;
}

void WriteMovieWithFormatCode(const MediaFixture& movie, const std::string& tag, const std::string& path) {
  std::string file = ReadWholeFile(movie.path);
  const std::string old = movie.probe.Stream("v:0").codecTag;
  const size_t stsd = file.find("stsd");
  const size_t at = stsd == std::string::npos ? stsd : file.find(old, stsd);
  if (at == std::string::npos || old.size() != 4 || tag.size() != 4)
    throw std::runtime_error("no format code " + old + " in " + movie.path);
  file.replace(at, 4, tag);
  (void)GrowingFile(path, file);  // writes the file whole
}

std::vector<std::string> DecodedFrameMd5s(const std::string& input) {
  const CommandResult r = RunCommand("ffmpeg -nostdin -v error " + input + " -f framemd5 -");
  if (r.exitCode != 0) throw std::runtime_error("ffmpeg cannot decode (" + input + "): " + r.errors);
  std::vector<std::string> md5s;
  std::istringstream lines(r.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    md5s.push_back(line.substr(line.find_last_of(", ") + 1));
  }
  return md5s;
}

std::vector<std::string> MovieFrameMd5s(const MediaFixture& movie) {
  return DecodedFrameMd5s("-i " + ShellQuote(movie.path));
}

}  // namespace oxltest
