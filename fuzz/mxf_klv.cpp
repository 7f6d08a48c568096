// MXF KLV primitives: BER lengths, key search, fill items and run-in over
// the reader's window (a small window, so that every search crosses
// refills) and over memory; the typed value readers, batches, local sets and
// primer packs.
#include <vector>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFLocalKeyTable.h"
#include "OXLDataReader/MXFUtils.h"
#include "qelCore/QELRuntimeError.h"
#include "support/FuzzSupport.h"
#include "support/MemoryFileReader.h"

namespace {

class WindowReader : public CMXFDataReader {
 public:
  WindowReader() : CMXFDataReader(OXLDataReader::Video_Data, 64, "fuzz") {}

 protected:
  int Initialize(bool) override { return 0; }
};

const unsigned char kPartitionPrefix[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01,
                                            0x0D, 0x01, 0x02, 0x01, 0x01, 0x02, 0x04, 0x00};

void OverWindow(const uint8_t* data, size_t size, unsigned int mode) {
  WindowReader reader;
  if (reader.Open(new MemoryFileReader(data, size, L"/fuzz/input.mxf"), false) != 0) return;
  if (mode & 1) reader.SkipRunIn();
  for (int i = 0; i < 64; ++i) {
    unsigned char key[16] = {};
    long length = 0;
    unsigned int lengthSize = 0;
    switch ((mode >> 1) + i & 3) {
      case 0:
        if (!reader.ReadMXFKey(key, &length, &lengthSize)) return;
        break;
      case 1:
        if (!reader.FindMXFKey(kPartitionPrefix, &length, 13)) return;
        break;
      case 2: {
        unsigned long skipped = 0;
        if (reader.SkipFillItem(skipped) != 0) return;
        break;
      }
      default:
        if (reader.ReadKeyLength(&lengthSize) < 0) return;
    }
  }
}

void OverMemory(const std::vector<unsigned char>& bytes) {
  const unsigned char* p = bytes.data();
  unsigned int remaining = bytes.size();
  while (CMXFDataReader::ReadKeyLength(p, remaining) >= 0 && remaining) {
  }
  p = bytes.data();
  remaining = bytes.size();
  while (CMXFDataReader::FindMXFKey(kPartitionPrefix, p, remaining)) {
  }
}

// The typed readers document their failure: a value that does not fit throws the framework error.
void Typed(const std::vector<unsigned char>& bytes) {
  const unsigned char* p = bytes.empty() ? nullptr : bytes.data();
  const unsigned int n = bytes.size();
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadUint8", MxfUtils::ReadUint8(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadBool", MxfUtils::ReadBool(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadInt16", MxfUtils::ReadInt16(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadVersionType", MxfUtils::ReadVersionType(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadUint32", MxfUtils::ReadUint32(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadInt64", MxfUtils::ReadInt64(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadRational", MxfUtils::ReadRational(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadTimeStamp", MxfUtils::ReadTimeStamp(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadUtf16", MxfUtils::ReadUtf16(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadUtf8", MxfUtils::ReadUtf8(p, n));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadArray", MxfUtils::ReadArray(p, n));
  Oxl_Mxf::LocalKeyTable table;
  Oxl_Mxf::InitializeLocalMap(table);
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadPrimerPack", Oxl_Mxf::ReadPrimerPack(p, n, table));
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ForEachLocalItem",
                 Oxl_Mxf::ForEachLocalItem(p, n, [&](const unsigned char* tag, const unsigned char*, unsigned int) {
                   table.GetLocalTag(tag);
                 }));
  if (n >= 16) Oxl_Mxf::FindPropertyByLabel(p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  if (size < 1) return 0;
  const unsigned int mode = data[0];
  // Exact copies, so that ASan sees any read past the end.
  const std::vector<unsigned char> bytes(data + 1, data + size);
  OXL_FUZZ_NOTHROW("KLV over the window", OverWindow(data + 1, size - 1, mode));
  OXL_FUZZ_NOTHROW("KLV over memory", OverMemory(bytes));
  Typed(bytes);
  return 0;
}
