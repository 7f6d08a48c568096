#include "DeliveryWalk.h"

#include <sys/stat.h>

#include <cstdio>
#include <chrono>
#include <thread>

#include "ExtractOutput.h"
#include "Md5.h"
#include "ProbeError.h"
#include "ProgressBar.h"
#include "RecordOutput.h"
#include "TrackCursor.h"

namespace oxlprobe {
namespace {

constexpr int kEndOfData = 100;
constexpr int kBufferTooSmall = 101;

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

// How often --follow looks at the file's size while it waits.
constexpr auto kFollowPoll = std::chrono::milliseconds(100);

class Walk {
 public:
  Walk(const MovieFile& movie, const ProbeOptions& options)
      : m_Movie(movie),
        m_Options(options),
        m_Reader(OpenReader()),
        m_Bar(!options.json && options.extract.value_or("") != "-", options.extract ? "extract" : "read"),
        m_Output(options.json, Columns(options), &m_Bar) {
    if (options.extract) m_Extract.reset(new ExtractOutput(*options.extract, movie));
  }

  void Run() {
    // A file still being written may end inside its last sample: --follow waits for it.
    if (!m_Options.follow) m_Movie.CheckSamplesInFile(*m_Reader->GetActiveTrack());
    Measure();
    Position(*m_Reader, m_Movie, m_Options);
    ReadToEnd();
    if (m_Options.follow) Follow(*m_Options.follow);
    CheckComplete(*m_Reader, m_Movie, m_Options.reverse);
    if (m_Extract) m_Extract->Finish();
  }

 private:
  static std::vector<RecordOutput::Column> Columns(const ProbeOptions& options) {
    std::vector<RecordOutput::Column> columns = {{"index", 8}, {"time", 12}, {"size", 10}};
    if (options.md5) columns.push_back({"md5", 32});
    return columns;
  }

  std::unique_ptr<CQTDataReader> OpenReader() const {
    auto reader = m_Movie.OpenReader(m_Options.audio ? OXLDataReader::Audio_Data : OXLDataReader::Video_Data, true);
    if (!reader->GetActiveTrack()) throw ProbeError(Exit_NotRecognised, m_Movie.path(), "no track to read");
    return reader;
  }

  ProbeError Failure(const std::string& reason) const { return ProbeError(Exit_ReadFailure, m_Movie.path(), reason); }

  // What the reader's track holds now: the sample count bounds the walk, the
  // largest sample sizes the buffer, the file size bounds a delivery.
  void Measure() {
    const TrackMeasure measure = MeasureTrack(*m_Reader->GetActiveTrack());
    m_qwSamples = measure.count;
    m_qwLimit = m_Reader->GetActiveTrackFileSize();
    if (m_qwLimit == 0 || m_qwLimit == ~0UL) m_qwLimit = WatchedSize();
    const uint64_t wanted = std::max<uint64_t>(1, std::min<uint64_t>(measure.largest, m_qwLimit));
    if (m_Buffer.size() < wanted) m_Buffer.resize(wanted);
    m_dDuration = m_Reader->GetActiveTrackContentDuration();
  }

  // Delivers up to the end of the data; with `passOverDelivered`, passes
  // over deliveries at or before the last one delivered (those a reopened
  // reader delivers again). Each delivery holds at least one sample, so a
  // reader that stops advancing cannot keep the walk going forever.
  void ReadToEnd(bool passOverDelivered = false) {
    for (uint64_t calls = 0;; ++calls) {
      if (calls > m_qwSamples) throw Failure("the reader keeps delivering past the last sample");
      unsigned int size = 0;
      double time = 0;
      if (!ReadOne(size, time)) break;
      if (passOverDelivered && m_bDelivered && time <= m_dLastTime) continue;
      Deliver(m_qwIndex++, size, time);
      m_bDelivered = true;
      m_dLastTime = time;
      m_Bar.Update(m_Options.reverse ? m_dDuration - time : time, m_dDuration);
    }
  }

  // Waits for the file to grow, and delivers what it gains, until it has not
  // grown for `seconds`. The reader finds new fragments by itself only after
  // a second of processor time, which an idle waiting host never spends, and
  // only those of a movie with one track when told by a host; a new reader
  // on the grown file sees them all, whatever the tracks.
  void Follow(double seconds) {
    using Clock = std::chrono::steady_clock;
    uint64_t size = WatchedSize();
    Clock::time_point grown = Clock::now();
    for (;;) {
      Flush();
      const double waited = std::chrono::duration<double>(Clock::now() - grown).count();
      char text[96];
      std::snprintf(text, sizeof text, "%llu deliveries, waited %.1f s of %.1f s",
                    static_cast<unsigned long long>(m_qwIndex), waited, seconds);
      m_Bar.Show(text);
      if (waited >= seconds) break;
      std::this_thread::sleep_for(kFollowPoll);
      const uint64_t now = WatchedSize();
      if (now == size) continue;
      size = now;
      grown = Clock::now();
      Reopen();
    }
    m_Bar.Clear();
  }

  // A new reader on the grown file, placed at the last delivery (or where
  // the walk started, when nothing was delivered yet); ReadToEnd passes over
  // what was delivered before.
  void Reopen() {
    m_Reader = OpenReader();
    Measure();
    if (!m_bDelivered) {
      Position(*m_Reader, m_Movie, m_Options);
    } else {
      double t = m_dLastTime;
      if (m_Reader->GoToTimeOffset(t) != 0 || t > m_dLastTime) (void)m_Reader->GoToDataStart();
    }
    ReadToEnd(true);
  }

  // The bytes of the movie and, for a reference movie, of its media file.
  uint64_t WatchedSize() const {
    struct stat st {};
    uint64_t size = ::stat(m_Movie.path().c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    if (m_Reader->GetActiveTrack()->IsReference()) size += m_Reader->GetActiveTrackFileSize();
    return size;
  }

  // A follower's output reaches a pipe as soon as it is delivered.
  void Flush() {
    std::fflush(stdout);
    if (m_Extract) m_Extract->Finish();
  }

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
  uint64_t m_qwSamples = 0;
  double m_dDuration = 0.0;
  uint64_t m_qwIndex = 0;
  bool m_bDelivered = false;
  double m_dLastTime = 0.0;
  Md5 m_Md5;
};

}  // namespace

void WalkDeliveries(const MovieFile& movie, const ProbeOptions& options) { Walk(movie, options).Run(); }

}  // namespace oxlprobe
