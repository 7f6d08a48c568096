#pragma once
// Where the deliveries of a walk go, for QuickTime deliveries and MXF frames
// alike: the --extract target, a record line per delivery (with its MD5 when
// asked), the progress bar; and the --follow wait for a file that grows.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

#include "ExtractOutput.h"
#include "Md5.h"
#include "MovieFile.h"
#include "ProbeOptions.h"
#include "ProgressBar.h"
#include "RecordOutput.h"

namespace oxlprobe {

class DeliverySink {
 public:
  // `columns` are the record's members after "index" and before "md5".
  DeliverySink(const ProbeOptions& options, const MovieFile& file, const std::vector<RecordOutput::Column>& columns);

  // The delivery's bytes to the extract target and, when listing, its record:
  // "index", then what `fill` adds, then "md5".
  template <typename Fill>
  void Deliver(const unsigned char* data, unsigned int size, Fill fill) {
    if (m_Extract) m_Extract->Write(data, size);
    const uint64_t index = m_qwCount++;
    if (!m_bListed) return;
    nlohmann::ordered_json record;
    record["index"] = index;
    fill(record);
    if (m_bMd5) {
      m_Md5.Update(data, size);
      record["md5"] = m_Md5.Hex();
    }
    m_Output.Write(record);
  }

  uint64_t count() const { return m_qwCount; }
  ProgressBar& bar() { return m_Bar; }

  // Polls `size` until it has not changed for `seconds`, calling `grown` at
  // each change; stops early when `grown` answers true. What was delivered
  // reaches its pipe or file before each wait.
  void WaitForGrowth(double seconds, const std::function<uint64_t()>& size, const std::function<bool()>& grown);

  // The extract target complete, the bar erased.
  void Finish();

 private:
  void Flush();

  ProgressBar m_Bar;
  RecordOutput m_Output;
  std::unique_ptr<ExtractOutput> m_Extract;
  bool m_bListed;
  bool m_bMd5;
  uint64_t m_qwCount = 0;
  Md5 m_Md5;
};

// The size of the file at `path`, 0 when it cannot be read.
uint64_t FileSizeOf(const std::string& path);

}  // namespace oxlprobe
