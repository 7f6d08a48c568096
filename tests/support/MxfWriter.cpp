#include "support/MxfWriter.h"

#include <algorithm>

namespace oxltest::mxf {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

std::string Label(const char* dotted) {
  std::string bytes;
  for (const char* p = dotted; *p; p += (p[2] ? 3 : 2)) bytes += char(std::stoi(std::string(p, 2), nullptr, 16));
  return bytes;
}

std::string U8(uint8_t v) { return std::string(1, static_cast<char>(v)); }
std::string U16(uint16_t v) { return U8(v >> 8) + U8(v & 0xFF); }
std::string U32(uint32_t v) { return U16(v >> 16) + U16(v & 0xFFFF); }
std::string U64(uint64_t v) { return U32(uint32_t(v >> 32)) + U32(uint32_t(v)); }
std::string Rational(uint32_t numerator, uint32_t denominator) { return U32(numerator) + U32(denominator); }

std::string Ber(uint64_t length) {
  if (length < (1u << 24)) return U8(0x83) + U8((length >> 16) & 0xFF) + U16(length & 0xFFFF);
  return U8(0x88) + U64(length);
}

std::string Klv(const std::string& key, const std::string& value) { return key + Ber(value.size()) + value; }

std::string Utf16(const std::wstring& text) {
  std::string s;
  for (wchar_t c : text) s += U16(static_cast<uint16_t>(c));
  return s;
}

std::string Batch(const std::vector<std::string>& items, uint32_t itemSize) {
  std::string s = U32(static_cast<uint32_t>(items.size())) + U32(itemSize);
  for (const std::string& item : items) s += item;
  return s;
}

std::string Uid(int n) { return Bytes({0xA0, 0xB1, 0xC2, 0xD3, 0, 0, 0, 0, 0, 0, 0, 0}) + U32(n); }
std::string Umid(int n) { return Label("06.0a.2b.34.01.01.01.05.01.01.0d.20.13.00.00.00") + Uid(n); }

std::string SetKey(uint8_t kind) { return Label("06.0e.2b.34.02.53.01.01.0d.01.01.01.01.01") + U8(kind) + U8(0); }
std::string PartitionKey(uint8_t kind, uint8_t status) {
  return Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01") + U8(kind) + U8(status) + U8(0);
}

LocalSet& LocalSet::item(uint16_t tag, const std::string& value) {
  m_Bytes += U16(tag) + U16(static_cast<uint16_t>(value.size())) + value;
  return *this;
}

std::string Primer(const std::vector<std::pair<uint16_t, std::string>>& entries) {
  std::vector<std::string> items;
  for (const auto& [tag, label] : entries) items.push_back(U16(tag) + label);
  return Klv(Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01.05.01.00"), Batch(items, 18));
}

std::string MxfHeader(uint8_t op13, uint8_t op14, const std::vector<std::string>& labels, size_t size,
                      uint32_t claimedCount) {
  std::string pack = U16(1) + U16(3) + U32(1) + U64(0) + U64(0) + U64(0) + U64(0) + U64(0) + U32(0) + U64(0) + U32(1);
  pack += Label("06.0e.2b.34.04.01.01.01.0d.01.02.01") + U8(op13) + U8(op14) + U16(0);
  pack += U32(claimedCount ? claimedCount : uint32_t(labels.size())) + U32(16);
  for (const std::string& label : labels) pack += label;
  std::string bytes = PartitionKey(2, 4) + Bytes({0x83, 0, 0, int(pack.size())}) + pack;
  bytes.resize(std::max(size, bytes.size()), '\0');
  return bytes;
}

namespace {

const std::string kPictureDef = Label("06.0e.2b.34.04.01.01.01.01.03.02.02.01.00.00.00");
const std::string kTimecodeDef = Label("06.0e.2b.34.04.01.01.01.01.03.02.01.01.00.00.00");

std::string Track(int uid, int sequence, const FileLayout& layout) {
  return Klv(SetKey(0x3B), LocalSet().item(0x3C0A, Uid(uid)).item(0x4801, U32(uid)).item(0x4803, Uid(sequence))
                               .item(0x4B01, Rational(layout.rateNum, layout.rateDen)).item(0x4B02, U64(0)).str());
}

// A component's common items; no duration item for a negative duration.
LocalSet Component(int uid, const std::string& definition, int64_t duration) {
  LocalSet set;
  set.item(0x3C0A, Uid(uid)).item(0x0201, definition);
  if (duration >= 0) set.item(0x0202, U64(duration));
  return set;
}

std::string Sequence(int uid, const std::string& definition, int64_t duration, int component) {
  return Klv(SetKey(0x0F), Component(uid, definition, duration).item(0x1001, Batch({Uid(component)}, 16)).str());
}

std::string SourceClip(int uid, int64_t duration, int package) {
  return Klv(SetKey(0x11), Component(uid, kPictureDef, duration)
                               .item(0x1101, package ? Umid(package) : std::string(32, '\0'))
                               .item(0x1102, U32(package ? 2 : 0)).item(0x1201, U64(0)).str());
}

std::string Timecode(int uid, const FileLayout& layout) {
  return Klv(SetKey(0x14), Component(uid, kTimecodeDef, layout.duration).item(0x1501, U64(layout.timecode.startFrames))
                               .item(0x1502, U16(layout.timecode.roundedBase))
                               .item(0x1503, U8(layout.timecode.dropFrame)).str());
}

// A package (material when `material`, else file package) with a picture
// track and, when asked, a timecode track; uids from `base` on.
std::string Package(bool material, int base, const FileLayout& layout) {
  std::vector<std::string> tracks{Uid(base + 1)};
  if (layout.withTimecode) tracks.push_back(Uid(base + 4));
  LocalSet package;
  package.item(0x3C0A, Uid(base)).item(0x4401, Umid(base)).item(0x4402, Utf16(material ? L"material" : L"file"));
  package.item(0x4403, Batch(tracks, 16));
  if (!material) package.item(0x4701, Uid(300));
  const int64_t picture = layout.pictureDuration ? layout.duration : -1;
  std::string sets = Klv(SetKey(material ? 0x36 : 0x37), package.str());
  sets += Track(base + 1, base + 2, layout) + Sequence(base + 2, kPictureDef, picture, base + 3);
  sets += SourceClip(base + 3, picture, material ? 200 : 0);
  if (layout.withTimecode)
    sets += Track(base + 4, base + 5, layout) + Sequence(base + 5, kTimecodeDef, layout.duration, base + 6) +
            Timecode(base + 6, layout);
  return sets;
}

std::string Descriptor(const FileLayout& layout) {
  LocalSet set;
  set.item(0x3C0A, Uid(300)).item(0x3001, Rational(layout.rateNum, layout.rateDen)).item(0x3006, U32(201));
  set.item(0x3203, U32(720)).item(0x3202, U32(288)).item(0x320C, U8(layout.frameLayout));
  if (!layout.pictureCoding.empty()) set.item(0x3201, layout.pictureCoding);
  set.item(0x320E, Rational(4, 3));  // last: an item that ends the set must be read too
  return Klv(SetKey(0x28), set.str() + layout.pictureItems);
}

std::string HeaderMetadata(const FileLayout& layout) {
  std::string sets = Primer(layout.primer);
  sets += Klv(SetKey(0x2F), LocalSet().item(0x3C0A, Uid(1)).item(0x3B02, std::string(8, '\0')).item(0x3B05, U16(259))
                                .item(0x3B03, Uid(2)).item(0x3B09, Label("06.0e.2b.34.04.01.01.01.0d.01.02.01.01.01.09.00"))
                                .item(0x3B0B, Batch(layout.dmSchemes, 16)).str());
  sets += Klv(SetKey(0x18), LocalSet().item(0x3C0A, Uid(2)).item(0x1901, Batch({Uid(100), Uid(200)}, 16))
                                .item(0x1902, Batch({Uid(3)}, 16)).str());
  sets += Klv(SetKey(0x23), LocalSet().item(0x3C0A, Uid(3)).item(0x2701, Umid(200)).item(0x3F06, U32(2))
                                .item(0x3F07, U32(1)).str());
  sets += Package(true, 100, layout) + Package(false, 200, layout) + Descriptor(layout);
  for (const std::string& set : layout.extraSets) sets += set;
  return sets;
}

struct PartitionFields {
  uint8_t kind;
  uint64_t self, previous, footer, headerBytes, indexBytes;
  uint32_t indexSid, bodySid;
};

std::string PartitionPack(const PartitionFields& f, const FileLayout& layout) {
  const std::string op = Label("06.0e.2b.34.04.01.01.01.0d.01.02.01.01") + U8(layout.packageComplexity) + U8(9) + U8(0);
  const std::string container = Label("06.0e.2b.34.04.01.01.01.0d.01.03.01.02.01.01.01");
  const std::string value = U16(1) + U16(3) + U32(1) + U64(f.self) + U64(f.previous) + U64(f.footer) +
                            U64(f.headerBytes) + U64(f.indexBytes) + U32(f.indexSid) + U64(0) + U32(f.bodySid) +
                            op + Batch({container}, 16);
  return Klv(PartitionKey(f.kind, 4), value);
}

uint32_t EditUnitBytes(const FileLayout& layout) { return layout.frameSize + 20 + uint32_t(layout.unitExtra.size()); }

std::string IndexSegment(const FileLayout& layout) {
  return Klv(Label("06.0e.2b.34.02.53.01.01.0d.01.02.01.01.10.01.00"),
             LocalSet().item(0x3C0A, Uid(400)).item(0x3F0B, Rational(layout.rateNum, layout.rateDen))
                     .item(0x3F0C, U64(0)).item(0x3F0D, U64(layout.duration)).item(0x3F05, U32(EditUnitBytes(layout)))
                     .item(0x3F06, U32(2)).item(0x3F07, U32(1)).str() + layout.indexItems);
}

}  // namespace

File BuildFile(const FileLayout& layout) {
  File file;
  const std::string header = HeaderMetadata(layout);
  const std::string essenceKey = Label("06.0e.2b.34.01.02.01.01.0d.01.03.01.05.01.01.01");
  std::string essence;
  for (int64_t i = 0; i < layout.duration; ++i)
    essence += Klv(essenceKey, std::string(layout.frameSize, char(i))) + layout.unitExtra;
  const std::string index = layout.withIndex ? IndexSegment(layout) : std::string();

  const uint64_t headerPackSize = PartitionPack({2, 0, 0, 0, 0, 0, 0, 0}, layout).size();
  const uint64_t bodyOffset = headerPackSize + header.size();
  const uint64_t bodyPackSize = PartitionPack({3, 0, 0, 0, 0, 0, 0, 1}, layout).size();
  const uint64_t footerOffset = bodyOffset + bodyPackSize + essence.size();
  const uint64_t footerField = layout.footerOffsetInHeader ? footerOffset : 0;
  file.partitionOffsets = {0, bodyOffset, footerOffset};
  file.essenceStart = bodyOffset + bodyPackSize;

  std::string body = PartitionPack({2, 0, 0, footerField, header.size(), 0, 0, 0}, layout) + header +
                     PartitionPack({3, bodyOffset, 0, footerOffset, 0, 0, 0, 1}, layout) + essence +
                     PartitionPack({4, footerOffset, bodyOffset, footerOffset, 0, index.size(), 2, 0}, layout) + index;
  if (layout.withRip) {
    std::string rip;
    for (size_t i = 0; i < file.partitionOffsets.size(); ++i) rip += U32(i == 1 ? 1 : 0) + U64(file.partitionOffsets[i]);
    rip += U32(static_cast<uint32_t>(16 + 4 + rip.size() + 4));
    body += Klv(Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01.11.01.00"), rip);
  }
  file.bytes = layout.runIn + body;
  return file;
}

std::vector<uint64_t> KlvOffsets(const std::string& bytes) {
  std::vector<uint64_t> offsets;
  for (size_t p = 0; p + 17 <= bytes.size();) {
    offsets.push_back(p);
    const auto* k = reinterpret_cast<const unsigned char*>(bytes.data() + p);
    size_t lengthBytes = 1, length = k[16];
    if (length & 0x80) {
      lengthBytes += length & 0x7F;
      length = 0;
      for (size_t i = 1; i < lengthBytes && p + 16 + i < bytes.size(); ++i) length = length << 8 | k[16 + i];
    }
    p += 16 + lengthBytes + length;
  }
  return offsets;
}

std::vector<uint64_t> PartitionPackOffsets(const std::string& bytes) {
  std::vector<uint64_t> offsets;
  for (uint64_t offset : KlvOffsets(bytes)) {
    const auto* k = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    if (bytes.compare(offset, 13, Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01")) == 0 && k[13] >= 2 && k[13] <= 4)
      offsets.push_back(offset);
  }
  return offsets;
}

}  // namespace oxltest::mxf
