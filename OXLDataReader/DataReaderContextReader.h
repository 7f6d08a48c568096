#pragma once
// A reader kept from identification as context: callers ask it for the
// timecode and the video description of the file without owning its file
// reader, which stays with whoever opened it.
#include <memory>

#include "OXLDataReader/OXLDataReader.h"
#include "OxlTbx/VideoSystem.h"

class IContextReader {
 public:
  virtual ~IContextReader() = default;
  virtual int GetType() const = 0;
  // Zeroes the outputs and answers 11: no timecode known.
  virtual int GetTC(unsigned int& in, unsigned int& out, OxlTbx::VideoSystem& system);
};

class DataReaderContextReader : public IContextReader {
 public:
  explicit DataReaderContextReader(std::shared_ptr<COXLDataReader> reader);
  // Detaches the file reader from the wrapped reader first, so that it is not
  // closed with it.
  ~DataReaderContextReader() override;

  int GetType() const override { return 1; }
  // 0 with the reader's in, out and system; 4 without a reader; 12 when the
  // reader does not answer.
  int GetTC(unsigned int& in, unsigned int& out, OxlTbx::VideoSystem& system) override;
  // The reader's description, asked once and then cached.
  bool GetVideoInfo(OXLDataReader::VIDEO_INFO& info);
  const std::shared_ptr<COXLDataReader>& GetReader() const { return m_Reader; }

 private:
  OXLDataReader::VIDEO_INFO m_VideoInfo{};
  std::shared_ptr<COXLDataReader> m_Reader;
  bool m_bVideoInfoValid = false;
};
