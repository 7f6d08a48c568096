// CQTIMXDataReader: IMX samples come out without their key-length-value
// wrapping, one per read, whatever the file stored.
#include <gtest/gtest.h>

#include "OXLDataReader/QTIMXDatareader.h"
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

struct Read {
  int result = 0;
  unsigned int size = 0;
  std::string bytes;
};

Read ReadNext(CQTIMXDataReader& reader, unsigned int bufferSize) {
  std::vector<unsigned char> buffer(bufferSize ? bufferSize : 1);
  unsigned char* data = buffer.data();
  Read r;
  double time = 0;
  r.result = reader.GetNextData(data, bufferSize, &r.size, &time);
  if (r.result == 0) r.bytes.assign(reinterpret_cast<const char*>(data), r.size);
  return r;
}

std::vector<std::string> ReadAllMd5(const std::string& path) {
  CQTIMXDataReader reader("imx");
  EXPECT_EQ(reader.Open(path.c_str(), false), 0);
  std::vector<std::string> md5s;
  for (int i = 0; i < 100; ++i) {
    const Read r = ReadNext(reader, 1 << 20);
    if (r.result != 0) {
      EXPECT_EQ(r.result, 100);
      break;
    }
    md5s.push_back(Md5Hash(r.bytes));
  }
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

// A movie with one video sample per entry of `samples`.
std::string WriteMovie(const TempDir& dir, const std::vector<std::string>& samples) {
  QtWriterTrack track;
  std::string payload;
  for (const auto& s : samples) {
    track.offsets.push_back(payload.size());
    track.sizes.push_back(static_cast<uint32_t>(s.size()));
    payload += s;
  }
  track.stsd = VideoStsd("mx5p", 720, 608);
  return dir.write("imx.mov", QtFile(payload, {track}, true));
}

std::string Pattern(size_t size, char seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 7);
  return s;
}

std::string Wrapped(const std::string& data, uint32_t length, size_t padding) {
  return ByteBuilder().bytes(kSmpteKey).u8(0x83).u24(length).bytes(data).zeros(padding).str();
}

class QtImxSamples : public testing::Test {
 protected:
  void Open(const std::vector<std::string>& samples) { ASSERT_EQ(reader.Open(WriteMovie(dir, samples).c_str(), false), 0); }
  TempDir dir;
  CQTIMXDataReader reader{"imx"};
};

// A wrapped sample gives its value and skips the padding; a plain one, or one
// too short even for the label, is delivered whole; a value running past its
// sample, or a sample shorter than its key and length, is an error (100)
// the cursor stays on until skipped.
TEST_F(QtImxSamples, WrappedSamplesGiveTheirValueAndDamagedOnesCanBeSkipped) {
  const std::string data = Pattern(256, 1), plain = Pattern(300, 2), tiny("\x06\x0e", 2);
  Open({Wrapped(data, 256, 100), plain, Wrapped(Pattern(30, 6), 31, 0), kSmpteKey.substr(0, 10), tiny});
  EXPECT_EQ(ReadNext(reader, 4096).bytes, data);
  EXPECT_EQ(ReadNext(reader, 4096).bytes, plain);
  for (int damaged = 0; damaged < 2; ++damaged) {
    EXPECT_EQ(ReadNext(reader, 4096).result, 100);
    EXPECT_EQ(ReadNext(reader, 4096).result, 100);
    ASSERT_EQ(reader.SkipNextData(), 0);
  }
  EXPECT_EQ(ReadNext(reader, 4096).bytes, tiny);
  EXPECT_EQ(ReadNext(reader, 4096).result, 100);
}

TEST_F(QtImxSamples, SampleOneByteLargerThanTheBufferStaysToBeReadAgain) {
  const std::string first = Pattern(1001, 3);
  Open({first, Pattern(10, 4)});
  Read r = ReadNext(reader, 1000);
  EXPECT_EQ(r.result, 101);
  EXPECT_EQ(r.size, 1001u);
  EXPECT_EQ(ReadNext(reader, 1001).bytes, first);
}

TEST_F(QtImxSamples, SampleBeyondTheFileEndGivesEndOfData) {
  QtWriterTrack track;
  track.offsets = {0};
  track.sizes = {5000};  // the payload holds 100 bytes
  track.stsd = VideoStsd("mx5p", 720, 608);
  ASSERT_EQ(reader.Open(dir.write("cut.mov", QtFile(Pattern(100, 8), {track}, true)).c_str(), false), 0);
  EXPECT_EQ(ReadNext(reader, 8192).result, 100);
}

}  // namespace
