#include "OXLDataReader/OXLMediaIdentifier.h"

#include <algorithm>
#include <cstring>
#include <cwctype>

#include "OXLFileAccess/OXLAccessHandler.h"
#include "OxlTbx/TextEncoding.h"

namespace {

const unsigned int kFirstRead = 0x10000;

bool SameExtension(const std::wstring& a, const wchar_t* b) {
  const size_t length = std::wcslen(b);
  if (a.size() != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  return true;
}

bool Claims(const _TesterSpec& entry, const std::wstring& extension) {
  for (const wchar_t* claimed : entry.extensions)
    if (SameExtension(extension, claimed)) return true;
  return false;
}

}  // namespace

OXLMediaIdentifier::OXLMediaIdentifier(bool noExtension)
    : m_Testers{{QTTesterKind, {L"mov", L"mp4", L""}, 2}, {MxfTesterKind, {L"mxf", L"", L""}, 1}},
      m_Buffer(qel::CreateBuffer()),
      m_bNoExtension(noExtension) {}

OXLMediaIdentifier::~OXLMediaIdentifier() {
  m_Current.reset();  // a tester's reader uses the file reader: it goes first
}

void OXLMediaIdentifier::SetPreferredTester(_tester_type kind) {
  auto found = std::find_if(m_Testers.begin(), m_Testers.end(), [&](const _TesterSpec& s) { return s.kind == kind; });
  if (found != m_Testers.end()) found->priority = 5;
}

int OXLMediaIdentifier::SetFilePath(const wchar_t* path) {
  m_Path = path ? path : L"";
  SortTesterByExtension();
  return 0;
}

int OXLMediaIdentifier::SetFilePath(const char* utf8Path) {
  return SetFilePath(TextEncoding::Unicode::get8(utf8Path ? utf8Path : "").c_str());
}

// Ascending, so that the testers taken from the back come claiming testers
// first, then by priority.
void OXLMediaIdentifier::SortTesterByExtension() {
  const size_t dot = m_Path.find_last_of(L'.');
  const std::wstring extension =
      m_bNoExtension ? L".noextension" : (dot == std::wstring::npos ? m_Path : m_Path.substr(dot + 1));
  std::stable_sort(m_Testers.begin(), m_Testers.end(), [&](const _TesterSpec& a, const _TesterSpec& b) {
    const bool ma = Claims(a, extension), mb = Claims(b, extension);
    if (ma != mb) return mb;
    return a.priority < b.priority;
  });
}

void OXLMediaIdentifier::GetNextTester() {
  m_Current.reset();
  if (m_Testers.empty()) return;
  m_Current = CreateMediaTester(m_Testers.back().kind);
  m_Testers.pop_back();
}

int OXLMediaIdentifier::AssignFileReaderIfNeeded() {
  if (!m_Current || !m_Current->NeedFileReader()) return 0;
  if (!m_File) {
    m_File.reset(OXLAccessHandler::CreateFileReader(m_Path.c_str(), 0, ""));
    m_Buffer->Reserve(kFirstRead);
    if (!m_File) return 3;
    unsigned int read = 0;
    if (!m_Buffer->Resize(kFirstRead) || m_File->ReadFile(m_Buffer->GetData(), kFirstRead, &read) != 0) {
      m_File.reset();
      m_Buffer->Resize(0);
      return 10;
    }
    m_Buffer->Resize(read);
  }
  m_Current->SetFileReaderAndDataBuffer(m_File.get(), m_Buffer);
  return 0;
}

int OXLMediaIdentifier::FindCorrespondingTester() {
  for (;;) {
    GetNextTester();
    if (const int code = AssignFileReaderIfNeeded()) return code;
    if (!m_Current) return 2;
    m_Current->SetFilePath(m_Path);
    bool found = false;
    m_Current->CorrespondToFile(found);
    if (found) return 0;
  }
}

int OXLMediaIdentifier::GetFileFormat(qel::FileType& fileType, OXLDataReader::VideoDataType& videoType) {
  if (!m_Current)
    if (const int code = FindCorrespondingTester()) return code;
  return m_Current->GetFileFormat(fileType, videoType);
}

std::shared_ptr<IContextReader> OXLMediaIdentifier::GetContextReader() const {
  return m_Current ? m_Current->GetContextReader() : nullptr;
}

bool IsXML(const char* text) {
  if (!text) return false;
  if (std::strncmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
  return std::strncmp(text, "<?xml ", 6) == 0;
}

bool IsMXF(unsigned char* buffer, unsigned int size) {
  static const unsigned char kPrefix[14] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01,
                                            0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x02};
  if (!buffer || size < 15) return false;
  for (unsigned int i = 0; i <= size - 15; ++i)
    if (std::memcmp(buffer + i, kPrefix, sizeof kPrefix) == 0) return true;
  return false;
}

bool IsOXLMXF(unsigned char* buffer, unsigned int size) {
  if (!buffer || size < 14) return false;
  for (unsigned int i = 0; i <= size - 14; ++i)
    if (buffer[i] == 0x80 && buffer[i + 1] == 0x01 && std::memcmp(buffer + i + 4, "OXL Qbixo", 9) == 0) return true;
  return false;
}
