// IMX frame reader on arbitrary bytes: open (the MXF walk, then the essence
// start and edit-unit size), then frames forwards with read-ahead on its
// thread, backwards, by field and time, and the index lookups.
#include <cmath>
#include <limits>
#include <vector>

#include "OXLDataReader/IMXVideoReader.h"
#include "qelCore/QELRuntimeError.h"
#include "support/FuzzSupport.h"
#include "support/MemoryFileReader.h"

namespace {

const int kMaxReads = 24;

// Frames one way; 101/110/111 leave the position, so step over them as a host would.
void Walk(CIMXVideoReader& reader, std::vector<unsigned char>& buffer, bool forwards) {
  for (int i = 0; i < kMaxReads; ++i) {
    unsigned char* data = buffer.data();
    unsigned int size = 0;
    double time = 0;
    const int r = forwards ? reader.GetNextData(data, buffer.size(), &size, &time)
                           : reader.GetPrevData(data, buffer.size(), &size, &time);
    if (r == 101 || r == 110 || r == 111) {
      if ((forwards ? reader.SkipNextData() : reader.SkipPrevData()) != 0) return;
      continue;
    }
    if (r != 0) return;
  }
}

void Positions(CIMXVideoReader& reader, std::vector<unsigned char>& buffer) {
  unsigned int in = 0, out = 0, system = 0;
  reader.GetInOut(&in, &out, &system);
  const unsigned int fields[] = {0, 1, out, out + 1, out - 1, 0xFFFFFFFFu};
  for (unsigned int f : fields) {
    unsigned int reached = 0;
    if (reader.GoToFieldOffset(f, &reached) == 0) Walk(reader, buffer, false);
  }
  const double times[] = {0.0, -1.0, 0.5, 1e300, std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity()};
  for (double t : times) {
    double seconds = t;
    if (reader.GoToTimeOffset(seconds) == 0) Walk(reader, buffer, true);
  }
  for (unsigned int unit : {0u, 1u, out, 0xFFFFFFFFu}) {
    reader.GetEditUnitPositionFromIndexTable(unit);
    reader.GetEssencePositionFromIndexTable(unit, 0);
    reader.GetEssencePositionFromIndexTable(unit, 0xFFFFFFFFu);
  }
}

void Exercise(CIMXVideoReader& reader) {
  OXLDataReader::VIDEO_INFO info{};
  reader.GetVideoInfo(info);
  unsigned int rate = 0, bytes = 0;
  unsigned char aspect = 0;
  reader.GetSampleInfos(&rate, &bytes, &aspect);
  // Frames of the inputs worth reading are small; a larger one gets 101 and is stepped over.
  std::vector<unsigned char> buffer(256 * 1024);
  Walk(reader, buffer, true);
  reader.GoToDataEnd();
  Walk(reader, buffer, false);
  Positions(reader, buffer);
  reader.GoToDataStart();
  unsigned char* inside = nullptr;
  unsigned int size = 0;
  double time = 0;
  reader.GetNextData(inside, 0, &size, &time);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  CIMXVideoReader reader("fuzz");
  int opened = -1;
  // A property value shorter than its type is documented to throw out of Initialize.
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "CIMXVideoReader::Open",
                 opened = reader.Open(new MemoryFileReader(data, size, L"/fuzz/input.mxf"), false));
  if (opened != 0) return 0;
  OXL_FUZZ_NOTHROW("walk", Exercise(reader));
  OXL_FUZZ_NOTHROW("Close", reader.Close());
  return 0;
}
