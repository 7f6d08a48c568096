#include "support/MediaFixtureCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace fs = boost::filesystem;

namespace oxltest {
namespace {

// FNV-1a: stable from one build and run to the next, unlike std::hash.
uint64_t Fnv1a(const std::string& text) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

std::string Hex(uint64_t value) {
  std::ostringstream s;
  s << std::hex << value;
  return s.str();
}

// Size and time of the ffmpeg program found on PATH: a new FFmpeg makes new fixtures.
std::string FFmpegIdentity() {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    struct stat st {};
    if (!dir.empty() && stat((dir + "/ffmpeg").c_str(), &st) == 0)
      return dir + ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtime);
  }
  return "ffmpeg";
}

fs::path CacheDirectory() {
  const char* root = std::getenv("OXL_TEST_TMP");
  const fs::path dir = (root ? fs::path(root) : fs::temp_directory_path()) / "media-fixtures";
  fs::create_directories(dir);
  return dir;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path.string(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path.string(), std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string ReplacePrevious(std::string step, const std::string& previous) {
  const std::string mark = "{prev}";
  for (size_t at = step.find(mark); at != std::string::npos; at = step.find(mark, at))
    step.replace(at, mark.size(), ShellQuote(previous));
  return step;
}

// Runs the steps; the last writes `output`. Intermediate files are removed.
void MakeFixture(const std::vector<std::string>& steps, const fs::path& output, const std::string& scratchPrefix) {
  std::string previous;
  for (size_t i = 0; i < steps.size(); ++i) {
    const bool last = i + 1 == steps.size();
    const std::string target = last ? output.string() : scratchPrefix + ".step" + std::to_string(i);
    MakeMediaFixture(ReplacePrevious(steps[i], previous), target);
    if (!previous.empty()) fs::remove(previous);
    previous = target;
  }
}

struct CachePaths {
  fs::path dir, file, probe;
};

CachePaths PathsOf(const std::string& name, const std::vector<std::string>& steps) {
  std::string recipe = FFmpegIdentity();
  for (const auto& step : steps) recipe += "\n" + step;
  CachePaths paths;
  paths.dir = CacheDirectory();
  paths.file = paths.dir / (Hex(Fnv1a(recipe)) + "-" + name);
  paths.probe = paths.file.string() + ".probe";
  return paths;
}

// The probe text is written last: its presence means the fixture is whole.
void Make(const CachePaths& paths, const std::vector<std::string>& steps) {
  const std::string unique = "tmp-" + std::to_string(getpid()) + "-";
  const fs::path scratch = paths.dir / (unique + paths.file.filename().string());
  try {
    MakeFixture(steps, scratch, scratch.string());
  } catch (...) {
    boost::system::error_code ignored;
    fs::remove(scratch, ignored);
    throw;
  }
  fs::rename(scratch, paths.file);
  const fs::path probeScratch = paths.dir / (unique + paths.probe.filename().string());
  WriteText(probeScratch, ProbeFileText(paths.file.string(), true));
  fs::rename(probeScratch, paths.probe);
}

using Loaded = std::map<std::vector<std::string>, std::unique_ptr<MediaFixture>>;

// Fixtures parsed by this process, by recipe and name.
std::unique_ptr<MediaFixture>& Entry(const std::string& name, const std::vector<std::string>& steps) {
  static Loaded loaded;
  std::vector<std::string> key(steps);
  key.push_back(name);
  return loaded[key];
}

const MediaFixture* Find(const std::string& name, const std::vector<std::string>& steps, bool make) {
  std::unique_ptr<MediaFixture>& entry = Entry(name, steps);
  if (entry) return entry.get();
  const CachePaths paths = PathsOf(name, steps);
  if (!fs::exists(paths.probe)) {
    if (!make) return nullptr;
    Make(paths, steps);
  }
  entry = std::make_unique<MediaFixture>(MediaFixture{paths.file.string(), ParseProbeOutput(ReadText(paths.probe))});
  return entry.get();
}

}  // namespace

const MediaFixture& GetMediaFixture(const std::string& name, const std::vector<std::string>& steps) {
  return *Find(name, steps, true);
}

const MediaFixture* FindMediaFixture(const std::string& name, const std::vector<std::string>& steps) {
  return Find(name, steps, false);
}

}  // namespace oxltest
