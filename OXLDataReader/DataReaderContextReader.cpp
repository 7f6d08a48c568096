#include "OXLDataReader/DataReaderContextReader.h"

int IContextReader::GetTC(unsigned int& in, unsigned int& out, OxlTbx::VideoSystem& system) {
  in = out = 0;
  system = OxlTbx::VS_Invalid;
  return 11;
}

DataReaderContextReader::DataReaderContextReader(std::shared_ptr<COXLDataReader> reader)
    : m_Reader(std::move(reader)) {}

DataReaderContextReader::~DataReaderContextReader() {
  if (m_Reader) m_Reader->UseFileReader(nullptr);
}

int DataReaderContextReader::GetTC(unsigned int& in, unsigned int& out, OxlTbx::VideoSystem& system) {
  if (!m_Reader) return 4;
  unsigned int i = 0, o = 0, s = 0;
  if (m_Reader->GetInOut(&i, &o, &s) != 0) return 12;
  in = i;
  out = o;
  system = static_cast<OxlTbx::VideoSystem>(s);
  return 0;
}

bool DataReaderContextReader::GetVideoInfo(OXLDataReader::VIDEO_INFO& info) {
  if (!m_bVideoInfoValid && m_Reader) {
    if (!m_Reader->GetVideoInfo(m_VideoInfo)) return false;
    m_bVideoInfoValid = true;
  }
  if (!m_bVideoInfoValid) return false;
  info = m_VideoInfo;
  return true;
}
