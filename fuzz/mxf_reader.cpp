// MXF reader on arbitrary bytes: Initialize walks partitions, primer,
// header metadata, index segments and descriptive metadata; then what a host
// asks of an opened file.
#include "OXLDataReader/MXFDataReader.h"
#include "qelCore/QELRuntimeError.h"
#include "support/FuzzSupport.h"
#include "support/MemoryFileReader.h"

namespace {

void Describe(CMXFDataReader& reader) {
  for (const auto& metadata : reader.GetMetadataList()) (void)metadata;
  unsigned int in = 0, out = 0, system = 0;
  reader.GetInOut(&in, &out, &system);
  OXLDataReader::VIDEO_INFO info{};
  reader.GetVideoInfo(info);
  reader.GetStartTimeCode();
  OXLDataReader::VideoDataType type = OXLDataReader::Unknown_Video;
  reader.AnalyzeMetadata(type);
  reader.AnalyseBitstream(type);
  reader.GoToDataEnd();
  reader.GoToDataStart();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  CMXFDataReader reader(OXLDataReader::Video_Data, 16384, "fuzz");
  int opened = -1;
  // A property value shorter than its type is documented to throw out of Initialize.
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "CMXFDataReader::Open",
                 opened = reader.Open(new MemoryFileReader(data, size, L"/fuzz/input.mxf"), false));
  if (opened != 0) return 0;
  OXL_FUZZ_NOTHROW("describe", Describe(reader));
  return 0;
}
