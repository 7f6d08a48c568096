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
  const Clock::time_point now = Clock::now();
  if (now - m_Start < kFirstDraw || now - m_LastDraw < kRedraw) return;
  m_LastDraw = now;
  const double fraction = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0.0;
  const int filled = static_cast<int>(fraction * kWidth);
  std::fflush(stdout);  // lines already written land above the bar
  std::fprintf(stderr, "\r%s [%s%s] %3d%%", m_Label.c_str(), std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '.').c_str(), static_cast<int>(fraction * 100));
  std::fflush(stderr);
  m_bVisible = true;
}

void ProgressBar::Clear() {
  if (!m_bVisible) return;
  std::fprintf(stderr, "\r%s\r", std::string(m_Label.size() + kWidth + 8, ' ').c_str());
  std::fflush(stderr);
  m_bVisible = false;
}

}  // namespace oxlprobe
