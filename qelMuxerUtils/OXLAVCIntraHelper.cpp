// COXLAVCIntraHelper: what each mode covers, the frame sizes of the classes,
// formatting into self-contained Annex B access units, and classification.
#include "qelMuxerUtils/OXLAVCIntraHelper.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "qelMuxerUtils/AVCIntraParameterSets.h"
#include "qelMuxerUtils/H264Bitstream.h"

using Mode = COXLAVCIntraHelper::avc_intra_compression_mode_enum;

namespace {

enum Rate : unsigned int { R2398 = 1, R25 = 2, R2997 = 4, R50 = 8, R5994 = 16, AllRates = 31 };
enum Scan : unsigned int { AnyScan, Interlaced, Progressive };

// What a mode covers. `lines` 0: 720 and 1080.
struct ModeInfo {
  unsigned int avcClass;
  bool xavc;
  unsigned int lines;
  Scan scan;
  unsigned int rates;
};

const unsigned int kModeCount = 34;

const ModeInfo kModes[kModeCount] = {
    {50, false, 720, Progressive, R50},     {50, false, 720, Progressive, R5994},
    {50, false, 0, AnyScan, R25},           {50, false, 0, AnyScan, R2997 | R2398},
    {50, false, 720, Progressive, R25},     {50, false, 720, Progressive, R2997 | R2398},
    {50, false, 1080, Progressive, R50},    {50, false, 1080, Progressive, R5994},
    {100, false, 720, Progressive, R50},    {100, false, 720, Progressive, R5994},
    {100, false, 0, AnyScan, R25},          {100, false, 0, AnyScan, R2997 | R2398},
    {100, false, 720, Progressive, R25},    {100, false, 720, Progressive, R2997 | R2398},
    {100, false, 1080, Progressive, R50},   {100, false, 1080, Progressive, R5994},
    {50, true, 1080, AnyScan, R25},         {50, true, 1080, AnyScan, R2997 | R2398},
    {100, true, 720, Progressive, R25 | R50}, {100, true, 720, Progressive, R2398 | R2997 | R5994},
    {100, true, 1080, Interlaced, R25},     {100, true, 1080, Interlaced, R2997},
    {100, true, 1080, Progressive, R25},    {100, true, 1080, Progressive, R2398},
    {100, true, 1080, Progressive, R50},    {100, true, 1080, Progressive, R2997 | R5994},
    {300, true, 2160, Progressive, R25},    {300, true, 2160, Progressive, R2997 | R2398},
    {300, true, 2160, Progressive, R50},    {300, true, 2160, Progressive, R5994},
    {480, true, 2160, Progressive, R25},    {480, true, 2160, Progressive, R2997 | R2398},
    {480, true, 2160, Progressive, R50},    {480, true, 2160, Progressive, R5994},
};

// Classification tries the modes that cover one picture format first.
const unsigned int kModePreference[kModeCount] = {0,  1,  4,  5,  6,  7,  2,  3,  8,  9,  12, 13, 14, 15, 10, 11, 16,
                                                  17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33};

// Room for the inserted parameter sets and their start codes.
const uint32_t kParameterSetRoom = 1024;
// AVC-Intra codes every picture in this many slices.
const size_t kAvcIntraSlices = 10;

bool IsFiftyHertz(unsigned int rate) { return rate == R25 || rate == R50; }

// Nominal frame size in bytes of a class: its bit rate per frame, the same
// for the 25 and 50 frame rates and for the 23.976, 29.97 and 59.94 ones.
uint32_t NominalFrameSize(unsigned int avcClass, unsigned int lines, unsigned int rate) {
  const bool fifty = IsFiftyHertz(rate);
  const bool hd1080 = lines == 1080;
  switch (avcClass) {
    case 50: return hd1080 ? (fifty ? 281088 : 232960) : (fifty ? 140800 : 116736);
    case 100: return hd1080 ? (fifty ? 568832 : 472576) : (fifty ? 284672 : 236544);
    case 200: return hd1080 ? (fifty ? 1144320 : 952832) : (fifty ? 572416 : 476672);
    case 300: return 1260032;
    case 480: return 2009600;
    default: return 0;
  }
}

bool CoversLines(const ModeInfo& info, unsigned int lines) {
  if (info.lines != 0) return info.lines == lines;
  return lines == 720 || lines == 1080;
}

bool CoversScan(const ModeInfo& info, bool interlaced) {
  return info.scan == AnyScan || (info.scan == Interlaced) == interlaced;
}

const ModeInfo* InfoOf(Mode mode) { return mode < kModeCount ? &kModes[mode] : nullptr; }

unsigned int RateOf(double fps) {
  const struct {
    double fps;
    Rate rate;
  } rates[] = {{24000.0 / 1001, R2398}, {25, R25}, {30000.0 / 1001, R2997}, {50, R50}, {60000.0 / 1001, R5994}};
  for (const auto& r : rates)
    if (std::fabs(fps - r.fps) < r.fps * 0.005) return r.rate;
  return 0;
}

unsigned int RateOf(const AVCIntra::ReferenceParameterSets& row) {
  return RateOf(double(row.rateNumerator) / row.rateDenominator);
}

uint32_t MapUnits(const AVCIntra::ReferenceParameterSets& row) {
  const uint32_t heightUnits = row.interlaced ? (row.height + 31) / 32 : (row.height + 15) / 16;
  return (row.width + 15) / 16 * heightUnits;
}

// The slices' start addresses: the largest of the frame, and the picture
// size that the first picture's slices suggest (the last start plus the
// length of the slice before it; 0 with a single slice).
struct SliceLayout {
  uint32_t maxFirstMb = 0;
  uint32_t estimatedMapUnits = 0;
  size_t slices = 0;
  size_t pictures = 0;
};

bool ReadSliceLayout(const unsigned char* frame, const std::vector<H264::NalUnit>& units, SliceLayout& layout) {
  std::vector<uint32_t> firstPicture;
  for (const auto& unit : units) {
    if (!unit.IsSlice()) continue;
    uint32_t firstMb = 0;
    if (!H264::ParseFirstMbInSlice(frame + unit.offset, unit.size, firstMb)) return false;
    if (firstMb == 0 || layout.slices == 0) ++layout.pictures;
    ++layout.slices;
    if (layout.pictures == 1) firstPicture.push_back(firstMb);
    if (firstMb > layout.maxFirstMb) layout.maxFirstMb = firstMb;
  }
  const size_t n = firstPicture.size();
  if (n >= 2 && firstPicture[n - 1] > firstPicture[n - 2])
    layout.estimatedMapUnits = 2 * firstPicture[n - 1] - firstPicture[n - 2];
  return layout.slices > 0;
}

// The reference parameter sets of the mode that fit the slices best.
const AVCIntra::ReferenceParameterSets* ChooseParameterSets(const ModeInfo& info, const SliceLayout& layout) {
  const AVCIntra::ReferenceParameterSets* best = nullptr;
  uint32_t bestDistance = 0;
  for (size_t i = 0; i < AVCIntra::kReferenceParameterSetCount; ++i) {
    const auto& row = AVCIntra::kReferenceParameterSets[i];
    if (row.avcClass != info.avcClass || !CoversLines(info, row.height) || !CoversScan(info, row.interlaced) ||
        (RateOf(row) & info.rates) == 0)
      continue;
    const uint32_t units = MapUnits(row);
    if (layout.maxFirstMb >= units) continue;
    const uint32_t distance = static_cast<uint32_t>(std::labs(long(units) - long(layout.estimatedMapUnits)));
    if (!best || distance < bestDistance) {
      best = &row;
      bestDistance = distance;
    }
  }
  return best;
}

void Append(std::vector<unsigned char>& out, const unsigned char* bytes, size_t size) {
  out.insert(out.end(), bytes, bytes + size);
}

void AppendNal(std::vector<unsigned char>& out, const unsigned char* nal, size_t size) {
  static const unsigned char kStartCode[4] = {0, 0, 0, 1};
  Append(out, kStartCode, sizeof kStartCode);
  Append(out, nal, size);
}

// The frame with start codes, and the missing parameter sets before the
// first unit that is not an access unit delimiter.
void BuildAnnexB(const unsigned char* in, size_t inSize, H264::FrameForm form, const std::vector<H264::NalUnit>& units,
                 const AVCIntra::ReferenceParameterSets* sets, bool addSps, bool addPps,
                 std::vector<unsigned char>& out) {
  out.clear();
  out.reserve(inSize + (sets ? sets->spsSize + sets->ppsSize + 8 : 0));
  bool inserted = false;
  for (const auto& unit : units) {
    if (!inserted && unit.type != H264::NalAccessUnitDelimiter) {
      if (addSps) AppendNal(out, sets->sps, sets->spsSize);
      if (addPps) AppendNal(out, sets->pps, sets->ppsSize);
      inserted = true;
    }
    if (form == H264::FrameForm::LengthPrefixed) {
      AppendNal(out, in + unit.offset, unit.size);
    } else {
      Append(out, in + unit.prefixOffset, unit.offset + unit.size - unit.prefixOffset);
    }
  }
}

struct FrameFormat {
  unsigned int avcClass = 0;
  unsigned int lines = 0;
  bool interlaced = false;
  unsigned int rate = 0;
  bool xavc = false;
};

unsigned int LinesOf(const H264::SequenceParameterSet& sps, unsigned int family) {
  if (family == 50 && ((sps.width == 960 && sps.height == 720) || (sps.width == 1440 && sps.height == 1080)))
    return sps.height;
  if (family == 100 && ((sps.width == 1280 && sps.height == 720) ||
                        ((sps.width == 1920 || sps.width == 2048) && sps.height == 1080)))
    return sps.height;
  if (family == 100 && (sps.width == 3840 || sps.width == 4096) && sps.height == 2160) return 2160;
  return 0;
}

// Class 50 is High 10 Intra 4:2:0; the others High 4:2:2 Intra; all 10 bits.
unsigned int ClassFamily(const H264::SequenceParameterSet& sps) {
  if (sps.bitDepthLuma != 10 || sps.bitDepthChroma != 10) return 0;
  if (sps.profileIdc == 110 && sps.chromaFormatIdc == 1) return 50;
  if (sps.profileIdc == 122 && sps.chromaFormatIdc == 2) return 100;
  return 0;
}

// Without timing information the frame size tells 25/50 from 29.97/59.94;
// the lower rate of the pair is taken, but 50 or 59.94 for 720 lines, which
// are progressive at those rates.
unsigned int RateFromSize(unsigned int family, unsigned int lines, uint32_t size) {
  const long fifty = long(NominalFrameSize(family, lines, R25)) - long(size);
  const long sixty = long(NominalFrameSize(family, lines, R2997)) - long(size);
  const bool isFifty = std::labs(fifty) <= std::labs(sixty);
  if (lines == 720) return isFifty ? R50 : R5994;
  return isFifty ? R25 : R2997;
}

bool ReadFrameFormat(const unsigned char* frame, uint32_t size, FrameFormat& format) {
  H264::FrameForm form;
  std::vector<H264::NalUnit> units;
  if (!H264::SplitNalUnits(frame, size, form, units)) return false;
  const H264::NalUnit* spsUnit = nullptr;
  for (const auto& unit : units)
    if (!spsUnit && unit.type == H264::NalSps) spsUnit = &unit;
  H264::SequenceParameterSet sps;
  if (!spsUnit || !H264::ParseSequenceParameterSet(frame + spsUnit->offset, spsUnit->size, sps)) return false;
  const unsigned int family = ClassFamily(sps);
  format.lines = LinesOf(sps, family);
  if (format.lines == 0) return false;
  format.interlaced = !sps.frameMbsOnly;
  format.rate = RateOf(sps.FrameRate());
  if (format.rate == 0 && (sps.timingInfo || format.lines == 2160)) return false;
  if (format.rate == 0) format.rate = RateFromSize(family, format.lines, size);
  if (format.lines == 2160) {
    format.avcClass = size > (NominalFrameSize(300, 2160, R25) + NominalFrameSize(480, 2160, R25)) / 2 ? 480 : 300;
  } else if (family == 100) {
    const uint32_t class100 = NominalFrameSize(100, format.lines, format.rate);
    format.avcClass = size > class100 / 2 * 3 ? 200 : 100;
  } else {
    format.avcClass = 50;
  }
  SliceLayout layout;
  if (!ReadSliceLayout(frame, units, layout)) return false;
  const bool tenSlicesEach = layout.slices == kAvcIntraSlices * layout.pictures;
  format.xavc = format.lines == 2160 || !tenSlicesEach;
  return true;
}

}  // namespace

uint32_t COXLAVCIntraHelper::GetMaxFrameSize(avc_intra_compression_mode_enum mode) const {
  const ModeInfo* info = InfoOf(mode);
  if (!info) return 0;
  uint32_t largest = 0;
  for (unsigned int lines : {720u, 1080u, 2160u}) {
    if (!CoversLines(*info, lines)) continue;
    for (unsigned int rate = R2398; rate <= R5994; rate <<= 1) {
      const uint32_t size = (info->rates & rate) ? NominalFrameSize(info->avcClass, lines, rate) : 0;
      if (size > largest) largest = size;
    }
  }
  return largest + largest / 4 + kParameterSetRoom;
}

bool COXLAVCIntraHelper::Format(avc_intra_compression_mode_enum mode, const unsigned char* in, unsigned int inSize,
                                unsigned char*& out, unsigned int& outSize, std::vector<unsigned char>& scratch,
                                unsigned int /*flags*/) {
  H264::FrameForm form;
  std::vector<H264::NalUnit> units;
  if (!H264::SplitNalUnits(in, inSize, form, units)) return false;
  bool hasSps = false, hasPps = false, hasSlice = false;
  for (const auto& unit : units) {
    hasSps = hasSps || unit.type == H264::NalSps;
    hasPps = hasPps || unit.type == H264::NalPps;
    hasSlice = hasSlice || unit.IsSlice();
  }
  if (!hasSlice) return false;
  const ModeInfo* info = InfoOf(mode);
  const uint32_t limit = GetMaxFrameSize(mode);
  if (hasSps && hasPps && form == H264::FrameForm::AnnexB) {
    if (info && inSize > limit) return false;
    // The caller's frame is already what a decoder takes: hand it back.
    out = const_cast<unsigned char*>(in);
    outSize = inSize;
    return true;
  }
  const AVCIntra::ReferenceParameterSets* sets = nullptr;
  if (!hasSps || !hasPps) {
    SliceLayout layout;
    if (!info || !ReadSliceLayout(in, units, layout)) return false;
    sets = ChooseParameterSets(*info, layout);
    if (!sets) return false;
  }
  BuildAnnexB(in, inSize, form, units, sets, !hasSps, !hasPps, scratch);
  if (info && scratch.size() > limit) return false;
  out = scratch.data();
  outSize = static_cast<unsigned int>(scratch.size());
  return true;
}

COXLAVCIntraHelper::avc_intra_compression_mode_enum COXLAVCIntraHelper::GetAVCIntraMode(const unsigned char* frame,
                                                                                        unsigned int size) const {
  FrameFormat format;
  if (!ReadFrameFormat(frame, size, format)) return AVCI_Unknown;
  for (unsigned int mode : kModePreference) {
    const ModeInfo& info = kModes[mode];
    if (info.avcClass == format.avcClass && info.xavc == format.xavc && CoversLines(info, format.lines) &&
        CoversScan(info, format.interlaced) && (info.rates & format.rate) != 0)
      return static_cast<Mode>(mode);
  }
  return AVCI_Unknown;
}
