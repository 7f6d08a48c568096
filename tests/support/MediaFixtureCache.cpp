#include "support/MediaFixtureCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "support/GrowingFile.h"

namespace fs = boost::filesystem;

namespace oxltest {
namespace {

// FNV-1a of the recipe and of the size and time of the ffmpeg found on PATH:
// stable from one run to the next, and new for a new recipe or FFmpeg.
std::string RecipeHash(const std::vector<std::string>& steps) {
  std::string recipe = "ffmpeg";
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    struct stat st {};
    if (!dir.empty() && stat((dir + "/ffmpeg").c_str(), &st) == 0) {
      recipe = dir + ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtime);
      break;
    }
  }
  for (const auto& step : steps) recipe += "\n" + step;
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : recipe) h = (h ^ c) * 1099511628211ull;
  std::ostringstream s;
  s << std::hex << h;
  return s.str();
}

// Runs the steps ("{prev}" standing for the previous output); the last
// writes `output`. The probe text is written last, so its presence means the
// fixture is whole; both are renamed into place from names of this process.
void Make(const std::vector<std::string>& steps, const fs::path& file, const fs::path& probe) {
  const std::string unique = "tmp-" + std::to_string(getpid()) + "-";
  const fs::path scratch = file.parent_path() / (unique + file.filename().string());
  std::string previous;
  try {
    for (size_t i = 0; i < steps.size(); ++i) {
      const std::string target = i + 1 == steps.size() ? scratch.string() : scratch.string() + ".step" + std::to_string(i);
      std::string step = steps[i];
      for (size_t at = step.find("{prev}"); at != std::string::npos; at = step.find("{prev}", at))
        step.replace(at, 6, ShellQuote(previous));
      MakeMediaFixture(step, target);
      if (!previous.empty()) fs::remove(previous);
      previous = target;
    }
  } catch (...) {
    boost::system::error_code ignored;
    fs::remove(scratch, ignored);
    throw;
  }
  fs::rename(scratch, file);
  const fs::path probeScratch = file.parent_path() / (unique + probe.filename().string());
  std::ofstream(probeScratch.string(), std::ios::binary) << ProbeFileText(file.string(), true);
  fs::rename(probeScratch, probe);
}

const MediaFixture* Find(const std::string& name, const std::vector<std::string>& steps, bool make) {
  static std::map<std::vector<std::string>, std::unique_ptr<MediaFixture>> loaded;  // by recipe and name
  std::vector<std::string> key(steps);
  key.push_back(name);
  std::unique_ptr<MediaFixture>& entry = loaded[key];
  if (entry) return entry.get();
  const char* root = std::getenv("OXL_TEST_TMP");
  const fs::path dir = (root ? fs::path(root) : fs::temp_directory_path()) / "media-fixtures";
  fs::create_directories(dir);
  const fs::path file = dir / (RecipeHash(steps) + "-" + name), probe = file.string() + ".probe";
  if (!fs::exists(probe)) {
    if (!make) return nullptr;
    Make(steps, file, probe);
  }
  entry = std::make_unique<MediaFixture>(MediaFixture{file.string(), ParseProbeOutput(ReadWholeFile(probe.string()))});
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
