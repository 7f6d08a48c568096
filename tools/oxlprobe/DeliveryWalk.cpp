#include "DeliveryWalk.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Md5.h"
#include "ProbeError.h"
#include "ProgressBar.h"
#include "RecordOutput.h"
#include "TrackCursor.h"

namespace oxlprobe {
namespace {

constexpr int kEndOfData = 100;
constexpr int kBufferTooSmall = 101;

// The --extract target: a file, or standard output for "-".
class ExtractOutput {
 public:
  ExtractOutput(const std::string& target, const MovieFile& movie) : m_Name(target) {
    if (target == "-") {
      m_File = stdout;
      m_Name = "standard output";
      return;
    }
    struct stat out {}, in {};
    if (::stat(target.c_str(), &out) == 0 && ::stat(movie.path().c_str(), &in) == 0 && out.st_dev == in.st_dev &&
        out.st_ino == in.st_ino) {
      throw ProbeError(Exit_Usage, target, "--extract would overwrite the movie itself");
    }
    m_File = std::fopen(target.c_str(), "wb");
    if (!m_File) throw ProbeError(Exit_CannotWrite, target, std::strerror(errno));
    m_bOwned = true;
  }
  ~ExtractOutput() {
    if (m_bOwned) std::fclose(m_File);
  }
  ExtractOutput(const ExtractOutput&) = delete;
  ExtractOutput& operator=(const ExtractOutput&) = delete;

  void Write(const unsigned char* data, size_t size) {
    if (std::fwrite(data, 1, size, m_File) != size) Fail();
  }
  void Finish() {
    if (std::fflush(m_File) != 0 || std::ferror(m_File)) Fail();
  }

 private:
  [[noreturn]] void Fail() const { throw ProbeError(Exit_CannotWrite, m_Name, std::strerror(errno)); }

  std::string m_Name;
  std::FILE* m_File = nullptr;
  bool m_bOwned = false;
};

std::string Seconds(double t) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f s", t);
  return text;
}

// Puts the reader where the walk starts: --seek, or the end for --reverse.
void Position(CQTDataReader& reader, const MovieFile& movie, const ProbeOptions& options) {
  int result = 0;
  if (options.seek) {
    double seconds = *options.seek;
    result = reader.GoToTimeOffset(seconds);
  } else if (options.reverse) {
    result = reader.GoToDataEnd();
  }
  if (result != 0) {
    throw ProbeError(Exit_ReadFailure, movie.path(),
                     "cannot go to " + (options.seek ? Seconds(*options.seek) : std::string("the end")) + " (code " +
                         std::to_string(result) + ")");
  }
}

// A walk that ended early left the reader's cursor on a sample it could not
// deliver: the data of that sample are missing from the file.
void CheckComplete(CQTDataReader& reader, const MovieFile& movie, bool reverse) {
  const std::shared_ptr<IQtSampleIndex> cursor = reader.GetCurrentSampleIndex();
  if (IsOff(cursor) || (reverse && cursor->IsFirstIndex())) return;
  const std::shared_ptr<IQtSample> sample = cursor->GetSample();
  const double at = sample ? sample->GetTimeStamp().start.GetTimeStamp() : reader.GetCurrentTime();
  throw ProbeError(Exit_ReadFailure, movie.path(), "truncated: the data of the sample at " + Seconds(at) +
                                                       " cannot be read");
}

class Walk {
 public:
  Walk(const MovieFile& movie, const ProbeOptions& options)
      : m_Movie(movie),
        m_Options(options),
        m_Reader(movie.OpenReader(options.audio ? OXLDataReader::Audio_Data : OXLDataReader::Video_Data, true)),
        m_Bar(!options.json && options.extract.value_or("") != "-", options.extract ? "extract" : "read"),
        m_Output(options.json, Columns(options), &m_Bar) {
    if (!m_Reader->GetActiveTrack()) throw ProbeError(Exit_NotRecognised, movie.path(), "no track to read");
    if (options.extract) m_Extract.reset(new ExtractOutput(*options.extract, movie));
  }

  void Run() {
    m_Movie.CheckSamplesInFile(*m_Reader->GetActiveTrack());
    const TrackMeasure measure = MeasureTrack(*m_Reader->GetActiveTrack());
    m_qwLimit = m_Reader->GetActiveTrackFileSize();
    if (m_qwLimit == 0 || m_qwLimit == ~0UL) m_qwLimit = m_Movie.size();
    m_Buffer.resize(std::max<uint64_t>(1, std::min<uint64_t>(measure.largest, m_qwLimit)));
    const double duration = m_Reader->GetActiveTrackContentDuration();
    Position(*m_Reader, m_Movie, m_Options);
    // Each delivery holds at least one sample, so a reader that stops
    // advancing cannot keep the walk going forever.
    for (uint64_t index = 0;; ++index) {
      if (index > measure.count) throw Failure("the reader keeps delivering past the last sample");
      unsigned int size = 0;
      double time = 0;
      if (!ReadOne(size, time)) break;
      Deliver(index, size, time);
      m_Bar.Update(m_Options.reverse ? duration - time : time, duration);
    }
    CheckComplete(*m_Reader, m_Movie, m_Options.reverse);
    if (m_Extract) m_Extract->Finish();
  }

 private:
  static std::vector<RecordOutput::Column> Columns(const ProbeOptions& options) {
    std::vector<RecordOutput::Column> columns = {{"index", 8}, {"time", 12}, {"size", 10}};
    if (options.md5) columns.push_back({"md5", 32});
    return columns;
  }

  ProbeError Failure(const std::string& reason) const { return ProbeError(Exit_ReadFailure, m_Movie.path(), reason); }

  // One delivery into the buffer, grown when the reader asks for more room.
  // False at the end of the data.
  bool ReadOne(unsigned int& size, double& time) {
    for (;;) {
      unsigned char* data = m_Buffer.data();
      const unsigned int room = static_cast<unsigned int>(m_Buffer.size());
      const int result = m_Options.reverse ? m_Reader->GetPrevData(data, room, &size, &time)
                                           : m_Reader->GetNextData(data, room, &size, &time);
      if (result == kEndOfData) return false;
      if (result == 0 && size <= room) return true;
      if (result != kBufferTooSmall) {
        throw Failure("read failed near " + Seconds(m_Reader->GetCurrentTime()) + " (code " + std::to_string(result) +
                      ")");
      }
      if (size <= room || size > m_qwLimit) {
        throw Failure("the reader asks for " + std::to_string(size) + " bytes for one delivery");
      }
      m_Buffer.resize(size);
    }
  }

  void Deliver(uint64_t index, unsigned int size, double time) {
    if (m_Extract) m_Extract->Write(m_Buffer.data(), size);
    if (!m_Options.listDeliveries) return;
    nlohmann::ordered_json record;
    record["index"] = index;
    record["time"] = time;
    record["size"] = size;
    if (m_Options.md5) {
      m_Md5.Update(m_Buffer.data(), size);
      record["md5"] = m_Md5.Hex();
    }
    m_Output.Write(record);
  }

  const MovieFile& m_Movie;
  const ProbeOptions& m_Options;
  std::unique_ptr<CQTDataReader> m_Reader;
  ProgressBar m_Bar;
  RecordOutput m_Output;
  std::unique_ptr<ExtractOutput> m_Extract;
  std::vector<unsigned char> m_Buffer;
  uint64_t m_qwLimit = 0;
  Md5 m_Md5;
};

}  // namespace

void WalkDeliveries(const MovieFile& movie, const ProbeOptions& options) { Walk(movie, options).Run(); }

}  // namespace oxlprobe
