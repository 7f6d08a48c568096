#include "OXLDataReader/MediaTester.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "OXLDataReader/QTDatareader.h"
#include "OxlTbx/TextEncoding.h"
#include "qelCore/Check.h"
#include "qelCore/Logger.h"

using namespace OXLDataReader;

namespace {

uint32_t Big32(const unsigned char* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// The container of a QuickTime movie from its video codec family; the second
// value is the reference-movie form (0: none).
struct QtFileTypeRow {
  std::initializer_list<unsigned int> videoTypes;
  qel::FileType plain;
  qel::FileType reference;
};
const QtFileTypeRow kQtFileTypes[] = {
    {{1, 2}, qel::QTJPG_File, qel::Unknown_File},
    {{3, 4, 5}, qel::QTDV_File, qel::QTREFDV_File},
    {{6, 7, 8}, qel::QTIMX_File, qel::QTREFIMX_File},
    {{10, 11}, qel::QTDVHD_File, qel::QTREFDVHD_File},
    {{13}, qel::QTHDV_File, qel::Unknown_File},
    {{14, 15, 27}, qel::QTDNxHD_File, qel::QTREFDNxHD_File},
    {{19, 20, 26, 41}, qel::QTProRes_File, qel::QTREFProRes_File},
    {{23, 31}, qel::QTAVCI_File, qel::QTREFAVCI_File},
    {{25, 29}, qel::QTGraphical_File, qel::Unknown_File},
};

}  // namespace

int MediaTester::CorrespondToFile(bool& found) {
  if (!m_bAnalysed) {
    m_iCode = DoAnalyse();
    m_bAnalysed = true;
  }
  found = m_iCode == 0;
  return m_iCode;
}

int MediaTester::GetFileFormat(qel::FileType& fileType, VideoDataType& videoType) {
  bool found = false;
  const int code = CorrespondToFile(found);
  if (!found) return code;
  fileType = m_FileType;
  videoType = m_VideoType;
  return code;
}

void MediaTester::SetFileReaderAndDataBuffer(COXLFileReader* file, std::shared_ptr<qel::IBuffer> buffer) {
  m_pFile = file;
  m_Buffer = std::move(buffer);
}

void MediaTester::SetFilePath(const std::string& utf8Path) { m_Path = TextEncoding::Unicode::get8(utf8Path); }

int MediaTester::Failed(const std::string& message) {
  QEL_LOG(qel::LogLevel::Error, message + " (" + TextEncoding::UTF8::get(m_Path) + ")");
  return 3;
}

// --- QuickTime ---

int QTTester::DoAnalyse() {
  const bool branded = Size() > 12 && std::memcmp(Data() + 4, "ftyp", 4) == 0 && Big32(Data() + 8) != 0 &&
                       std::memcmp(Data() + 8, "qt  ", 4) != 0;
  m_FileType = qel::QTUnknown_File;
  m_VideoType = Unknown_Video;
  try {
    return AnalyseVideo(branded);
  } catch (const std::exception& e) {
    return Failed(std::string("QuickTime identification failed: ") + e.what());
  }
}

int QTTester::AnalyseVideo(bool branded) {
  if (!m_pFile) return Failed("DataReader failed to open file.");
  unsigned long start = 0;
  m_pFile->SetFilePointer(start);
  auto video = std::make_shared<CQTDataReader>(Video_Data, "identification");
  auto context = std::make_shared<DataReaderContextReader>(video);
  m_ContextReader = context;
  if (video->UseFileReader(m_pFile) != 0) {
    m_pFile->SetFilePointer(start);
    auto audio = std::make_shared<CQTDataReader>(Audio_Data, "identification");
    m_ContextReader = std::make_shared<DataReaderContextReader>(audio);
    if (audio->UseFileReader(m_pFile) != 0) return Failed("DataReader failed to open file.");
    m_FileType = branded ? qel::Mp4_File : qel::QTUnknown_File;
    return 0;
  }
  VIDEO_INFO info{};
  if (!context->GetVideoInfo(info) || info.VideoType == Unknown_Video) return Failed("Unknown Video Codec.");
  m_VideoType = info.VideoType;
  m_dwAudioTracks = static_cast<uint32_t>(video->GetTrackCnt(Audio_Data));
  const bool reference = IsReferenceMovie(*video);
  if (m_VideoType == H264_Video) {
    m_FileType = branded ? qel::Mp4_File : qel::QTH264_File;
    m_ContextReader.reset();
    return 0;
  }
  for (const QtFileTypeRow& row : kQtFileTypes) {
    if (std::find(row.videoTypes.begin(), row.videoTypes.end(), unsigned(m_VideoType)) == row.videoTypes.end()) continue;
    m_FileType = reference && row.reference != qel::Unknown_File ? row.reference : row.plain;
  }
  return 0;
}

bool QTTester::IsReferenceMovie(const CQTDataReader& reader) const {
  std::wstring name;
  if (reader.IsReferenceTrack(Video_Data, 0, name)) return true;
  for (int i = 0; i < reader.GetTrackCnt(Audio_Data); ++i)
    if (reader.IsReferenceTrack(Audio_Data, i, name)) return true;
  return false;
}

// --- Other families ---

int AAFTester::DoAnalyse() {
  if (Size() < 13 || std::memcmp(Data() + 8, "AAF", 3) != 0) return 2;
  m_FileType = qel::AAF_File;
  return 0;
}

int RawIMXTester::DoAnalyse() {
  static const unsigned char kHeader[38] = {0x00, 0x00, 0x01, 0xB3, 0x2D, 0x02, 0x60, 0x23, 0x7A, 0x12,
                                            0x23, 0xD8, 0x00, 0x00, 0x01, 0xB5, 0x18, 0x54, 0x00, 0x01,
                                            0x00, 0x80, 0x00, 0x00, 0x01, 0xB2, 0x00, 0x01, 0x01, 0x00,
                                            0x07, 0x02, 0x00, 0x00, 0x00, 0x01, 0xB8, 0x00};
  if (Size() < sizeof kHeader || std::memcmp(Data(), kHeader, sizeof kHeader) != 0 || !m_pFile) return 2;
  for (unsigned long k = 1; k <= 5; ++k) {
    unsigned long offset = 286592 * k;
    unsigned char frame[sizeof kHeader];
    unsigned int read = 0;
    if (m_pFile->SetFilePointer(offset) != 0 || m_pFile->ReadFile(frame, sizeof frame, &read) != 0 ||
        read != sizeof frame || std::memcmp(frame, kHeader, sizeof kHeader) != 0)
      return 2;
  }
  m_FileType = qel::RawIMX_File;
  return 0;
}

// Five packets in a row make a transport stream.
int MPEGTester::DoAnalyse() {
  const unsigned char* p = Data();
  for (size_t packet : {188u, 204u}) {
    bool synced = Size() >= 5 * packet;
    for (size_t i = 0; synced && i < 5; ++i) synced = p[i * packet] == 'G';
    if (!synced) continue;
    m_FileType = packet == 188 ? qel::TS_File : qel::TS204_File;
    return 0;
  }
  if (Size() < 5 || Big32(p) != 0x000001BA) return 2;
  if ((p[4] & 0xF0) == 0x20) m_FileType = qel::PSMPEG1_File;
  else if ((p[4] & 0xC0) == 0x40) m_FileType = qel::PSMPEG2_File;
  else return 2;
  return 0;
}

int MPEGESTester::DoAnalyse() {
  const unsigned char* p = Data();
  if (Size() < 4) return 2;
  if (Big32(p) == 0x000001B3) m_FileType = qel::ESVideo_File;
  else if (p[0] == 0x0B && p[1] == 0x77) m_FileType = qel::ESAC3_File;
  else if (p[0] == 0xFF && (p[1] & 0xE0) == 0xE0) m_FileType = qel::ESAudio_File;
  else return 2;
  return 0;
}

int RefusingTester::DoAnalyse() { QEL_FAIL("Not implemented on Linux or Mac OS X"); }

std::unique_ptr<MediaTester> CreateMediaTester(uint32_t kind) {
  switch (kind) {
    case QTTesterKind: return std::make_unique<QTTester>();
    case AAFTesterKind: return std::make_unique<AAFTester>();
    case RawIMXTesterKind: return std::make_unique<RawIMXTester>();
    case MPEGESTesterKind: return std::make_unique<MPEGESTester>();
    case MPEGTesterKind: return std::make_unique<MPEGTester>();
    case MxfTesterKind: return std::make_unique<MxfTester>();
    case RiffTesterKind:
    case DVDIFTesterKind:
    case OpenCubeTesterKind:
    case XMLTesterKind:
    case ProxyTesterKind: return std::make_unique<RefusingTester>();
    default: return nullptr;
  }
}
