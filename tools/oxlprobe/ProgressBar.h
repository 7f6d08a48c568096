#pragma once
// A progress bar on standard error for long walks, drawn only when both
// standard error and standard output are terminals (never into a pipe or a
// file), and only once a run has lasted long enough to need one.
#include <chrono>
#include <string>

namespace oxlprobe {

class ProgressBar {
 public:
  // `allowed` false (JSON output) keeps the bar hidden whatever the terminals.
  ProgressBar(bool allowed, std::string label);
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // `done` of `total` (any unit). Redraws at most ten times a second, from
  // half a second after construction on.
  void Update(double done, double total);
  // Erases the bar, so that a line written to the terminal next is not mixed
  // with it; the next Update draws it again.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;

  bool m_bEnabled;
  bool m_bVisible = false;
  std::string m_Label;
  Clock::time_point m_Start;
  Clock::time_point m_LastDraw;
};

}  // namespace oxlprobe
