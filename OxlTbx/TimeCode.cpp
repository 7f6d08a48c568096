#include "OxlTbx/TimeCode.h"

#include <strings.h>

#include <exception>

#include "OxlTbx/Byter.h"
#include "OxlTbx/System.h"
#include "OxlTbx/TimeCodeConversions.h"

using OxlTbx::VideoSystem;

bool defaultTimeCodeDayWrapping = false;
bool CTimeCode::_dayWrap = defaultTimeCodeDayWrapping;
const CTimeCode CTimeCode::invalid;

namespace {

// Drop-frame counting skips this many fields at the start of a dropped minute.
constexpr unsigned long kDroppedFields = 4;

// Turns a drop-frame count within a day into the count of plain counting by
// putting back the fields skipped at the start of every dropped minute. Each
// pass may reach further minutes, so repeat until no minute is added.
unsigned long InsertDroppedFields(unsigned long count, unsigned long rate) {
  unsigned long added = 0;
  for (;;) {
    const unsigned long dropped = count / (rate * 60) - count / (rate * 600);
    if (dropped <= added) return count;
    count += (dropped - added) * kDroppedFields;
    added = dropped;
  }
}

// |n| without overflow for the most negative long.
unsigned long Magnitude(long n) {
  return n >= 0 ? static_cast<unsigned long>(n) : static_cast<unsigned long>(-(n + 1)) + 1;
}

}  // namespace

// --- Construction and state ---

CTimeCode::CTimeCode(const CTimeCode& other) { *this = other; }

CTimeCode::CTimeCode(unsigned long fields, VideoSystem system, int decimals)
    : m_qwFields(fields), m_System(fields == NoValue ? OxlTbx::VS_Invalid : OxlTbx::ToVideoSystem(system)) {
  m_qwFields = Wrapped(m_qwFields);
  InitDecimals(decimals);
}

CTimeCode::CTimeCode(unsigned short h, unsigned short m, unsigned short s, unsigned short f, bool secondField,
                     VideoSystem system, int decimals)
    : m_System(OxlTbx::ToVideoSystem(system)) {
  m_qwFields = Wrapped(CountOf(h, m, s, f, IsDropFrame()) + (secondField ? 1 : 0));
  InitDecimals(decimals);
}

CTimeCode& CTimeCode::operator=(const CTimeCode& other) {
  m_System = other.HasValue() ? other.m_System : OxlTbx::VS_Invalid;
  m_qwFields = Wrapped(other.m_qwFields);  // wraps by the day of the system just taken
  m_iDecimals = other.m_iDecimals;
  m_bUseDecimals = other.m_bUseDecimals;
  return *this;
}

void CTimeCode::SetSystem(VideoSystem system) { m_System = OxlTbx::ToVideoSystem(system); }

void CTimeCode::SetFields(unsigned long fields) {
  m_qwFields = fields;
  if (_dayWrap && fields != NoValue && fields > GetMaxField()) m_qwFields = fields % GetMaxField();
}

void CTimeCode::InitDecimals(int decimals) {
  if (decimals == -1) {
    UseDecimals(false);
    return;
  }
  m_bUseDecimals = true;
  SetDecimals(decimals);
}

void CTimeCode::SetDecimals(int decimals) {
  if (decimals < 0) decimals = 0;
  if (decimals > 99 && HasValue()) m_qwFields = Wrapped(m_qwFields + static_cast<unsigned long>(decimals / 100));
  m_iDecimals = decimals % 100;
}

void CTimeCode::UseDecimals(bool use) {
  m_bUseDecimals = use;
  if (!use) m_iDecimals = 0;
}

void CTimeCode::SetParity(bool secondField) {
  if (!HasValue()) return;
  const unsigned long fieldBit = GetFieldsPerFrame() / 2;
  m_qwFields = secondField ? (m_qwFields | fieldBit) : (m_qwFields & ~fieldBit);
}

bool CTimeCode::GetParity() const { return HasValue() && m_qwFields % GetFieldsPerFrame() != 0; }

unsigned long CTimeCode::GetFrames() const { return HasValue() ? m_qwFields / GetFieldsPerFrame() : NoValue; }

double CTimeCode::GetSecond() const {
  if (!HasValue()) return 0.0;
  const double fieldTime = GetFieldTime();
  return static_cast<double>(m_qwFields) * fieldTime + DecimalsOrZero() * fieldTime / 100.0;
}

unsigned int CTimeCode::GetFieldRate(VideoSystem system) { return OxlTbx::Field_Rate[system]; }

unsigned int CTimeCode::GetFrameRate(VideoSystem system) {
  return OxlTbx::Field_Rate[system] / OxlTbx::Fields_Frame[system];
}

double CTimeCode::GetFrameTime(VideoSystem system) { return OxlTbx::Frame_Time[system]; }

double CTimeCode::GetFieldTime(VideoSystem system) { return OxlTbx::Field_Time[system]; }

unsigned long CTimeCode::GetMaxField(VideoSystem system) { return OxlTbx::Max_Fields[system]; }

unsigned long CTimeCode::GetMaxFrame(VideoSystem system) {
  return OxlTbx::Max_Fields[system] / OxlTbx::Fields_Frame[system];
}

unsigned int CTimeCode::GetFieldsPerFrame(VideoSystem system) { return OxlTbx::Fields_Frame[system]; }

bool CTimeCode::IsDropFrame(VideoSystem system) { return OxlTbx::Drop_Frame[system]; }

void CTimeCode::SetToSystemTime() { throw std::exception(); }

void CTimeCode::SetToLocalTime() { throw std::exception(); }

unsigned long CTimeCode::CountOf(unsigned long h, unsigned long m, unsigned long s, unsigned long f,
                                 bool drop) const {
  const unsigned long rate = GetFieldRate();
  unsigned long count = (s + m * 60 + h * 3600) * rate + f * GetFieldsPerFrame();
  if (!drop) return count;
  // 54 dropped minutes per hour; (9m + 9) / 10 dropped minutes before minute m.
  count -= (h * 54 + (m * 9 + 9) / 10) * kDroppedFields;
  // A frame number skipped at the start of a dropped minute (0 or 1) is moved
  // on by (2 - f) x 2 fields. The 59.94 systems take the same correction in
  // fields, so that their counts agree with every other reader of this
  // timecode form; frame 0 still lands on the first frame that exists.
  if (m % 10 != 0 && s == 0 && f < 2) count += (2 - f) * 2;
  return count;
}

unsigned long CTimeCode::Wrapped(unsigned long count) const {
  if (!_dayWrap || count == NoValue || count < GetMaxField()) return count;
  return count % GetMaxField();
}

// --- Parts, text and packed forms ---

void CTimeCode::SetHMSF(unsigned short h, unsigned short m, unsigned short s, unsigned short f) {
  m_qwFields = Wrapped(CountOf(h, m, s, f, IsDropFrame()));
}

void CTimeCode::SetDHMSF(unsigned short d, unsigned short h, unsigned short m, unsigned short s,
                         unsigned short f) {
  m_qwFields = Wrapped(CountOf(static_cast<unsigned long>(d) * 24 + h, m, s, f, IsDropFrame()));
}

bool CTimeCode::GetHMSF(unsigned short& h, unsigned short& m, unsigned short& s, unsigned short& f) const {
  unsigned short d = 0;
  const bool ok = GetDHMSF(d, h, m, s, f);
  h = static_cast<unsigned short>(d * 24 + h);
  return ok;
}

bool CTimeCode::GetDHMSF(unsigned short& d, unsigned short& h, unsigned short& m, unsigned short& s,
                         unsigned short& f) const {
  d = h = m = s = f = 0;
  if (!IsValid() || !HasValue()) return false;
  const unsigned long rate = GetFieldRate();
  const unsigned long perDay = GetMaxField();
  unsigned long rest = m_qwFields & 0xFFFFFFFFul;
  unsigned long days = rest / perDay;
  rest %= perDay;
  if (IsDropFrame()) rest = InsertDroppedFields(rest, rate);
  unsigned long hours = rest / (3600 * rate);
  rest %= 3600 * rate;
  days += hours / 24;
  hours %= 24;
  d = static_cast<unsigned short>(days);
  h = static_cast<unsigned short>(hours);
  m = static_cast<unsigned short>(rest / (60 * rate));
  rest %= 60 * rate;
  s = static_cast<unsigned short>(rest / rate);
  f = static_cast<unsigned short>(rest % rate / GetFieldsPerFrame());
  return true;
}

bool CTimeCode::GetStr(char* out, unsigned int format) const {
  unsigned short d, h, m, s, f;
  if (!out || !GetDHMSF(d, h, m, s, f)) return false;
  OxlTbx::TimeCodeParts parts;
  parts.days = d;
  parts.hours = h;
  parts.minutes = m;
  parts.seconds = s;
  parts.frames = f;
  parts.secondField = GetParity();
  OxlTbx::FormatTimeCode(out, parts, m_System, format);
  return true;
}

const char* CTimeCode::GetStr(unsigned int format) const {
  m_szText[0] = '\0';
  GetStr(m_szText, format);
  return m_szText;
}

bool CTimeCode::SetStr(const char* text, unsigned int format) {
  if (format == 9) {
    if (!text) return false;
    for (uint32_t system = 0; system < OxlTbx::VideoSystemCount; ++system) {
      if (strcasecmp(text, OxlTbx::Sys_String[system]) == 0) {
        m_System = static_cast<VideoSystem>(system);
        return true;
      }
    }
    m_System = OxlTbx::VS_Invalid;
    return false;
  }
  if (format != 2 || !text) return false;
  OxlTbx::TimeCodeParts parts;
  OxlTbx::ParseTimeCode(text, m_System, parts);
  SetHMSF(static_cast<unsigned short>(parts.hours), static_cast<unsigned short>(parts.minutes),
          static_cast<unsigned short>(parts.seconds), static_cast<unsigned short>(parts.frames));
  return true;
}

void CTimeCode::ConvertToSystem(VideoSystem system) {
  if (m_System == OxlTbx::VS_Invalid) {
    m_System = OxlTbx::ToVideoSystem(system);
    return;
  }
  if (system == m_System) return;
  unsigned short h, m, s, f;
  if (m_qwFields == 0 || !GetHMSF(h, m, s, f)) {
    SetSystem(system);
    return;
  }
  const unsigned int oldPerFrame = GetFieldsPerFrame();
  SetSystem(system);
  const unsigned int newPerFrame = GetFieldsPerFrame();
  if (oldPerFrame != newPerFrame) f = static_cast<unsigned short>(f * oldPerFrame / newPerFrame);
  SetHMSF(h, m, s, f);
}

unsigned int CTimeCode::GetSMPTE() const {
  unsigned short h, m, s, f;
  GetHMSF(h, m, s, f);
  return OxlTbx::PackSmpte(h, m, s, f);
}

void CTimeCode::SetSMPTE(unsigned int smpte) {
  unsigned int h, m, s, f;
  OxlTbx::UnpackSmpte(smpte, h, m, s, f);
  SetHMSF(static_cast<unsigned short>(h), static_cast<unsigned short>(m), static_cast<unsigned short>(s),
          static_cast<unsigned short>(f));
}

bool CTimeCode::EncodeTo(unsigned char* p) const {
  unsigned short h, m, s, f;
  if (!p || !GetHMSF(h, m, s, f)) return false;
  p[0] = static_cast<unsigned char>((IsDropFrame() ? 0x80 : 0) | (h & 0x1F) << 2 | (m >> 4 & 0x03));
  p[1] = static_cast<unsigned char>((m & 0x0F) << 4 | 0x08 | (s >> 3 & 0x07));
  p[2] = static_cast<unsigned char>((s & 0x07) << 5 | (f >> 1 & 0x1F));
  p[3] = static_cast<unsigned char>((p[3] & 0x7F) | (f & 1) << 7);
  return true;
}

bool CTimeCode::DecodeFrom(const unsigned char* p) {
  if (!p) return false;
  const unsigned long h = CByter::SubBitsValue(p, 2, 6);
  const unsigned long m = CByter::SubBitsValue(p, 7, 12);
  const unsigned long s = CByter::SubBitsValue(p + 1, 6, 11);
  const unsigned long f = CByter::SubBitsValue(p + 2, 4, 9);
  m_qwFields = CountOf(h, m, s, f, IsDropFrame() && (p[0] & 0x80) != 0);
  return true;
}

// --- Arithmetic ---

void CTimeCode::AddFields(unsigned long n) {
  if (HasValue()) m_qwFields = Wrapped(m_qwFields + n);
}

void CTimeCode::SubtractFields(unsigned long n) {
  if (!HasValue()) return;
  if (m_qwFields < n) {
    const unsigned long day = GetMaxField();
    m_qwFields += (n - m_qwFields + day - 1) / day * day;
  }
  m_qwFields -= n;
}

CTimeCode& CTimeCode::operator+=(long fields) {
  fields >= 0 ? AddFields(Magnitude(fields)) : SubtractFields(Magnitude(fields));
  return *this;
}

CTimeCode& CTimeCode::operator-=(long fields) {
  fields >= 0 ? SubtractFields(Magnitude(fields)) : AddFields(Magnitude(fields));
  return *this;
}

CTimeCode CTimeCode::operator+(long fields) const { return CTimeCode(*this) += fields; }

CTimeCode CTimeCode::operator-(long fields) const { return CTimeCode(*this) -= fields; }

CTimeCode& CTimeCode::operator++() {
  AddFields(GetFieldsPerFrame());
  return *this;
}

CTimeCode& CTimeCode::operator--() {
  SubtractFields(GetFieldsPerFrame());
  return *this;
}

CTimeCode CTimeCode::operator++(int) {
  CTimeCode before(*this);
  ++*this;
  return before;
}

CTimeCode CTimeCode::operator--(int) {
  CTimeCode before(*this);
  --*this;
  return before;
}

void CTimeCode::MakeInvalid() {
  m_qwFields = NoValue;
  m_System = OxlTbx::VS_Invalid;
  UseDecimals(false);
}

void CTimeCode::Combine(const CTimeCode& b, bool add, bool withDecimals) {
  if (b == invalid || !HasValue() || !b.HasValue()) {
    MakeInvalid();
    return;
  }
  unsigned long fields = b.m_qwFields;
  if (add) {
    if (withDecimals) {
      const int hundredths = DecimalsOrZero() + b.DecimalsOrZero();
      m_bUseDecimals = true;
      m_iDecimals = hundredths % 100;
      fields += static_cast<unsigned long>(hundredths / 100);
    }
    AddFields(fields);
    return;
  }
  if (withDecimals) {
    int hundredths = DecimalsOrZero() - b.DecimalsOrZero();
    if (hundredths < 0) {
      hundredths += 100;
      ++fields;
    }
    m_iDecimals = hundredths;
  }
  SubtractFields(fields);
}

CTimeCode CTimeCode::operator+(const CTimeCode& b) const {
  CTimeCode sum(*this);
  sum.Combine(b, true, m_bUseDecimals || b.m_bUseDecimals);
  return sum;
}

CTimeCode CTimeCode::operator-(const CTimeCode& b) const {
  CTimeCode difference(*this);
  difference.Combine(b, false, m_bUseDecimals);
  return difference;
}

CTimeCode& CTimeCode::operator+=(const CTimeCode& b) {
  Combine(b, true, m_bUseDecimals && b.m_bUseDecimals);
  return *this;
}

CTimeCode& CTimeCode::operator-=(const CTimeCode& b) {
  Combine(b, false, m_bUseDecimals && b.m_bUseDecimals);
  return *this;
}

// --- Comparison ---

bool CTimeCode::Comparable(const CTimeCode& b) const { return CSystem(m_System).IsVideoSystemCompatible(b.m_System); }

int CTimeCode::Order(const CTimeCode& b) const {
  if (m_qwFields != b.m_qwFields) return m_qwFields < b.m_qwFields ? -1 : 1;
  if (!m_bUseDecimals || !b.m_bUseDecimals || m_iDecimals == b.m_iDecimals) return 0;
  return m_iDecimals < b.m_iDecimals ? -1 : 1;
}

bool CTimeCode::operator<(const CTimeCode& b) const { return Comparable(b) && Order(b) < 0; }

bool CTimeCode::operator>(const CTimeCode& b) const { return Comparable(b) && Order(b) > 0; }

bool CTimeCode::operator<=(const CTimeCode& b) const { return Comparable(b) && Order(b) <= 0; }

bool CTimeCode::operator>=(const CTimeCode& b) const { return Comparable(b) && Order(b) >= 0; }

bool CTimeCode::operator==(const CTimeCode& b) const { return Comparable(b) && Order(b) == 0; }

bool CTimeCode::operator!=(const CTimeCode& b) const { return !(*this == b); }

unsigned long CTimeCode::FieldsTill(const CTimeCode& b) const {
  if (!Comparable(b) || !HasValue() || !b.HasValue()) return NoValue;
  if (b.m_qwFields >= m_qwFields) return b.m_qwFields - m_qwFields;
  return b.m_qwFields + GetMaxField() - m_qwFields;
}

unsigned long CTimeCode::FramesTill(const CTimeCode& b) const {
  const unsigned long fields = FieldsTill(b);
  return fields == NoValue ? NoValue : fields / GetFieldsPerFrame();
}
