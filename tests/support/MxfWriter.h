#pragma once
// A small MXF writer for tests (SMPTE 377): KLVs, local sets, batches, primer
// packs and whole OP1a files, for what FFmpeg cannot write.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace oxltest::mxf {

std::string Bytes(std::initializer_list<int> values);
// "06.0e.2b.34..." as bytes.
std::string Label(const char* dotted);
std::string Klv(const std::string& key, const std::string& value);
std::string Utf16(const std::wstring& text);
std::string Batch(const std::vector<std::string>& items, uint32_t itemSize);
std::string Uid(int n);   // 16 bytes, distinct for distinct n
std::string U8(uint8_t v);
std::string U16(uint16_t v);
std::string U32(uint32_t v);
std::string U64(uint64_t v);
std::string Rational(uint32_t numerator, uint32_t denominator);

// Header metadata set key 06 0E 2B 34 02 53 01 01 0D 01 01 01 01 01 <kind> 00.
std::string SetKey(uint8_t kind);

// A header partition pack of the operational pattern whose label bytes 13
// and 14 are `op13`, `op14`, listing `labels` (or claiming `claimedCount`),
// at the start of `size` bytes of fill: what identification reads.
std::string MxfHeader(uint8_t op13, uint8_t op14, const std::vector<std::string>& labels, size_t size = 2048,
                      uint32_t claimedCount = 0);

class LocalSet {
 public:
  LocalSet& item(uint16_t tag, const std::string& value);
  const std::string& str() const { return m_Bytes; }

 private:
  std::string m_Bytes;
};

struct TimecodeSpec {
  int64_t startFrames = 0;
  uint16_t roundedBase = 25;
  bool dropFrame = false;
};

struct FileLayout {
  uint32_t rateNum = 25, rateDen = 1;
  int64_t duration = 10;  // frames written and declared
  bool pictureDuration = true;  // false: the picture track's sequence and clip declare none
  bool withTimecode = true;
  TimecodeSpec timecode;
  uint8_t packageComplexity = 1;  // 1 OP1a, 2 OP1b
  uint32_t frameSize = 64;        // bytes of one frame of essence
  std::string unitExtra;          // a KLV after each frame's picture element, in its edit unit
  bool withRip = true;
  bool footerOffsetInHeader = true;
  bool withIndex = true;
  uint8_t frameLayout = 1;
  std::string pictureCoding;          // picture essence coding label, empty: none
  std::string pictureItems;           // local items appended to the picture descriptor
  std::vector<std::string> dmSchemes;  // DMSchemes of the preface
  std::vector<std::pair<uint16_t, std::string>> primer;  // dynamic tags
  std::vector<std::string> extraSets;  // KLVs appended to the header metadata
  std::string runIn;       // bytes before the header partition
  std::string indexItems;  // local items appended to the index segment
};

struct File {
  std::string bytes;
  std::vector<uint64_t> partitionOffsets;  // header, body, footer (without run-in)
  uint64_t essenceStart = 0;  // the first edit unit (without run-in)
};

File BuildFile(const FileLayout& layout);

// Offsets of the top-level KLVs of `bytes` (walked by their BER lengths),
// and of those that are partition packs.
std::vector<uint64_t> KlvOffsets(const std::string& bytes);
std::vector<uint64_t> PartitionPackOffsets(const std::string& bytes);

}  // namespace oxltest::mxf
