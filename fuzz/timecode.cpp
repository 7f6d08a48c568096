// Timecode: text in every system and format, parsing text back, packed
// forms (BCD words, the four-byte encoding), and the conversions to and
// from seconds, milliseconds and byte counts.
#include <cstring>
#include <string>

#include "OxlTbx/TimeCode.h"
#include "OxlTbx/TimeCodeConversions.h"
#include "support/FuzzSupport.h"

namespace {

const unsigned int kFormats[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 17, 18, 19, 20, 21, 22, 257, 262, 273, 278, 4097,
                                 4102, 0xFFFF, 0xFFFFFFFF};

void Texts(const CTimeCode& tc) {
  char text[OxlTbx::TimeCodeTextSize];
  for (unsigned int format : kFormats) {
    // Written text fits its buffer, terminator included.
    if (tc.GetStr(text, format) && std::memchr(text, 0, sizeof text) == nullptr) std::abort();
    tc.GetStr(format);
  }
  unsigned short h, m, s, f, d;
  tc.GetHMSF(h, m, s, f);
  tc.GetDHMSF(d, h, m, s, f);
}

void Exercise(FuzzedDataProvider& in) {
  const bool wrap = in.ConsumeBool();
  CTimeCode::UseDayWrapping(wrap);
  const auto system = static_cast<OxlTbx::VideoSystem>(in.ConsumeIntegralInRange<int>(-1, 11));
  const auto other = static_cast<OxlTbx::VideoSystem>(in.ConsumeIntegralInRange<int>(-1, 11));
  const unsigned long fields = in.ConsumeIntegral<unsigned long>();
  const int decimals = in.ConsumeIntegralInRange<int>(-2, 300);
  CTimeCode tc(fields, system, decimals);
  Texts(tc);
  CTimeCode parts(in.ConsumeIntegral<unsigned short>(), in.ConsumeIntegral<unsigned short>(),
                  in.ConsumeIntegral<unsigned short>(), in.ConsumeIntegral<unsigned short>(), in.ConsumeBool(), system,
                  decimals);
  Texts(parts);
  parts.SetDHMSF(in.ConsumeIntegral<unsigned short>(), in.ConsumeIntegral<unsigned short>(),
                 in.ConsumeIntegral<unsigned short>(), in.ConsumeIntegral<unsigned short>(),
                 in.ConsumeIntegral<unsigned short>());
  Texts(parts);

  // Packed forms.
  const unsigned int smpte = in.ConsumeIntegral<unsigned int>();
  tc.SetSMPTE(smpte);
  tc.GetSMPTE();
  unsigned char packed[4];
  in.ConsumeData(packed, sizeof packed);
  tc.DecodeFrom(packed);
  tc.EncodeTo(packed);
  Texts(tc);
  DWORD2SMPTE(static_cast<unsigned int>(fields), system);
  SMPTE2DWORD(smpte, system);
  unsigned int h, m, s, f;
  OxlTbx::UnpackSmpte(smpte, h, m, s, f);
  OxlTbx::PackSmpte(h, m, s, f);

  // Arithmetic and comparison across systems.
  const long delta = in.ConsumeIntegral<long>();
  CTimeCode sum = tc + delta;
  sum -= delta;
  ++sum;
  --sum;
  CTimeCode converted(parts);
  converted.ConvertToSystem(other);
  Texts(converted);
  (void)(tc + converted);
  (void)(tc - converted);
  (void)(tc < converted);
  (void)(tc == converted);
  tc.FramesTill(converted);
  tc.FieldsTill(converted);
  tc.SetParity(in.ConsumeBool());
  tc.SetDecimals(in.ConsumeIntegral<int>());

  // Conversions.
  const double seconds = in.ConsumeFloatingPoint<double>();
  const unsigned long bitRate = in.ConsumeIntegral<unsigned long>();
  Texts(sec2TC(seconds, system, in.ConsumeBool()));
  Texts(ms2TC(seconds, system, in.ConsumeBool()));
  TC2sec(tc);
  TC2ms(tc);
  TC2Bytes(tc, bitRate);
  Texts(Bytes2TC(fields, bitRate, system));
  Bytes2ms(fields, bitRate);
  ms2Bytes(seconds, bitRate);

  // Text read back: the name form and arbitrary text.
  const std::string text = in.ConsumeRemainingBytesAsString();
  CTimeCode read(0, system);
  read.SetStr(text.c_str(), 2);
  Texts(read);
  read.SetStr(text.c_str(), 9);
  Texts(read);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  FuzzedDataProvider in(data, size);
  OXL_FUZZ_NOTHROW("timecode", Exercise(in));
  CTimeCode::UseDayWrapping(false);
  return 0;
}
