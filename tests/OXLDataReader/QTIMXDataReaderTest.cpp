// CQTIMXDataReader: IMX samples come out without their key-length-value
// wrapping, one per read, whatever the file stored.
#include <gtest/gtest.h>

#include "OXLDataReader/QTIMXDatareader.h"
#include "QTFileCases.h"
#include "support/ByteBuilder.h"
#include "support/FFmpegTools.h"
#include "support/MediaFixtureCache.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

const char kD10[] =
    "-f lavfi -i testsrc2=s=720x608:r=25 -frames:v 3 -pix_fmt yuv422p -c:v mpeg2video -intra_vlc 1 "
    "-non_linear_quant 1 -qmin 1 -qmax 12 -flags +ildct+low_delay -dc 10 -ps 1 -g 1 -b:v 50M -minrate 50M "
    "-maxrate 50M -bufsize 2000000 -rc_init_occupancy 2000000 -rc_max_vbv_use 1 -rc_min_vbv_use 1 -top 1 -tag:v mx5p";

const std::string kSmpteKey("\x06\x0e\x2b\x34\x01\x02\x01\x01\x0d\x01\x03\x01\x05\x01\x01\x00", 16);

// The next read's result and, when it succeeded, its bytes.
std::pair<int, std::string> ReadNext(CQTIMXDataReader& reader, unsigned int bufferSize = 4096) {
  std::vector<unsigned char> buffer(bufferSize);
  unsigned char* data = buffer.data();
  unsigned int size = 0;
  double time = 0;
  const int result = reader.GetNextData(data, bufferSize, &size, &time);
  return {result, result == 0 ? std::string(reinterpret_cast<const char*>(data), size) : std::to_string(size)};
}

std::vector<std::string> ReadAllMd5(const std::string& path) {
  CQTIMXDataReader reader("imx");
  EXPECT_EQ(reader.Open(path.c_str(), false), 0);
  std::vector<std::string> md5s;
  for (const auto& d : qtfiles::ReadForward(reader, 100)) md5s.push_back(Md5Hash(d.bytes));
  return md5s;
}

TEST(QtImxFiles, PlainAndKlvWrappedSamplesDeliverThePictures) {
  if (!FindMediaFixture("d10.mov", {kD10}) && !HasFFmpegTools()) GTEST_SKIP() << "no ffmpeg";
  const auto& plain = GetMediaFixture("d10.mov", {kD10});
  const auto& wrapped = GetMediaFixture("d10_imxdump.mov", {std::string(kD10) + " -bsf:v imxdump"});
  std::vector<std::string> expected;
  for (const auto& p : plain.probe.Packets("v:0")) expected.push_back(p.dataHash);
  ASSERT_EQ(expected.size(), 3u);
  // The wrapped file really holds other bytes than the pictures.
  EXPECT_NE(wrapped.probe.Packets("v:0")[0].dataHash, expected[0]);
  EXPECT_EQ(ReadAllMd5(plain.path), expected);
  EXPECT_EQ(ReadAllMd5(wrapped.path), expected);
}

std::string Pattern(size_t size, char seed) {
  std::string s;
  while (s.size() < size) s.push_back(static_cast<char>(seed + s.size() * 7));
  return s;
}

std::string Wrapped(const std::string& data, uint32_t length, size_t padding) {
  return ByteBuilder().bytes(kSmpteKey).u8(0x83).u24(length).bytes(data).zeros(padding).str();
}

// A wrapped sample gives its value and skips the padding, and a buffer one
// byte short of the sample is refused with its size; a plain one, or one too short
// even for the label, is delivered whole; a value running past its sample,
// or a sample shorter than its key and length, is an error (100) the cursor
// stays on until skipped.
TEST(QtImxSamples, WrappedSamplesGiveTheirValueAndDamagedOnesCanBeSkipped) {
  const std::string data = Pattern(256, 1), plain = Pattern(300, 2), tiny("\x06\x0e", 2);
  QtWriterTrack track;
  std::string payload;
  for (const auto& s : {Wrapped(data, 256, 100), plain, Wrapped(Pattern(30, 6), 31, 0), kSmpteKey.substr(0, 10), tiny}) {
    track.offsets.push_back(payload.size());
    track.sizes.push_back(static_cast<uint32_t>(s.size()));
    payload += s;
  }
  track.stsd = VideoStsd("mx5p", 720, 608);
  TempDir dir;
  CQTIMXDataReader reader("imx");
  ASSERT_EQ(reader.Open(dir.write("imx.mov", QtFile(payload, {track}, true)).c_str(), false), 0);
  EXPECT_EQ(ReadNext(reader, 375), std::make_pair(101, std::string("376")));  // the whole sample must fit
  EXPECT_EQ(ReadNext(reader).second, data);
  EXPECT_EQ(ReadNext(reader).second, plain);
  for (int damaged = 0; damaged < 2; ++damaged) {
    EXPECT_EQ(ReadNext(reader).first, 100);
    EXPECT_EQ(ReadNext(reader).first, 100);
    ASSERT_EQ(reader.SkipNextData(), 0);
  }
  EXPECT_EQ(ReadNext(reader).second, tiny);
  EXPECT_EQ(ReadNext(reader).first, 100);
}

}  // namespace
