#include "OxlTbx/TimeCodeFormat.h"

#include <cctype>
#include <cstring>

namespace OxlTbx {
namespace {

constexpr unsigned int kDayFlag = 16;
constexpr unsigned int kNameFlag = 256;
constexpr unsigned int kNoDayFlag = 4096;
constexpr unsigned int kMaxHours = 65535;

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

namespace {

// Reads a C string no further than its terminator.
class TextReader {
 public:
  TextReader(const char* begin, const char* end) : m_Pos(begin), m_End(end) {}

  bool AtEnd() const { return m_Pos == m_End; }
  char Peek() const { return AtEnd() ? '\0' : *m_Pos; }
  void Skip() { ++m_Pos; }
  void SkipBlanks() {
    while (!AtEnd() && std::isspace(static_cast<unsigned char>(*m_Pos))) ++m_Pos;
  }
  // Unsigned decimal after optional blanks; false without digits or above max.
  bool Number(unsigned int max, unsigned int& value) {
    SkipBlanks();
    if (AtEnd() || !std::isdigit(static_cast<unsigned char>(*m_Pos))) return false;
    unsigned long v = 0;
    for (; !AtEnd() && std::isdigit(static_cast<unsigned char>(*m_Pos)); ++m_Pos) {
      v = v * 10 + static_cast<unsigned long>(*m_Pos - '0');
      if (v > max) return false;
    }
    value = static_cast<unsigned int>(v);
    return true;
  }
  // Takes the next character when it is one of `accepted`.
  bool Take(const char* accepted) {
    if (AtEnd() || !std::strchr(accepted, *m_Pos)) return false;
    ++m_Pos;
    return true;
  }

 private:
  const char* m_Pos;
  const char* m_End;
};

}  // namespace

bool ParseTimeCode(const char* text, VideoSystem system, TimeCodeParts& parts) {
  if (!text) return false;
  const size_t length = strnlen(text, TimeCodeTextSize);
  if (length >= TimeCodeTextSize) return false;
  const char* end = text + length;
  while (end != text && std::isspace(static_cast<unsigned char>(end[-1]))) --end;  // trailing blanks mean nothing

  static const unsigned int kMax[4] = {kMaxHours, 59, 59, 999};
  static const char* const kSeparators[4] = {"", ":", ":", ":;.,"};
  unsigned int value[4] = {0, 0, 0, 0};
  TextReader in(text, end);
  if (!in.Number(kMax[0], value[0])) return false;
  int part = 1;
  for (; part < 4 && !in.AtEnd(); ++part) {
    if (!in.Take(kSeparators[part])) return false;
    if (in.AtEnd()) break;
    if (!in.Number(kMax[part], value[part])) return false;
  }
  const char trailing = in.Peek();
  if (part == 4 && !in.AtEnd()) {
    if (!in.Take("*.")) return false;
  }
  if (!in.AtEnd()) return false;

  unsigned int frames = value[3];
  if (ToVideoSystem(system) >= VS_FieldPAL) frames = frames * 2 + (trailing == '.' ? 1 : 0);
  if (frames >= Field_Rate[system] / Fields_Frame[system]) return false;
  parts = TimeCodeParts{};
  parts.hours = value[0];
  parts.minutes = value[1];
  parts.seconds = value[2];
  parts.frames = frames;
  return true;
}

}  // namespace OxlTbx
