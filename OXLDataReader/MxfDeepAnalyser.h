#pragma once
// The second stage of MXF identification: the essence-container labels give
// a file type and a video data type; for some essence kinds only the essence
// itself tells the exact kind (OP1a AVC-Intra files may hold Sony XAVC-Intra
// classes, which only the first frame reveals). An analyser is chosen by the
// pair the labels gave and returns the pair to keep.
#include <memory>
#include <utility>

#include "OXLDataReader/DataReaderContextReader.h"
#include "OXLDataReader/MediaTypes.h"
#include "OXLFileAccess/OXLFileReader.h"
#include "qelCore/FileType.h"

using MxfAnalysisResult = std::pair<qel::FileType, OXLDataReader::VideoDataType>;

class MxfDeepAnalyser {
 public:
  MxfDeepAnalyser(qel::FileType fileType, OXLDataReader::VideoDataType videoType)
      : m_FileType(fileType), m_VideoType(videoType) {}
  virtual ~MxfDeepAnalyser() = default;
  // `labelsLeft`: labels after the current one in the batch; `partitionKey`:
  // the header partition key in the identification buffer, `labelOffset`
  // the current label's offset from it and `bytesLeft` the buffer's bytes
  // from the key on; `contextReader`: the tester's; `file`: the
  // identifier's file reader (not taken over).
  virtual MxfAnalysisResult DoAnalyse(int labelsLeft, unsigned char* partitionKey, unsigned int labelOffset,
                                      unsigned int bytesLeft, std::shared_ptr<IContextReader> contextReader,
                                      COXLFileReader* file) const = 0;

 protected:
  MxfAnalysisResult Stored() const { return {m_FileType, m_VideoType}; }

  qel::FileType m_FileType;
  OXLDataReader::VideoDataType m_VideoType;
};

// Keeps the labels' pair.
class NullMxfDeepAnalyser : public MxfDeepAnalyser {
 public:
  using MxfDeepAnalyser::MxfDeepAnalyser;
  MxfAnalysisResult DoAnalyse(int, unsigned char*, unsigned int, unsigned int, std::shared_ptr<IContextReader>,
                              COXLFileReader*) const override {
    return Stored();
  }
};

// OP1a AVC-Intra: opens an IMX video reader on the file and takes the video
// data type it finds (the picture descriptor, refined by the first frame);
// the XAVC-Intra classes (42, 43, 48, 49) make the file an OP1a XAVC-Intra
// file (75). A file the reader cannot take keeps the labels' pair; the file
// reader is left at offset 0.
class AvcIntraMxfDeepAnalyser : public MxfDeepAnalyser {
 public:
  using MxfDeepAnalyser::MxfDeepAnalyser;
  MxfAnalysisResult DoAnalyse(int labelsLeft, unsigned char* partitionKey, unsigned int labelOffset,
                              unsigned int bytesLeft, std::shared_ptr<IContextReader> contextReader,
                              COXLFileReader* file) const override;
};

// The analyser for the pair: AVC-Intra for file type 65; file types 11 and
// 29 are refused: qel::QELRuntimeError "[Not implemented on Linux or Mac OS
// X]", logged at error level; a NullMxfDeepAnalyser for any other.
std::shared_ptr<MxfDeepAnalyser> CreateMxfDeepAnalyser(qel::FileType fileType, OXLDataReader::VideoDataType videoType);
