#include "OXLDataReader/MxfDeepAnalyser.h"

#include <exception>

#include "OXLDataReader/IMXVideoReader.h"
#include "qelCore/Check.h"

using OXLDataReader::VideoDataType;

namespace {
bool IsXavcIntra(VideoDataType type) {
  return type == OXLDataReader::XAVC_Intra_Class50 || type == OXLDataReader::XAVC_Intra_Class100 ||
         type == OXLDataReader::XAVC_Intra_4k_Class300 || type == OXLDataReader::XAVC_Intra_4k_Class480;
}
}  // namespace

std::shared_ptr<MxfDeepAnalyser> CreateMxfDeepAnalyser(qel::FileType fileType, VideoDataType videoType) {
  if (fileType == qel::OP1AAVCI_File) return std::make_shared<AvcIntraMxfDeepAnalyser>(fileType, videoType);
  if (fileType == qel::MJPEG_File || fileType == qel::HDXDCAM_File) QEL_FAIL("Not implemented on Linux or Mac OS X");
  return std::make_shared<NullMxfDeepAnalyser>(fileType, videoType);
}

MxfAnalysisResult AvcIntraMxfDeepAnalyser::DoAnalyse(int, unsigned char*, unsigned int, unsigned int,
                                                     std::shared_ptr<IContextReader>, COXLFileReader* file) const {
  if (!file) return Stored();
  OXLDataReader::VIDEO_INFO info{};
  bool known = false;
  try {
    auto reader = std::make_shared<CIMXVideoReader>(std::string());
    // Gives the file reader back to its owner when it goes.
    DataReaderContextReader context(reader);
    unsigned long start = 0;
    known = file->SetFilePointer(start) == 0 && reader->UseFileReader(file) == 0 && reader->GetVideoInfo(info);
  } catch (const std::exception&) {
    known = false;  // a file the reader cannot parse keeps the labels' pair
  }
  unsigned long start = 0;
  (void)file->SetFilePointer(start);
  if (!known) return Stored();
  return {IsXavcIntra(info.VideoType) ? qel::OP1AXAVCI_File : m_FileType, info.VideoType};
}
