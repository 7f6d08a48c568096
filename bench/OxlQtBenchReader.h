#pragma once
// The OXL QuickTime reader behind the benchmark interface: a CQTDataReader for
// video. For long-GOP video one call delivers a sync sample and the samples up
// to the next one.
#include "OxlBenchReader.h"

class CQTDataReader;

class OxlQtBenchReader : public OxlBenchReader {
 public:
  uint64_t SampleCount() override;
  double Duration() override;

 protected:
  std::unique_ptr<COXLDataReader> MakeReader() const override;
  // The largest long-GOP group: a sync sample and the samples up to the next one.
  size_t LargestDelivery() override;

 private:
  CQTDataReader& Qt() const;
};
