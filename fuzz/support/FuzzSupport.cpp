#include "FuzzSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <set>
#include <typeinfo>

#include "qelCore/Logger.h"

namespace {
class NullWriter : public qel::ILoggerWriter {
 public:
  void Write(qel::LogLevel, const std::string&, const std::string&, const std::string&, const std::string&,
             const std::string&, const std::string&, const std::string&) override {}
};
}  // namespace

void oxlfuzz::SilenceLogging() {
  static bool done = false;
  if (done) return;
  qel::SetCurrentLoggerWriter(std::make_shared<NullWriter>());
  done = true;
}

namespace {
// The folder and the names written in it, removed when the process ends normally.
struct InputFolder {
  std::string dir = "/dev/shm/oxlfuzz-" + std::to_string(getpid());
  std::set<std::string> paths;
  InputFolder() { mkdir(dir.c_str(), 0700); }
  ~InputFolder() {
    for (const std::string& path : paths) std::remove(path.c_str());
    rmdir(dir.c_str());
  }
};
}  // namespace

std::string oxlfuzz::WriteInputFile(const uint8_t* data, size_t size, const std::string& name) {
  static InputFolder folder;
  const std::string path = folder.dir + "/" + name;
  folder.paths.insert(path);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
  return path;
}

void oxlfuzz::Undocumented(const char* operation, const std::exception* e) {
  std::fprintf(stderr, "==oxlfuzz== undocumented exception from %s: %s%s%s\n", operation,
               e ? typeid(*e).name() : "(not a std::exception)", e ? ": " : "", e ? e->what() : "");
  std::abort();
}

// Refused allocations are part of what the library must handle (as in the
// test programs), but libFuzzer's -malloc_limit_mb still reports any single
// request above the limit; UBSan findings stop the run with a stack.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }
