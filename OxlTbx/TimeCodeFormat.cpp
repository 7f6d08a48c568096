#include "OxlTbx/TimeCodeFormat.h"

#include <cstdio>
#include <cstring>

namespace OxlTbx {
namespace {

constexpr unsigned int kDayFlag = 16;
constexpr unsigned int kNameFlag = 256;
constexpr unsigned int kNoDayFlag = 4096;

// Appends to a TimeCodeTextSize buffer, never past its end.
class TextWriter {
 public:
  explicit TextWriter(char* out) : m_Out(out) { m_Out[0] = '\0'; }

  void Char(char c) {
    if (m_Length + 1 >= TimeCodeTextSize) return;
    m_Out[m_Length++] = c;
    m_Out[m_Length] = '\0';
  }
  void Text(const char* text) {
    for (; *text; ++text) Char(*text);
  }
  // Decimal, zero-padded to `width` digits like "%0*u".
  void Number(unsigned long value, int width) {
    char digits[24];
    int n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    for (int i = n; i < width; ++i) Char('0');
    while (n > 0) Char(digits[--n]);
  }
  size_t Length() const { return m_Length; }

 private:
  char* m_Out;
  size_t m_Length = 0;
};

bool IsAcceptedFormat(unsigned int kind, unsigned int flags) {
  if (flags == 0) return (kind >= 1 && kind <= 7) || kind == 9;
  const bool knownFlags = flags == kDayFlag || flags == kNameFlag || flags == (kNameFlag | kDayFlag) ||
                          flags == kNoDayFlag;
  return knownFlags && kind >= 1 && kind <= 6;
}

void WriteClock(TextWriter& w, unsigned long hours, const TimeCodeParts& p) {
  w.Number(hours, 2);
  w.Char(':');
  w.Number(p.minutes, 2);
  w.Char(':');
  w.Number(p.seconds, 2);
}

}  // namespace

size_t FormatTimeCode(char* out, const TimeCodeParts& p, VideoSystem system, unsigned int format) {
  TextWriter w(out);
  unsigned int kind = format & 15;
  unsigned int flags = format & ~15u;
  if (!IsAcceptedFormat(kind, flags)) {
    kind = 2;
    flags = kNameFlag;
  }
  if (kind == 9) {
    w.Text(Sys_String[system]);
    return w.Length();
  }
  if (flags & kNameFlag) {
    w.Text(Sys_String[system]);
    w.Char(' ');
  }
  const bool ofDay = (flags & (kDayFlag | kNoDayFlag)) != 0;
  const unsigned long hours = ofDay ? p.hours : static_cast<unsigned long>(p.days) * 24 + p.hours;
  if (flags & kDayFlag) {
    w.Number(p.days, 2);
    if (kind != 4) w.Char('.');
  }
  const bool pairs = ToVideoSystem(system) >= VS_FieldPAL;
  const bool oddFrame = pairs ? (p.frames & 1) != 0 : p.secondField;
  const unsigned int shownFrame = pairs && kind != 7 ? p.frames / 2 : p.frames;
  switch (kind) {
    case 3:
      WriteClock(w, hours, p);
      break;
    case 4:
      w.Number((hours * 60 + p.minutes) * 60 + p.seconds, 6);
      w.Char('s');
      break;
    case 5:
      w.Number(hours, 2);
      w.Char('h');
      w.Number(p.minutes, 2);
      w.Char('m');
      break;
    default:  // 1, 2, 6, 7: the full timecode
      WriteClock(w, hours, p);
      w.Char(Format_Sep[system]);
      w.Number(shownFrame, 2);
      if (kind == 1) w.Char(oddFrame ? '*' : ' ');
      if (kind == 2) w.Char(pairs && oddFrame ? '.' : ' ');
      break;
  }
  return w.Length();
}

// Only a bounded copy is scanned, so text without a terminator is read no
// further than the size of a timecode text.
void ParseTimeCode(const char* text, VideoSystem system, TimeCodeParts& parts) {
  char copy[TimeCodeTextSize] = {};
  if (text) std::memcpy(copy, text, strnlen(text, TimeCodeTextSize - 1));
  unsigned int h = 0, m = 0, s = 0, f = 0;
  char separator = 0, trailing = 0;
  std::sscanf(copy, "%u:%u:%u%c%u%c", &h, &m, &s, &separator, &f, &trailing);
  if (ToVideoSystem(system) >= VS_FieldPAL) f = f * 2 + (trailing == '.' ? 1 : 0);
  parts = TimeCodeParts{};
  parts.hours = h;
  parts.minutes = m;
  parts.seconds = s;
  parts.frames = f;
}

}  // namespace OxlTbx
