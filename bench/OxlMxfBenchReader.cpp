#include "OxlMxfBenchReader.h"

#include <algorithm>
#include <stdexcept>

#include "OXLDataReader/IMXVideoReader.h"

std::unique_ptr<COXLDataReader> OxlMxfBenchReader::MakeReader() const {
  return std::make_unique<CIMXVideoReader>("bench");
}

CIMXVideoReader& OxlMxfBenchReader::Mxf() const { return static_cast<CIMXVideoReader&>(Reader()); }

uint64_t OxlMxfBenchReader::SampleCount() { return uint64_t(std::max<int64_t>(Mxf().GetDuration(), 0)); }

double OxlMxfBenchReader::Duration() {
  if (Mxf().GetEditRate() <= 0) throw std::runtime_error("OXL reader: the MXF file has no edit rate");
  return double(SampleCount()) / Mxf().GetEditRate();
}

size_t OxlMxfBenchReader::LargestDelivery() { return Mxf().GetEditByteCount(); }
