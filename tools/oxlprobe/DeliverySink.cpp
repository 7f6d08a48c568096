#include "DeliverySink.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace oxlprobe {
namespace {

// How often --follow looks at the file's size while it waits.
constexpr auto kFollowPoll = std::chrono::milliseconds(100);

std::vector<RecordOutput::Column> RecordColumns(const ProbeOptions& options,
                                                const std::vector<RecordOutput::Column>& columns) {
  std::vector<RecordOutput::Column> all = {{"index", 8}};
  all.insert(all.end(), columns.begin(), columns.end());
  if (options.md5) all.push_back({"md5", 32});
  return all;
}

}  // namespace

DeliverySink::DeliverySink(const ProbeOptions& options, const MovieFile& file,
                           const std::vector<RecordOutput::Column>& columns)
    : m_Bar(!options.json && options.extract.value_or("") != "-", options.extract ? "extract" : "read"),
      m_Output(options.json, RecordColumns(options, columns), &m_Bar),
      m_bListed(options.listDeliveries || options.mode == ProbeMode::Samples),
      m_bMd5(options.md5) {
  if (options.extract) m_Extract.reset(new ExtractOutput(*options.extract, file));
}

void DeliverySink::WaitForGrowth(double seconds, const std::function<uint64_t()>& size,
                                 const std::function<bool()>& grown) {
  using Clock = std::chrono::steady_clock;
  uint64_t last = size();
  Clock::time_point changed = Clock::now();
  for (;;) {
    Flush();
    const double waited = std::chrono::duration<double>(Clock::now() - changed).count();
    char text[96];
    std::snprintf(text, sizeof text, "%llu deliveries, waited %.1f s of %.1f s",
                  static_cast<unsigned long long>(m_qwCount), waited, seconds);
    m_Bar.Show(text);
    if (waited >= seconds) break;
    std::this_thread::sleep_for(kFollowPoll);
    const uint64_t now = size();
    if (now == last) continue;
    last = now;
    changed = Clock::now();
    if (grown()) break;
  }
  m_Bar.Clear();
}

void DeliverySink::Flush() {
  std::fflush(stdout);
  if (m_Extract) m_Extract->Finish();
}

void DeliverySink::Finish() {
  m_Bar.Clear();
  if (m_Extract) m_Extract->Finish();
}

uint64_t FileSizeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace oxlprobe
