#pragma once
// MXF descriptive metadata (DM): the schemes a preface lists, and the
// framework sets that carry AMWA AS-11 core, UK DPP AS-11 and the camera's
// non-real-time XML to the host as metadata objects.
#include <memory>
#include <string>

#include "OXLDataReader/MXFLocalKeyTable.h"
#include "OxlTbx/TimeCode.h"
#include "qelCore/MediaDescription.h"

namespace MxfDM {

// A DM scheme: the label of the preface's DMSchemes list and the key of the
// scheme's framework set (both 16-byte strings).
class IMxfDMKey {
 public:
  virtual ~IMxfDMKey() = default;
  virtual int GetType() const = 0;
  virtual std::string GetSchemeKey() const = 0;
  virtual std::string GetFrameworkKey() const = 0;
};

enum DMType : int { DM_As11Core = 0, DM_As11Segmentation = 1, DM_As11Ukdpp = 2, DM_TextBased = 3 };

class MxfDMKeyAs11Core : public IMxfDMKey {
 public:
  int GetType() const override { return DM_As11Core; }
  std::string GetSchemeKey() const override;
  std::string GetFrameworkKey() const override;
};

class MxfDMKeyAs11Segmentation : public IMxfDMKey {
 public:
  int GetType() const override { return DM_As11Segmentation; }
  std::string GetSchemeKey() const override;
  std::string GetFrameworkKey() const override;
};

class MxfDMKeyAs11Ukdpp : public IMxfDMKey {
 public:
  int GetType() const override { return DM_As11Ukdpp; }
  std::string GetSchemeKey() const override;
  std::string GetFrameworkKey() const override;
};

class MxfDMKeyTextBased : public IMxfDMKey {
 public:
  int GetType() const override { return DM_TextBased; }
  std::string GetSchemeKey() const override;
  std::string GetFrameworkKey() const override;
};

// A framework set reader. InitFromBuffer reads the set's value (the bytes
// after its key and length) with the file's local tags; the start timecode
// gives the video system and the material's start for derived times. It
// returns false when a property value is malformed, keeping what was read
// before; GetMetadata is empty until a metadata object has been made.
class IDmFramework {
 public:
  virtual ~IDmFramework() = default;
  virtual int GetType() const = 0;
  virtual bool InitFromBuffer(const unsigned char* value, unsigned int size, const Oxl_Mxf::LocalKeyTable& tags,
                              const CTimeCode& start) = 0;
  virtual std::shared_ptr<qel::IMetadata> GetMetadata() const = 0;
};

class DmFrameworkBase : public IDmFramework {
 public:
  std::shared_ptr<qel::IMetadata> GetMetadata() const override { return m_Metadata; }

 protected:
  std::shared_ptr<qel::IMetadata> m_Metadata;
};

class DmFrameworkAs11Core : public DmFrameworkBase {
 public:
  int GetType() const override { return DM_As11Core; }
  bool InitFromBuffer(const unsigned char* value, unsigned int size, const Oxl_Mxf::LocalKeyTable& tags,
                      const CTimeCode& start) override;
};

class DmFrameworkAs11Ukdpp : public DmFrameworkBase {
 public:
  int GetType() const override { return DM_As11Ukdpp; }
  bool InitFromBuffer(const unsigned char* value, unsigned int size, const Oxl_Mxf::LocalKeyTable& tags,
                      const CTimeCode& start) override;
};

// Carries a NonRealTimeMeta XML document; the metadata object (holding the
// VideoFrame element's videoCodec) exists only when the document has one.
class DmFrameworkTextBased : public DmFrameworkBase {
 public:
  int GetType() const override { return DM_TextBased; }
  bool InitFromBuffer(const unsigned char* value, unsigned int size, const Oxl_Mxf::LocalKeyTable& tags,
                      const CTimeCode& start) override;
};

// The scheme whose label equals the 16 bytes, or empty.
std::shared_ptr<const IMxfDMKey> GetMxfDMKeyFromSchemeKey(std::string schemeKey);
// A new framework reader of the key's type; empty for the segmentation scheme.
std::shared_ptr<IDmFramework> GetFrameworkFromKey(std::shared_ptr<const IMxfDMKey> key);

}  // namespace MxfDM
