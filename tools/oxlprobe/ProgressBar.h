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
  // A line of text in place of the bar (e.g. while waiting for a growing
  // file), drawn under the same rules.
  void Show(const std::string& text);
  // Erases the bar, so that a line written to the terminal next is not mixed
  // with it; the next Update draws it again.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;

  bool m_bEnabled;
  // Draws `line` over the last one when it is time to redraw.
  void Draw(const std::string& line);

  bool m_bVisible = false;
  size_t m_LastWidth = 0;
  std::string m_Label;
  Clock::time_point m_Start;
  Clock::time_point m_LastDraw;
};

}  // namespace oxlprobe
