#include "support/QtMovieWriter.h"

#include <algorithm>

#include "support/ByteBuilder.h"

namespace oxltest {
namespace {

const char* kMatrix = "\0\1\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x40\0\0\0";

// Creation and modification times (zero), time scale and duration, 32 or 64 bits wide.
ByteBuilder& Times(ByteBuilder& b, uint32_t timescale, uint64_t duration, bool version1) {
  if (version1) return b.u64(0).u64(0).u32(timescale).u64(duration);
  return b.u32(0).u32(0).u32(timescale).u32(static_cast<uint32_t>(duration));
}

std::string Stbl(const QtWriterTrack& t) {
  const uint32_t count = static_cast<uint32_t>(t.sizes.size());
  ByteBuilder stts, stsc, stsz, co64, stss;
  stts.u32(1).u32(count).u32(t.sampleDuration);
  stsc.u32(1).u32(1).u32(1).u32(1);
  stsz.u32(0).u32(count);
  for (uint32_t s : t.sizes) stsz.u32(s);
  co64.u32(count);
  for (uint64_t o : t.offsets) co64.u64(o);
  ByteBuilder stbl;
  stbl.bytes(t.stsd).fullAtom("stts", 0, 0, stts).fullAtom("stsc", 0, 0, stsc).fullAtom("stsz", 0, 0, stsz);
  stbl.fullAtom("co64", 0, 0, co64);
  if (!t.syncSamples.empty()) {
    stss.u32(static_cast<uint32_t>(t.syncSamples.size()));
    for (uint32_t s : t.syncSamples) stss.u32(s);
    stbl.fullAtom("stss", 0, 0, stss);
  }
  return Atom("stbl", stbl);
}

std::string Trak(const QtWriterTrack& t, bool version1) {
  const uint64_t mediaDuration = uint64_t(t.sampleDuration) * t.sizes.size();
  const uint64_t movieDuration = t.timescale ? mediaDuration * 600 / t.timescale : 0;
  ByteBuilder tkhd, mdhd, hdlr, dref;
  if (version1) tkhd.u64(0).u64(0).u32(t.trackId).u32(0).u64(movieDuration).zeros(16);
  else tkhd.u32(0).u32(0).u32(t.trackId).u32(0).u32(static_cast<uint32_t>(movieDuration)).zeros(16);
  tkhd.bytes(std::string(kMatrix, 36)).u32(uint32_t(t.width) << 16).u32(uint32_t(t.height) << 16);
  Times(mdhd, t.timescale, mediaDuration, version1).u16(0).u16(0);
  hdlr.fourcc("mhlr").fourcc(t.handler.c_str()).zeros(13);
  dref.u32(1).bytes(t.drefEntry.empty() ? FullAtom("url ", 0, 1, "") : t.drefEntry);
  const std::string minf = Atom("minf", Atom("dinf", FullAtom("dref", 0, 0, dref)) + Stbl(t));
  const std::string mdia = Atom("mdia", FullAtom("mdhd", version1, 0, mdhd) + FullAtom("hdlr", 0, 0, hdlr) + minf);
  return Atom("trak", FullAtom("tkhd", version1, 0xF, tkhd) + mdia);
}

}  // namespace

std::string VideoStsd(const char* format, uint16_t width, uint16_t height) {
  ByteBuilder entry;
  entry.fourcc(format).zeros(6).u16(1).u16(0).u16(0).fourcc("appl").u32(0).u32(0x200);
  entry.u16(width).u16(height).u32(72u << 16).u32(72u << 16).u32(0).u16(1).zeros(32).u16(24).u16(0xFFFF);
  return FullAtom("stsd", 0, 0, ByteBuilder().u32(1).u32(static_cast<uint32_t>(entry.size() + 4)).bytes(entry));
}

std::string SoundStsd(const char* format, uint16_t channels, uint16_t bits, uint16_t rate) {
  ByteBuilder entry;
  entry.fourcc(format).zeros(6).u16(1).zeros(8).u16(channels).u16(bits).zeros(4).u32(uint32_t(rate) << 16);
  return FullAtom("stsd", 0, 0, ByteBuilder().u32(1).u32(static_cast<uint32_t>(entry.size() + 4)).bytes(entry));
}

std::string TimecodeStsd(uint8_t framesPerSecond, bool dropFrame, uint32_t size) {
  ByteBuilder entry;
  entry.fourcc("tmcd").zeros(6).u16(1).u32(0).u32(dropFrame ? 1 : 0);
  entry.u32(framesPerSecond == 30 ? 30000 : framesPerSecond * 100u).u32(framesPerSecond == 30 ? 1001 : 100);
  entry.u8(framesPerSecond).u8(0);
  std::string atom = FullAtom("stsd", 0, 0, ByteBuilder().u32(1).u32(static_cast<uint32_t>(entry.size() + 4)).bytes(entry));
  atom.resize(size, '\0');
  atom[0] = char(size >> 24), atom[1] = char(size >> 16), atom[2] = char(size >> 8), atom[3] = char(size);
  return atom;
}

std::string AliasDrefEntry(const std::string& hfsPath, const std::string& posixPath, bool selfReference) {
  // The alias record: a fixed part of 150 bytes (the name the reader falls
  // back on has its length byte at entry offset 70), then tagged records.
  ByteBuilder alias;
  alias.zeros(58).u8(9).bytes("fixed.mov");
  while (alias.size() < 150) alias.u8(0);
  for (auto [id, text] : {std::pair<uint16_t, std::string>(2, hfsPath), {18, posixPath}}) {
    if (text.empty()) continue;
    alias.u16(id).u16(static_cast<uint16_t>(text.size())).bytes(text);
    if (text.size() & 1) alias.u8(0);
  }
  alias.u16(0xFFFF).u16(0);
  return FullAtom("alis", 0, selfReference ? 1 : 0, alias);
}

std::string UrlDrefEntry(const std::string& fileName, bool selfReference) {
  return FullAtom("url ", 0, selfReference ? 1 : 0, ByteBuilder().zeros(16).bytes(fileName).u8(0));
}

std::string QtFile(const std::string& payload, std::vector<QtWriterTrack> tracks, bool relativeToPayload,
                   bool version1, const std::string& moovTail) {
  const std::string ftyp = Atom("ftyp", ByteBuilder().fourcc("qt  ").u32(0x200).fourcc("qt  "));
  uint64_t duration = 0;
  for (auto& t : tracks) {
    if (relativeToPayload)
      for (auto& o : t.offsets) o += ftyp.size() + 8;
    if (t.timescale) duration = std::max<uint64_t>(duration, uint64_t(t.sampleDuration) * t.sizes.size() * 600 / t.timescale);
  }
  ByteBuilder mvhd;
  Times(mvhd, 600, duration, version1).u32(0x00010000).u16(0x0100).zeros(10).bytes(std::string(kMatrix, 36));
  mvhd.zeros(24).u32(static_cast<uint32_t>(tracks.size() + 1));
  std::string moov = FullAtom("mvhd", version1, 0, mvhd);
  for (const auto& t : tracks) moov += Trak(t, version1);
  return ftyp + Atom("mdat", payload) + Atom("moov", moov + moovTail);
}

}  // namespace oxltest
