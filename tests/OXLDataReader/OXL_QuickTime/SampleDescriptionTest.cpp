// Parsing of "stsd": sound descriptions of versions 0 to 2, video
// descriptions with their extensions, MPEG-4 elementary stream descriptors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/StsdAtom.h"
#include "qelCore/QELRuntimeError.h"
#include "support/ByteBuilder.h"

using namespace oxltest;
using namespace QTReader;

namespace {

// One sample description: size, data format, 6 reserved bytes, data reference index 1, body.
std::string Entry(const char* format, const std::string& body) {
  return ByteBuilder().u32(static_cast<uint32_t>(16 + body.size())).fourcc(format).zeros(6).u16(1).bytes(body).str();
}

std::string Stsd(const std::string& entries, uint32_t count = 1) {
  return FullAtom("stsd", 0, 0, ByteBuilder().u32(count).bytes(entries).str());
}

CStsdAtom Parse(const std::string& stsd, const std::string& handler) {
  const ExactBuffer b(stsd);
  const unsigned char* cursor = b.data();
  CStsdAtom atom;
  initStsdAtom(cursor, b.size(), atom, handler);
  return atom;
}

// Version, revision, vendor, then the six version-0 fields.
ByteBuilder SoundV0(uint16_t version, uint16_t channels, uint16_t bits, uint16_t rate) {
  ByteBuilder b;
  b.u16(version).u16(0).u32(0).u16(channels).u16(bits).u16(0).u16(0).u16(rate).u16(0);
  return b;
}

std::string SoundV1(uint16_t channels, uint16_t bits, uint32_t bytesPerPacket, uint32_t bytesPerFrame,
                    uint32_t bytesPerSample, const std::string& trailing = "") {
  return SoundV0(1, channels, bits, 48000).u32(1).u32(bytesPerPacket).u32(bytesPerFrame).u32(bytesPerSample)
      .bytes(trailing);
}

std::string SoundV2(double rate, uint32_t channels, uint32_t bits, uint32_t flags, uint32_t bytesPerPacket) {
  return ByteBuilder().u16(2).u16(0).u32(0).u16(3).u16(16).u16(0xFFFE).u16(0).u32(0x00010000)
      .u32(72).f64(rate).u32(channels).u32(0x7F000000).u32(bits).u32(flags).u32(bytesPerPacket).u32(1).str();
}

std::string Wave(uint16_t enda) {
  return Atom("wave", Atom("frma", "in24") + ByteBuilder().u32(10).fourcc("enda").u16(enda).str() + std::string(8, '\0'));
}

const CAudioSampleDescription& Audio(const CStsdAtom& atom, size_t i = 0) {
  return dynamic_cast<const CAudioSampleDescription&>(*atom.m_Entries.at(i));
}

// Version 0: the format decides byte order, and "in24" its depth and frame
// size. Version 1 prefers its own fields, and a "wave" atom's "enda" the
// byte order. Version 2 reads everything from its extended fields. The
// framework parameters say the same, with a layout from the channel count.
TEST(SoundDescriptions, EveryVersionGivesOrderDepthFrameChannelsAndRate) {
  const std::string noEnda = Atom("chan", "xx") + Atom("wave", Atom("frma", "twos") + std::string(8, '\0'));
  struct Row {
    const char* format;
    std::string body;
    uint32_t endianness, bits, bytesPerFrame, channels, rate, layout;
  } rows[] = {
      {"twos", SoundV0(0, 2, 16, 44100).bytes("junk"), kAudioBigEndian, 16, 4, 2, 44100, 3},  // next at the declared end
      {"sowt", SoundV0(0, 1, 16, 48000), kAudioLittleEndian, 16, 2, 1, 48000, 1},
      {"in24", SoundV0(0, 3, 16, 48000), kAudioBigEndian, 24, 9, 3, 48000, 2},
      {"twos", SoundV1(2, 16, 0, 0, 0, Wave(1)), kAudioLittleEndian, 16, 4, 2, 48000, 3},
      {"sowt", SoundV1(2, 16, 0, 0, 0, Wave(0)), kAudioBigEndian, 16, 4, 2, 48000, 3},
      {"twos", SoundV1(2, 16, 0, 0, 0, noEnda), kAudioBigEndian, 16, 4, 2, 48000, 3},
      {"in24", SoundV1(2, 16, 3, 6, 3), kAudioBigEndian, 24, 6, 2, 48000, 3},
      {"in24", SoundV1(2, 16, 0, 0, 4), kAudioBigEndian, 24, 8, 2, 48000, 3},
      {"in24", SoundV1(2, 16, 0, 0, 0), kAudioBigEndian, 24, 6, 2, 48000, 3},
      {"lpcm", SoundV2(96000.0, 6, 24, 2 | 4, 18), kAudioBigEndian, 24, 18, 6, 96000, 2},
  };
  std::string entries;
  for (const Row& r : rows) entries += Entry(r.format, r.body);
  const CStsdAtom atom = Parse(Stsd(entries, std::size(rows)), "soun");
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    const auto& d = Audio(atom, i);
    auto p = d.GetAudioParameters();
    EXPECT_EQ(std::vector<uint32_t>({d.GetEndianness(), d.GetBitsDepth(), d.GetBytesPerFrame(), d.GetNumberOfChannels(),
                                     d.GetSampleRate(), p->GetEndianness(), p->GetBitsPerSample(),
                                     uint32_t(p->GetBytesPerSample()), p->GetSampleRate(), p->GetChannelLayout()}),
              std::vector<uint32_t>({r.endianness, r.bits, r.bytesPerFrame, r.channels, r.rate, r.endianness, r.bits,
                                     r.bytesPerFrame / r.channels, r.rate, r.layout}))
        << "row " << i;
    EXPECT_TRUE(p->GetCodecFamily() == qel::ACodecFamily_PCM && p->IsInterleaved());
  }
}

// Image description fields up to the colour table ID, then `extensions`.
std::string Picture(uint16_t width, uint16_t height, const std::string& extensions, uint16_t colorTable = 0xFFFF) {
  std::string name(32, '\0');
  name.replace(0, 6, "\x05" "Codec");
  return ByteBuilder().u16(0).u16(0).fourcc("appl").u32(0).u32(512).u16(width).u16(height).u32(0x00480000)
      .u32(0x00480000).u32(0).u16(1).bytes(name).u16(24).u16(colorTable).bytes(extensions).str();
}

std::string Avcc(const std::string& sps, const std::string& pps1, const std::string& pps2) {
  ByteBuilder b;
  b.u8(1).u8(100).u8(0).u8(30).u8(0xFF).u8(0xE1).u16(static_cast<uint16_t>(sps.size())).bytes(sps);
  b.u8(2).u16(static_cast<uint16_t>(pps1.size())).bytes(pps1).u16(static_cast<uint16_t>(pps2.size())).bytes(pps2);
  return Atom("avcC", b.str());
}

std::string Fiel(uint8_t count, uint8_t order) { return Atom("fiel", ByteBuilder().u8(count).u8(order).str()); }

const CVideoSampleDescription& Video(const CStsdAtom& atom) {
  return dynamic_cast<const CVideoSampleDescription&>(*atom.m_Entries.at(0));
}

// Two picture parameter sets; the later "fiel" replaces the earlier; a
// "colr" claiming more than the entry holds is kept; a zero length ends the list.
TEST(VideoDescription, ExtensionsUpToAZeroLength) {
  const std::string ext = Avcc(std::string("\x67\x64\x00", 3), "\x68\xEE", "\x68\x01\x02") + Fiel(2, 9) + Fiel(1, 3) +
                          ByteBuilder().u32(1000).fourcc("colr").zeros(4).str();
  const CStsdAtom atom = Parse(Stsd(Entry("avc1", Picture(1920, 1080, ext))), "vide");
  const auto& v = Video(atom);
  auto avcc = std::dynamic_pointer_cast<const VideoSampleDescriptionExtensionAvcc>(v.GetExtension(AtomType("avcC")));
  auto fiel = std::dynamic_pointer_cast<const VideoSampleDescriptionExtensionFiel>(v.GetExtension(AtomType("fiel")));
  ASSERT_TRUE(avcc && fiel);
  EXPECT_EQ(std::vector<uint32_t>({v.m_dwExtensionCount, uint32_t(avcc->GetPictureParameterSets().size()),
                                   uint32_t(avcc->GetPictureParameterSets().back()->GetSize()), uint32_t(fiel->GetFieldCount()),
                                   uint32_t(fiel->GetFieldOrdering()), v.GetExtension(AtomType("colr"))->GetLength()}),
            std::vector<uint32_t>({3, 2, 3, 1, 3, 1000}));
  const CStsdAtom zero = Parse(Stsd(Entry("dvc ", Picture(720, 576, std::string(4, '\0') + Fiel(1, 0)))), "vide");
  EXPECT_EQ(Video(zero).m_dwExtensionCount, 0u);
}

// An "esds" for "mp4v": ES descriptor (tag 3), decoder configuration (tag 4),
// decoder-specific information (tag 5).
std::string Esds(uint8_t esTag, const std::string& info, const std::string& lengthOfInfo) {
  ByteBuilder b;
  b.u8(esTag).u8(0x80).u8(0x80).u8(0x80).u8(32).u16(1).u8(0);
  b.u8(4).u8(0x20).u8(0x20).u8(0x11).u24(0x001234).u32(5000000).u32(4000000);
  b.u8(5).bytes(lengthOfInfo).bytes(info);
  return FullAtom("esds", 0, 0, b.str());
}

// A descriptor length of several bytes; the average bit rate and the
// decoder-specific information are kept. Cut right after the last tag the
// descriptor has no information; cut inside its length it is invalid.
TEST(VideoDescription, EsdsKeepsRateAndDecoderInfo) {
  const std::string mp4v = Stsd(Entry("mp4v", Picture(64, 48, Esds(3, "xyz", "\x80\x80\x03"))));
  EXPECT_NO_THROW(Parse(mp4v.substr(0, mp4v.size() - 6), "vide"));
  EXPECT_THROW(Parse(mp4v.substr(0, mp4v.size() - 5), "vide"), QTUtils::unsuported_or_invalid);
  const CStsdAtom whole = Parse(mp4v, "vide");
  const auto& d = dynamic_cast<const CMP4VSampleDescription&>(*whole.m_Entries.at(0));
  EXPECT_EQ(std::make_pair(d.m_dwAvgBitRate, std::string(d.m_DecoderSpecificInfo.begin(), d.m_DecoderSpecificInfo.end())),
            std::make_pair(4000000u, std::string("xyz")));
}

// Entries past the atom, unknown versions, a wrong version-2 prefix, fields
// passing their place and wrong descriptor tags are invalid; so are sound
// depth, frame size or channels of 0. An absurd rate leaves no fields.
TEST(SampleDescriptions, InvalidEntriesAndFields) {
  std::string wrongPrefix = SoundV2(48000.0, 2, 16, 0, 4), avcc = Avcc(std::string("\x67\x64\x00", 3), "\x68", "\x68");
  wrongPrefix[9] = 2;                            // channels of the prefix
  avcc[3] = static_cast<char>(avcc.size() - 2);  // declared length cuts the last picture set
  const std::pair<std::string, const char*> invalid[] = {
      {Stsd(Entry("tmcd", ""), 2) + Entry("tmcd", ""), "tmcd"},
      {Stsd(Entry("twos", SoundV0(3, 2, 16, 48000))), "soun"},
      {Stsd(Entry("lpcm", wrongPrefix)), "soun"},
      {Stsd(Entry("rle ", Picture(64, 64, "", 0))), "vide"},
      {Stsd(Entry("rle ", Picture(64, 64, "").substr(0, 34) + "\x1F" + std::string(10, 'n'))), "vide"},
      {Stsd(Entry("avc1", Picture(64, 64, avcc))), "vide"},
      {Stsd(Entry("mp4v", Picture(352, 288, Esds(4, "ab", "\x02")))), "vide"},
      {Stsd(Entry("mp4v", Picture(352, 288, Esds(3, "ab", "\x09")))), "vide"}};
  for (const auto& [stsd, handler] : invalid) EXPECT_THROW(Parse(stsd, handler), QTUtils::unsuported_or_invalid) << stsd.size();
  EXPECT_THROW(Parse(Stsd(Entry("dvc ", Picture(720, 576, Fiel(1, 0) + std::string(2, '\0')))), "vide"),
               qel::QELRuntimeError);
  const CStsdAtom atom = Parse(Stsd(Entry("lpcm", SoundV2(48000.0, 2, 0, 0, 0)) + Entry("sowt", SoundV0(0, 0, 16, 48000)) +
                                    Entry("lpcm", SoundV2(-1.0, 2, 16, 0, 4)), 3), "soun");
  EXPECT_THROW(Audio(atom, 0).GetBitsDepth(), QTUtils::unsuported_or_invalid);
  EXPECT_THROW(Audio(atom, 0).GetBytesPerFrame(), QTUtils::unsuported_or_invalid);
  EXPECT_THROW(Audio(atom, 1).GetAudioParameters(), QTUtils::unsuported_or_invalid);
  EXPECT_FALSE(Audio(atom, 2).m_pDescriptor);
}

}  // namespace
