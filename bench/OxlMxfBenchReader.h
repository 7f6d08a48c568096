#pragma once
// The OXL MXF frame reader behind the benchmark interface: a CIMXVideoReader
// (constant-size edit units, one picture per edit unit and call) with its
// read-ahead thread on, as hosts run it.
#include "OxlBenchReader.h"

class CIMXVideoReader;

class OxlMxfBenchReader : public OxlBenchReader {
 public:
  // Edit units of the essence.
  uint64_t SampleCount() override;
  double Duration() override;

 protected:
  std::unique_ptr<COXLDataReader> MakeReader() const override;
  // One edit unit: no picture is larger than the edit unit that holds it.
  size_t LargestDelivery() override;

 private:
  CIMXVideoReader& Mxf() const;
};
