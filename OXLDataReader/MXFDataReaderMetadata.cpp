// Descriptive metadata of the header partition.
#include <cstring>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFDescriptiveMetadata.h"
#include "OXLDataReader/MXFUtils.h"

namespace {

const unsigned char kPrefaceKey[16] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01,
                                       0x0D, 0x01, 0x01, 0x01, 0x01, 0x01, 0x2F, 0x00};

// A cursor on the value of the first KLV with `key` in the area, or false.
bool FindValue(const unsigned char* key, const std::string& area, const unsigned char*& value, unsigned int& size) {
  value = reinterpret_cast<const unsigned char*>(area.data());
  unsigned int left = static_cast<unsigned int>(area.size());
  if (!CMXFDataReader::FindMXFKey(key, value, left)) return false;
  const long length = CMXFDataReader::ReadKeyLength(value, left);
  if (length < 0 || static_cast<unsigned long>(length) > left) return false;
  size = static_cast<unsigned int>(length);
  return true;
}

}  // namespace

int CMXFDataReader::LookForDescriptiveMetadata(Oxl_Mxf::CMXFPartition* partition) {
  if (!partition || LoadHeaderMetadata(*partition) != 0) return 2;
  const std::string& area = partition->m_HeaderMetadata;
  const unsigned char* preface = nullptr;
  unsigned int prefaceSize = 0;
  if (!FindValue(kPrefaceKey, area, preface, prefaceSize)) return 0;

  std::vector<std::shared_ptr<const MxfDM::IMxfDMKey>> schemes;
  Oxl_Mxf::ForEachLocalItem(preface, prefaceSize, [&](const unsigned char* tag, const unsigned char* v, unsigned int n) {
    if (partition->m_LocalKeys.GetLocalTag(tag) != Oxl_Mxf::Tag_DMSchemes) return;
    for (const std::string& label : MxfUtils::ReadArray(v, n))
      if (auto key = MxfDM::GetMxfDMKeyFromSchemeKey(label)) schemes.push_back(key);
  });

  for (const auto& scheme : schemes) {
    const std::string frameworkKey = scheme->GetFrameworkKey();
    const unsigned char* value = nullptr;
    unsigned int size = 0;
    if (!FindValue(reinterpret_cast<const unsigned char*>(frameworkKey.data()), area, value, size)) continue;
    const auto framework = MxfDM::GetFrameworkFromKey(scheme);
    if (!framework) continue;
    (void)framework->InitFromBuffer(value, size, partition->m_LocalKeys, GetStartTimeCode());
    if (auto metadata = framework->GetMetadata()) m_MetadataList.push_back(metadata);
  }
  return 0;
}
