#include "MxfFrames.h"

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "ExtractOutput.h"
#include "Md5.h"
#include "ProbeError.h"
#include "ProgressBar.h"
#include "RecordOutput.h"

namespace oxlprobe {
namespace {

constexpr int kEndOfData = 100;
constexpr auto kFollowPoll = std::chrono::milliseconds(100);

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

class FrameWalk {
 public:
  FrameWalk(const MovieFile& file, const ClipIdentity& id, const ProbeOptions& options)
      : m_File(file),
        m_Id(id),
        m_Options(options),
        m_Bar(!options.json && options.extract.value_or("") != "-", options.extract ? "extract" : "read"),
        m_Output(options.json, Columns(options), &m_Bar) {
    if (options.extract) m_Extract.reset(new ExtractOutput(*options.extract, file));
  }

  void Run() {
    Open();
    Position();
    ReadToEnd();
    if (m_Options.follow) Follow(*m_Options.follow);
    m_Bar.Clear();
    if (m_Extract) m_Extract->Finish();
  }

 private:
  int TryOpen() {
    m_Reader = std::make_unique<CIMXVideoReader>("oxlprobe");
    try {
      return m_Reader->Open(m_File.path().c_str(), false);
    } catch (const std::exception& e) {
      throw ProbeError(Exit_ReadFailure, m_File.path(), std::string("damaged MXF file: ") + e.what());
    }
  }

  // A recording that holds no whole edit unit yet (100) opens once it
  // does, when following.
  void Open() {
    int result = TryOpen();
    if (result == kEndOfData && m_Options.follow) {
      WaitForGrowth(*m_Options.follow, [&] { return (result = TryOpen()) != kEndOfData; });
    }
    if (result != 0) {
      throw ProbeError(Exit_NoReader, m_File.path(),
                       IdentifiedAs(m_Id) + ", but the IMX reader cannot read its frames (code " +
                           std::to_string(result) + "): only constant-size edit units are read on this platform");
    }
    const double editRate = m_Reader->GetFieldRate() / std::max(1u, m_Reader->GetFieldsPerFrame());
    m_dEditRate = editRate > 0 ? editRate : 1.0;
  }

  static std::vector<RecordOutput::Column> Columns(const ProbeOptions& options) {
    std::vector<RecordOutput::Column> columns = {{"index", 8}, {"time", 12}};
    if (options.mode == ProbeMode::Samples) columns.push_back({"decode_time", 12});
    columns.push_back({"size", 10});
    if (options.mode == ProbeMode::Samples) {
      columns.push_back({"offset", 14});
      columns.push_back({"sync", 4});
    }
    if (options.md5) columns.push_back({"md5", 32});
    return columns;
  }

  ProbeError Failure(const std::string& reason) const { return ProbeError(Exit_ReadFailure, m_File.path(), reason); }

  void Position() {
    int result = 0;
    if (m_Options.seek) {
      double seconds = *m_Options.seek;
      result = m_Reader->GoToTimeOffset(seconds);
    } else if (m_Options.reverse) {
      result = m_Reader->GoToDataEnd();
    }
    if (result != 0) throw Failure("cannot go to the start of the walk (code " + std::to_string(result) + ")");
  }

  // Every frame up to the end of the data (the start, backwards). A frame
  // the reader cannot deliver ends the walk with its code.
  void ReadToEnd() {
    for (;;) {
      unsigned char* data = nullptr;
      unsigned int size = 0;
      double time = 0;
      const int result = m_Options.reverse ? m_Reader->GetPrevData(data, 0, &size, &time)
                                           : m_Reader->GetNextData(data, 0, &size, &time);
      if (result == kEndOfData) return;
      if (result != 0 || !data) {
        throw Failure("read failed after " + std::to_string(m_qwIndex) + " frames (code " + std::to_string(result) +
                      ")");
      }
      Deliver(data, size, time);
      const double total = static_cast<double>(std::max<int64_t>(m_Reader->GetDuration(), 0)) / m_dEditRate;
      m_Bar.Update(m_Options.reverse ? total - time : time, total);
    }
  }

  // The file offset of a delivered picture's key: edit units follow each
  // other at the edit rate from the essence start, and the picture element
  // stands at the same place in each.
  uint64_t PictureKeyOffset(double time) const {
    const uint64_t unit = static_cast<uint64_t>(std::llround(time * m_dEditRate));
    return m_Reader->GetEssenceStart() + unit * m_Reader->GetEditByteCount() + m_Reader->GetPictureElementOffset();
  }

  void Deliver(const unsigned char* data, unsigned int size, double time) {
    if (m_Extract) m_Extract->Write(data, size);
    const uint64_t index = m_qwIndex++;
    if (!m_Options.listDeliveries && m_Options.mode != ProbeMode::Samples) return;
    nlohmann::ordered_json record;
    record["index"] = index;
    record["time"] = time;
    if (m_Options.mode == ProbeMode::Samples) record["decode_time"] = time;
    record["size"] = size;
    if (m_Options.mode == ProbeMode::Samples) {
      record["offset"] = PictureKeyOffset(time);
      record["sync"] = true;
    }
    if (m_Options.md5) {
      m_Md5.Update(data, size);
      record["md5"] = m_Md5.Hex();
    }
    m_Output.Write(record);
  }

  // The reader of a file still being written finds the edit units it gains
  // by itself; the walk only waits, and stops once the file has not grown
  // for `seconds`.
  void Follow(double seconds) {
    WaitForGrowth(seconds, [&] {
      ReadToEnd();
      return false;
    });
  }

  // Calls `grown` each time the file grows, until it answers true or the
  // file has not grown for `seconds`.
  template <typename OnGrowth>
  void WaitForGrowth(double seconds, OnGrowth grown) {
    using Clock = std::chrono::steady_clock;
    uint64_t size = FileSize(m_File.path());
    Clock::time_point last = Clock::now();
    for (;;) {
      std::fflush(stdout);
      if (m_Extract) m_Extract->Finish();
      if (std::chrono::duration<double>(Clock::now() - last).count() >= seconds) return;
      std::this_thread::sleep_for(kFollowPoll);
      const uint64_t now = FileSize(m_File.path());
      if (now == size) continue;
      size = now;
      last = Clock::now();
      if (grown()) return;
    }
  }

  const MovieFile& m_File;
  const ClipIdentity& m_Id;
  const ProbeOptions& m_Options;
  std::unique_ptr<CIMXVideoReader> m_Reader;
  ProgressBar m_Bar;
  RecordOutput m_Output;
  std::unique_ptr<ExtractOutput> m_Extract;
  double m_dEditRate = 1.0;
  uint64_t m_qwIndex = 0;
  Md5 m_Md5;
};

}  // namespace

void WalkMxfFrames(const MovieFile& file, const ClipIdentity& id, const ProbeOptions& options) {
  if (options.audio) {
    throw ProbeError(Exit_NoReader, file.path(), IdentifiedAs(id) + ", but no reader delivers MXF audio on this platform");
  }
  FrameWalk(file, id, options).Run();
}

}  // namespace oxlprobe
