#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace oxlprobe {
namespace {

constexpr auto kFirstDraw = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr int kWidth = 40;

}  // namespace

ProgressBar::ProgressBar(bool allowed, std::string label)
    : m_bEnabled(allowed && isatty(STDERR_FILENO) && isatty(STDOUT_FILENO)),
      m_Label(std::move(label)),
      m_Start(Clock::now()),
      m_LastDraw(m_Start) {}

ProgressBar::~ProgressBar() { Clear(); }

void ProgressBar::Update(double done, double total) {
  if (!m_bEnabled) return;
  const double fraction = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(fraction * kWidth);
  char percent[8];
  std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
  Draw(m_Label + " [" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " + percent);
}

void ProgressBar::Show(const std::string& text) {
  if (m_bEnabled) Draw(m_Label + ": " + text);
}

void ProgressBar::Draw(const std::string& line) {
  const Clock::time_point now = Clock::now();
  if (now - m_Start < kFirstDraw || now - m_LastDraw < kRedraw) return;
  m_LastDraw = now;
  std::fflush(stdout);  // lines already written land above the bar
  const size_t pad = m_LastWidth > line.size() ? m_LastWidth - line.size() : 0;
  std::fprintf(stderr, "\r%s%s", line.c_str(), std::string(pad, ' ').c_str());
  std::fflush(stderr);
  m_LastWidth = line.size();
  m_bVisible = true;
}

void ProgressBar::Clear() {
  if (!m_bVisible) return;
  std::fprintf(stderr, "\r%s\r", std::string(m_LastWidth, ' ').c_str());
  std::fflush(stderr);
  m_bVisible = false;
}

}  // namespace oxlprobe
