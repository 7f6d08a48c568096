#include "MxfFrames.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "DeliverySink.h"
#include "ProbeError.h"

namespace oxlprobe {
namespace {

constexpr int kEndOfData = 100;

class FrameWalk {
 public:
  FrameWalk(const MovieFile& file, const ClipIdentity& id, const ProbeOptions& options)
      : m_File(file), m_Id(id), m_Options(options), m_Sink(options, file, Columns(options)) {}

  void Run() {
    Open();
    Position();
    ReadToEnd();
    if (m_Options.follow) Follow(*m_Options.follow);
    m_Sink.Finish();
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
    std::vector<RecordOutput::Column> columns = {{"time", 12}};
    if (options.mode == ProbeMode::Samples) columns.push_back({"decode_time", 12});
    columns.push_back({"size", 10});
    if (options.mode == ProbeMode::Samples) {
      columns.push_back({"offset", 14});
      columns.push_back({"sync", 4});
    }
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
        throw Failure("read failed after " + std::to_string(m_Sink.count()) + " frames (code " + std::to_string(result) +
                      ")");
      }
      Deliver(data, size, time);
      const double total = static_cast<double>(std::max<int64_t>(m_Reader->GetDuration(), 0)) / m_dEditRate;
      m_Sink.bar().Update(m_Options.reverse ? total - time : time, total);
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
    const bool samples = m_Options.mode == ProbeMode::Samples;
    m_Sink.Deliver(data, size, [&](nlohmann::ordered_json& record) {
      record["time"] = time;
      if (samples) record["decode_time"] = time;
      record["size"] = size;
      if (!samples) return;
      record["offset"] = PictureKeyOffset(time);
      record["sync"] = true;
    });
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

  void WaitForGrowth(double seconds, const std::function<bool()>& grown) {
    m_Sink.WaitForGrowth(seconds, [&] { return FileSizeOf(m_File.path()); }, grown);
  }

  const MovieFile& m_File;
  const ClipIdentity& m_Id;
  const ProbeOptions& m_Options;
  std::unique_ptr<CIMXVideoReader> m_Reader;
  DeliverySink m_Sink;
  double m_dEditRate = 1.0;
};

}  // namespace

void WalkMxfFrames(const MovieFile& file, const ClipIdentity& id, const ProbeOptions& options) {
  if (options.audio) {
    throw ProbeError(Exit_NoReader, file.path(), IdentifiedAs(id) + ", but no reader delivers MXF audio on this platform");
  }
  FrameWalk(file, id, options).Run();
}

}  // namespace oxlprobe
