#pragma once
// A small MXF writer for tests: KLV triplets, local sets, batches, primer
// packs, and whole OP1a files with partitions, header metadata, essence,
// index segments and a Random Index Pack. It writes what FFmpeg cannot
// (descriptive metadata, damaged structures) from SMPTE 377 directly.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace oxltest::mxf {

std::string Bytes(std::initializer_list<int> values);
// A long-form BER length of 4 bytes (0x83 and 3 bytes), or of 9 bytes above 16 MiB.
std::string Ber(uint64_t length);
std::string Klv(const std::string& key, const std::string& value);
std::string Utf16(const std::wstring& text);
std::string Batch(const std::vector<std::string>& items, uint32_t itemSize);
// A 16-byte instance UID made from n (distinct n, distinct UIDs).
std::string Uid(int n);
// A 32-byte UMID made from n.
std::string Umid(int n);
std::string U8(uint8_t v);
std::string U16(uint16_t v);
std::string U32(uint32_t v);
std::string U64(uint64_t v);
std::string Rational(uint32_t numerator, uint32_t denominator);

// Header metadata set key 06 0E 2B 34 02 53 01 01 0D 01 01 01 01 01 <kind> 00.
std::string SetKey(uint8_t kind);
// Partition pack key; kind 2 header, 3 body, 4 footer; status 1 to 4.
std::string PartitionKey(uint8_t kind, uint8_t status);
extern const std::string kPrimerKey;
extern const std::string kRipKey;
extern const std::string kIndexSegmentKey;
extern const std::string kFillKey;
// Data definitions of picture, sound and timecode tracks.
extern const std::string kPictureDef;
extern const std::string kSoundDef;
extern const std::string kTimecodeDef;

// A header partition pack of the operational pattern whose label bytes 13
// and 14 are `op13`, `op14`, listing `labels` (or claiming `claimedCount`),
// at the start of `size` bytes of fill: what identification reads.
std::string MxfHeader(uint8_t op13, uint8_t op14, const std::vector<std::string>& labels, size_t size = 2048,
                      uint32_t claimedCount = 0);
// "06.0e.2b.34..." as bytes.
std::string Label(const char* dotted);

// Items of a local set: 2-byte tag, 2-byte length, value.
class LocalSet {
 public:
  LocalSet& item(uint16_t tag, const std::string& value);
  const std::string& str() const { return m_Bytes; }

 private:
  std::string m_Bytes;
};

// Primer pack KLV declaring (tag, label) pairs.
std::string Primer(const std::vector<std::pair<uint16_t, std::string>>& entries);

struct TimecodeSpec {
  int64_t startFrames = 0;
  uint16_t roundedBase = 25;
  bool dropFrame = false;
};

struct FileLayout {
  uint32_t rateNum = 25, rateDen = 1;
  int64_t duration = 10;  // frames written and declared
  bool withTimecode = true;
  TimecodeSpec timecode;
  uint8_t packageComplexity = 1;  // 1 OP1a, 2 OP1b
  uint32_t frameSize = 64;        // bytes of one frame of essence
  bool withRip = true;
  bool footerOffsetInHeader = true;
  bool withIndex = true;
  uint32_t width = 720, height = 288;  // stored height: one field
  uint8_t frameLayout = 1;
  std::string pictureCoding;          // picture essence coding label, empty: none
  std::vector<std::string> dmSchemes;  // DMSchemes of the preface
  std::vector<std::pair<uint16_t, std::string>> primer;  // dynamic tags
  std::vector<std::string> extraSets;  // KLVs appended to the header metadata
  // Instance UIDs of DM framework sets among extraSets: each is linked from
  // a static descriptive-metadata track of the material package, as AS-11 does.
  std::vector<std::string> dmFrameworks;
  std::string runIn;                   // bytes before the header partition
  std::string indexItems;              // local items appended to the index segment
};

struct File {
  std::string bytes;
  std::vector<uint64_t> partitionOffsets;  // header, body, footer (without run-in)
  // Offsets of every KLV start in the file, for cutting at their boundaries.
  std::vector<uint64_t> klvOffsets;
  uint64_t headerMetadataStart = 0, headerByteCount = 0;
};

File BuildFile(const FileLayout& layout);

// Offsets of every top-level KLV of `bytes`, walked by their BER lengths.
std::vector<uint64_t> KlvOffsets(const std::string& bytes);

// Offsets of the partition packs met walking `bytes` (a whole MXF file
// without run-in) KLV by KLV: an independent view of its partitions.
std::vector<uint64_t> PartitionPackOffsets(const std::string& bytes);

}  // namespace oxltest::mxf
