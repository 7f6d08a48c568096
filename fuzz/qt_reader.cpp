// QuickTime/MP4 reader on arbitrary bytes: open, describe, walk forwards and
// backwards, position at the boundary times and fields, for every stream of
// both data types. Plain and fragmented movies alike: the input is the file.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "OXLDataReader/QTDatareader.h"
#include "qelCore/QELRuntimeError.h"
#include "support/FuzzSupport.h"
#include "support/MemoryFileReader.h"

namespace {

const int kMaxReads = 48;
const unsigned int kMaxBuffer = 8u << 20;

// One read with the reader's own answer to a buffer that is too small.
int ReadOne(CQTDataReader& reader, std::vector<unsigned char>& buffer, bool forwards) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    unsigned char* data = buffer.data();
    unsigned int size = 0;
    double time = 0;
    const int r = forwards ? reader.GetNextData(data, buffer.size(), &size, &time)
                           : reader.GetPrevData(data, buffer.size(), &size, &time);
    if (r != 101 || size <= buffer.size() || size > kMaxBuffer) return r;
    buffer.resize(size);
  }
  return 101;
}

void Walk(CQTDataReader& reader, std::vector<unsigned char>& buffer, bool forwards) {
  for (int i = 0; i < kMaxReads; ++i)
    if (ReadOne(reader, buffer, forwards) != 0) return;
}

void Positions(CQTDataReader& reader, std::vector<unsigned char>& buffer) {
  const double duration = reader.GetActiveTrackDuration();
  const double times[] = {0.0, -1.0, duration, duration / 2, duration - 0.001, duration + 1.0, 1e300,
                          std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
  for (double t : times) {
    double seconds = t;
    if (reader.GoToTimeOffset(seconds) == 0) ReadOne(reader, buffer, true);
    seconds = t;
    if (reader.GoToTimeOffset(seconds) == 0) ReadOne(reader, buffer, false);
  }
  unsigned int in = 0, out = 0, system = 0;
  const bool hasInOut = reader.GetInOut(&in, &out, &system) == 0;
  const unsigned int fields[] = {0, in, out, out + 1, out - 1, 0xFFFFFFFFu};
  for (unsigned int f : fields) {
    if (!hasInOut && f != 0) continue;
    unsigned int reached = 0;
    if (reader.GoToFieldOffset(f, &reached) == 0) ReadOne(reader, buffer, true);
  }
  reader.SkipNextData();
  reader.SkipPrevData();
  unsigned int first = 0, second = 0;
  unsigned char flag = 0;
  reader.GetSampleInfos(&first, &second, &flag);
}

void Describe(CQTDataReader& reader) {
  OXLDataReader::VIDEO_INFO info{};
  reader.GetVideoInfo(info);
  std::vector<MediaTool::AudioStream<const char*>> audio;
  reader.GetAudioInfos(audio);
  unsigned char* descriptor = nullptr;
  if (reader.GetDataDescriptor(descriptor) > 0) delete[] descriptor;
  reader.GetAudioPrimingDuration();
  reader.IsProgressive();
  // The framework's time limits may refuse a damaged track with its documented error.
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "GetTimeLimits", reader.GetTimeLimits());
}

void Exercise(CQTDataReader& reader, std::vector<unsigned char>& buffer) {
  Describe(reader);
  Walk(reader, buffer, true);
  reader.GoToDataEnd();
  Walk(reader, buffer, false);
  reader.GoToDataStart();
  Positions(reader, buffer);
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "GetNextDataSampleContainer", reader.GetNextDataSampleContainer());
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "GetPrevDataSampleContainer", reader.GetPrevDataSampleContainer());
}

void Run(const uint8_t* data, size_t size, const std::wstring& path, OXLDataReader::DataType type) {
  std::vector<unsigned char> buffer(256u << 10);
  CQTDataReader reader(type, "fuzz");
  int opened = -1;
  OXL_FUZZ_NOTHROW("CQTDataReader::Open", opened = reader.Open(new MemoryFileReader(data, size, path), false));
  if (opened != 0) return;
  OXL_FUZZ_NOTHROW("walk", Exercise(reader, buffer));
  int streams[8] = {};
  int count = 0;
  OXL_FUZZ_NOTHROW("GetDataStreams", reader.GetDataStreams(nullptr, 0); count = reader.GetDataStreams(streams, 8));
  // Streams are selected by their index among the tracks of the reader's type.
  for (int i = 0; i < count && i < 4; ++i) {
    int selected = -1;
    OXL_FUZZ_NOTHROW("SelectDataStream", selected = reader.SelectDataStream(i));
    if (selected == 0) OXL_FUZZ_NOTHROW("walk selected stream", Exercise(reader, buffer));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  // The movie is read from memory; the fragments a random-access table lists
  // are read through a second reader the movie reader opens by its path.
  const std::string path = oxlfuzz::WriteInputFile(data, size, "input.mp4");
  const std::wstring wide(path.begin(), path.end());
  Run(data, size, wide, OXLDataReader::Video_Data);
  Run(data, size, wide, OXLDataReader::Audio_Data);
  return 0;
}
