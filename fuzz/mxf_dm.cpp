// MXF descriptive metadata framework sets: InitFromBuffer of each framework
// on a set value, with the static tags, a primer that declares every known
// property label (dynamic tag 0x8000 + the property's index in our table, which the
// starting inputs use), and primer bytes from the input on top.
//
// Input: byte 0 picks the framework and the start timecode's system, bytes
// 1-2 the length of the input's primer value, then that value, then the set value.
#include <vector>

#include "OXLDataReader/MXFDescriptiveMetadata.h"
#include "OXLDataReader/MXFLocalKeyTable.h"
#include "qelCore/QELRuntimeError.h"
#include "support/FuzzSupport.h"

namespace {

const Oxl_Mxf::LocalKeyTable& KnownTags() {
  static const Oxl_Mxf::LocalKeyTable table = [] {
    Oxl_Mxf::LocalKeyTable t;
    Oxl_Mxf::InitializeLocalMap(t);
    unsigned int count = 0;
    const Oxl_Mxf::PropertyDefinition* rows = Oxl_Mxf::GetPropertyDefinitions(count);
    std::vector<unsigned char> primer = {0, 0, 0, 0, 0, 0, 0, 18};
    unsigned int items = 0;
    for (unsigned int i = 0; i < count; ++i) {
      if (!rows[i].hasLabel) continue;
      primer.push_back(0x80);
      primer.push_back(static_cast<unsigned char>(rows[i].tag));
      primer.insert(primer.end(), rows[i].label, rows[i].label + 16);
      ++items;
    }
    primer[3] = static_cast<unsigned char>(items);
    primer[2] = static_cast<unsigned char>(items >> 8);
    Oxl_Mxf::ReadPrimerPack(primer.data(), primer.size(), t);
    return t;
  }();
  return table;
}

std::shared_ptr<MxfDM::IDmFramework> Framework(unsigned int kind) {
  switch (kind % 3) {
    case 0: return std::make_shared<MxfDM::DmFrameworkAs11Core>();
    case 1: return std::make_shared<MxfDM::DmFrameworkAs11Ukdpp>();
    default: return std::make_shared<MxfDM::DmFrameworkTextBased>();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  oxlfuzz::SilenceLogging();
  if (size < 3) return 0;
  const unsigned int kind = data[0];
  size_t primerSize = static_cast<size_t>(data[1]) << 8 | data[2];
  data += 3;
  size -= 3;
  if (primerSize > size) primerSize = size;
  Oxl_Mxf::LocalKeyTable tags = KnownTags();
  // A primer batch that does not fit its bytes is documented to throw; the
  // tags read before stay.
  OXL_FUZZ_ALLOW(qel::QELRuntimeError, "ReadPrimerPack",
                 Oxl_Mxf::ReadPrimerPack(primerSize ? data : nullptr, primerSize, tags));
  // An exact copy of the set value, so that ASan sees any read past its end.
  const std::vector<unsigned char> value(data + primerSize, data + size);
  const CTimeCode start(36000 * 50 + (kind >> 2), static_cast<OxlTbx::VideoSystem>((kind >> 2) % 11));
  auto framework = Framework(kind);
  OXL_FUZZ_NOTHROW("InitFromBuffer", {
    framework->InitFromBuffer(value.empty() ? nullptr : value.data(), value.size(), tags, start);
    framework->GetMetadata();
  });
  return 0;
}
