#pragma once
// Broadcast timecode: a count of fields since midnight in one video system,
// with optional hundredths of a field.
//
// Counting: a frame is Fields_Frame fields (one in the progressive systems 6,
// 7 and 8). Timecode h:m:s:f is (h x 3600 + m x 60 + s) x Field_Rate +
// f x Fields_Frame fields; in the drop-frame systems (NTSC Drop, Field-NTSC
// Drop) four fields are skipped at the start of every minute that is not a
// multiple of ten (frames 00 and 01 at 29.97, frames 00 to 03 at 59.94), so a
// day holds 2589408 frames of 29.97.
//
// Day wrapping (off by default, process-wide): when on, operations that set or
// grow the count reduce it modulo the fields of a day; when off, a count may
// pass a day and its text shows hours from 24 on.
//
// A timecode "without value" holds the count NoValue; it is invalid (system 0)
// when built that way. Arithmetic by a field count leaves it without value,
// arithmetic with it gives an invalid timecode, and its text, packed and time
// forms give nothing (false, empty text, 0).
#include <cstdint>

#include "OxlTbx/TimeCodeFormat.h"
#include "OxlTbx/VideoSystem.h"

// Initial value of CTimeCode::_dayWrap.
extern bool defaultTimeCodeDayWrapping;

class CTimeCode {
 public:
  static constexpr unsigned long NoValue = ~0UL;

  // No value, system 0.
  static const CTimeCode invalid;
  // Day wrapping for all timecodes; see UseDayWrapping.
  static bool _dayWrap;

  constexpr CTimeCode() noexcept = default;
  // Copies; a source without value gives system 0; with day wrapping a count
  // of a day or more is reduced modulo the day.
  CTimeCode(const CTimeCode& other);
  // A system outside 1..9 and a count NoValue give system 0; with day wrapping
  // a count of a day or more is reduced. decimals as in InitDecimals.
  CTimeCode(unsigned long fields, OxlTbx::VideoSystem system, int decimals = -1);
  // Timecode h:m:s:f as SetHMSF counts it, one field later when secondField
  // (in the progressive systems that is the next frame).
  CTimeCode(unsigned short h, unsigned short m, unsigned short s, unsigned short f, bool secondField,
            OxlTbx::VideoSystem system, int decimals = -1);
  virtual ~CTimeCode() = default;

  // Same rules as the copy constructor.
  CTimeCode& operator=(const CTimeCode& other);

  static void UseDayWrapping(bool on) { _dayWrap = on; }
  static bool IsDayWrapped() { return _dayWrap; }

  // --- State ---
  bool IsValid() const { return m_System != OxlTbx::VS_Invalid; }
  bool HasValue() const { return m_qwFields != NoValue; }
  OxlTbx::VideoSystem GetSystem() const { return m_System; }
  // A system outside 1..9 becomes 0; the count is kept.
  void SetSystem(OxlTbx::VideoSystem system);
  unsigned long GetFields() const { return m_qwFields; }
  // With day wrapping, a count above (not at) a day is reduced modulo the day;
  // NoValue is kept as it is.
  void SetFields(unsigned long fields);

  // -1 switches decimals off (and clears them); any other value switches them
  // on and is set with SetDecimals.
  void InitDecimals(int decimals);
  // Negative gives 0; from 100 on the whole hundreds are added to the count.
  void SetDecimals(int decimals);
  // Switching off clears the decimals.
  void UseDecimals(bool use);
  bool IsUsingDecimals() const { return m_bUseDecimals; }
  int GetDecimals() const { return m_iDecimals; }

  // Selects the first or second field of the current frame; no effect in the
  // progressive systems.
  void SetParity(bool secondField);
  // True when the count is not on a frame boundary.
  bool GetParity() const;

  // NoValue without value.
  unsigned long GetFrames() const;
  // Real time since midnight in seconds (0 without value).
  double GetSecond() const;

  // Constants of the own system, and of any system (outside 1..9: system 0).
  unsigned int GetFieldRate() const { return GetFieldRate(m_System); }
  unsigned int GetFrameRate() const { return GetFrameRate(m_System); }
  double GetFrameTime() const { return GetFrameTime(m_System); }
  double GetFieldTime() const { return GetFieldTime(m_System); }
  unsigned long GetMaxField() const { return GetMaxField(m_System); }
  unsigned long GetMaxFrame() const { return GetMaxFrame(m_System); }
  unsigned int GetFieldsPerFrame() const { return GetFieldsPerFrame(m_System); }
  bool IsDropFrame() const { return IsDropFrame(m_System); }
  static unsigned int GetFieldRate(OxlTbx::VideoSystem system);
  static unsigned int GetFrameRate(OxlTbx::VideoSystem system);
  static double GetFrameTime(OxlTbx::VideoSystem system);
  static double GetFieldTime(OxlTbx::VideoSystem system);
  static unsigned long GetMaxField(OxlTbx::VideoSystem system);
  static unsigned long GetMaxFrame(OxlTbx::VideoSystem system);
  static unsigned int GetFieldsPerFrame(OxlTbx::VideoSystem system);
  static bool IsDropFrame(OxlTbx::VideoSystem system);

  // Not available on this platform: both throw std::exception.
  void SetToSystemTime();
  void SetToLocalTime();

  // --- Parts, text and packed forms ---
  // Sets the count of h:m:s:f (frames of the system: fields in the
  // progressive systems). Frame numbers skipped at the start of a drop-frame
  // minute give the first frame that exists: 00:01:00;00 and ;01 are ;02, and
  // at 59.94 all four skipped fields (pairs 00 and 01, either frame) give the
  // first field of pair 02.
  void SetHMSF(unsigned short h, unsigned short m, unsigned short s, unsigned short f);
  // Hours = d x 24 + h.
  void SetDHMSF(unsigned short d, unsigned short h, unsigned short m, unsigned short s, unsigned short f);
  // False (and all zero) for system 0 or without value. Hours include whole
  // days; only the low 32 bits of the count are read.
  bool GetHMSF(unsigned short& h, unsigned short& m, unsigned short& s, unsigned short& f) const;
  bool GetDHMSF(unsigned short& d, unsigned short& h, unsigned short& m, unsigned short& s,
                unsigned short& f) const;

  // Writes the text of `format` (see FormatTimeCode) into out, which must hold
  // OxlTbx::TimeCodeTextSize bytes. Writes nothing and returns false for system
  // 0 or without value.
  bool GetStr(char* out, unsigned int format) const;
  // The same into the timecode's own buffer, which it returns; the text is
  // empty when nothing could be written.
  const char* GetStr(unsigned int format) const;
  // Format 2 reads "h:m:s;f" text as sscanf does (see ParseTimeCode: missing
  // parts count as 0, nothing is refused) and sets the count; format 9 sets
  // the system whose name equals the text ignoring case, or 0 when none does.
  // Returns false, changing nothing, for null text or another format; format
  // 9 returns false when no name matches.
  bool SetStr(const char* text, unsigned int format);

  // Re-expresses the same time of day in another system. From system 0 it
  // only takes a known system. Otherwise h:m:s:f is kept with the frames
  // scaled between one and two fields per frame; a second field is lost.
  void ConvertToSystem(OxlTbx::VideoSystem system);

  // BCD word hh mm ss ff (hours modulo 100); 0 without value.
  unsigned int GetSMPTE() const;
  void SetSMPTE(unsigned int smpte);

  // Four bytes: drop flag, 5-bit hours, 6-bit minutes, seconds and frames;
  // bits 6-0 of p[3] are kept. False (nothing written) for a null pointer, system 0
  // or without value.
  bool EncodeTo(unsigned char* p) const;
  // Reads the four bytes; the drop-frame correction applies only when the
  // system is drop-frame and the drop flag is set. No day wrapping. False for
  // a null pointer.
  bool DecodeFrom(const unsigned char* p);

  // --- Arithmetic by a field count ---
  // Adding wraps with day wrapping; subtracting more than the count first adds
  // whole days.
  CTimeCode& operator+=(long fields);
  CTimeCode& operator-=(long fields);
  CTimeCode operator+(long fields) const;
  CTimeCode operator-(long fields) const;
  // One frame on or back.
  CTimeCode& operator++();
  CTimeCode& operator--();
  CTimeCode operator++(int);
  CTimeCode operator--(int);

  // --- Arithmetic by a timecode ---
  // b equal to `invalid` (or either side without value) gives an invalid
  // result. a + b keeps a's system and uses decimals when either side does;
  // a - b adds whole days when b is larger and handles decimals when a uses
  // them; += and -= handle decimals only when both sides use them.
  CTimeCode operator+(const CTimeCode& b) const;
  CTimeCode operator-(const CTimeCode& b) const;
  CTimeCode& operator+=(const CTimeCode& b);
  CTimeCode& operator-=(const CTimeCode& b);

  // Timecodes of incompatible systems (see CSystem) are neither equal nor
  // ordered. Equal counts are ordered by decimals only when both use them.
  bool operator<(const CTimeCode& b) const;
  bool operator>(const CTimeCode& b) const;
  bool operator<=(const CTimeCode& b) const;
  bool operator>=(const CTimeCode& b) const;
  bool operator==(const CTimeCode& b) const;
  bool operator!=(const CTimeCode& b) const;

  // Frames and fields from this timecode on to b, across midnight when b is
  // earlier; NoValue for incompatible systems or without value.
  unsigned long FramesTill(const CTimeCode& b) const;
  unsigned long FieldsTill(const CTimeCode& b) const;

 protected:
  unsigned long m_qwFields = NoValue;
  int m_iDecimals = 0;
  OxlTbx::VideoSystem m_System = OxlTbx::VS_Invalid;
  bool m_bUseDecimals = false;
  mutable char m_szText[OxlTbx::TimeCodeTextSize] = {};

 private:
  // Count of h:m:s:f in the own system, with or without the drop-frame skip.
  unsigned long CountOf(unsigned long h, unsigned long m, unsigned long s, unsigned long f, bool drop) const;
  // count reduced modulo a day when day wrapping is on and it is a day or more.
  unsigned long Wrapped(unsigned long count) const;
  void AddFields(unsigned long n);
  void SubtractFields(unsigned long n);
  // This timecode plus or minus b; withDecimals says whether hundredths count.
  void Combine(const CTimeCode& b, bool add, bool withDecimals);
  int DecimalsOrZero() const { return m_bUseDecimals ? m_iDecimals : 0; }
  bool Comparable(const CTimeCode& b) const;
  // -1, 0 or 1 for comparable timecodes.
  int Order(const CTimeCode& b) const;
  void MakeInvalid();
};
