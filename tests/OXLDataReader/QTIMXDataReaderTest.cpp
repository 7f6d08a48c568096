// CQTIMXDataReader: IMX samples come out without their key-length-value
// wrapping, one per read, whatever the file stored. The file table reads
// FFmpeg's D-10 movie against ffprobe; this reader adds the unwrapping.
#include <gtest/gtest.h>

#include "OXLDataReader/QTIMXDatareader.h"
#include "support/ByteBuilder.h"
#include "support/QtMovieWriter.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

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

std::string Wrapped(const std::string& data, uint32_t length, size_t padding) {
  return ByteBuilder().bytes(kSmpteKey).u8(0x83).u24(length).bytes(data).zeros(padding).str();
}

// A wrapped sample gives its value and skips the padding, and a buffer one
// byte short of the sample is refused with its size; a plain one, or one too short
// even for the label, is delivered whole; a value running past its sample,
// or a sample shorter than its key and length, is an error (100) the cursor
// stays on until skipped.
TEST(QtImxSamples, WrappedSamplesGiveTheirValueAndDamagedOnesCanBeSkipped) {
  const std::string data(256, 'd'), plain(300, 'p'), tiny("\x06\x0e", 2);
  QtWriterTrack track;
  std::string payload;
  for (const auto& s : {Wrapped(data, 256, 100), plain, Wrapped(std::string(30, 'v'), 31, 0), kSmpteKey.substr(0, 10), tiny}) {
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
