#include "DeliveryWalk.h"

#include <algorithm>
#include <cstdio>

#include "DeliverySink.h"
#include "ProbeError.h"
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

class Walk {
 public:
  Walk(const MovieFile& movie, const ProbeOptions& options)
      : m_Movie(movie), m_Options(options), m_Reader(OpenReader()), m_Sink(options, movie, {{"time", 12}, {"size", 10}}) {}

  void Run() {
    // A file still being written may end inside its last sample: --follow waits for it.
    if (!m_Options.follow) m_Movie.CheckSamplesInFile(*m_Reader->GetActiveTrack());
    Measure();
    Position(*m_Reader, m_Movie, m_Options);
    ReadToEnd();
    if (m_Options.follow) Follow(*m_Options.follow);
    CheckComplete(*m_Reader, m_Movie, m_Options.reverse);
    m_Sink.Finish();
  }

 private:
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
      m_Sink.Deliver(m_Buffer.data(), size, [&](nlohmann::ordered_json& record) {
        record["time"] = time;
        record["size"] = size;
      });
      m_bDelivered = true;
      m_dLastTime = time;
      m_Sink.bar().Update(m_Options.reverse ? m_dDuration - time : time, m_dDuration);
    }
  }

  // Waits for the file to grow, and delivers what it gains, until it has not
  // grown for `seconds`. The reader finds new fragments by itself only after
  // a second of processor time, which an idle waiting host never spends, and
  // only those of a movie with one track when told by a host; a new reader
  // on the grown file sees them all, whatever the tracks.
  void Follow(double seconds) {
    m_Sink.WaitForGrowth(seconds, [&] { return WatchedSize(); },
                         [&] {
                           Reopen();
                           return false;
                         });
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
    uint64_t size = FileSizeOf(m_Movie.path());
    if (m_Reader->GetActiveTrack()->IsReference()) size += m_Reader->GetActiveTrackFileSize();
    return size;
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

  const MovieFile& m_Movie;
  const ProbeOptions& m_Options;
  std::unique_ptr<CQTDataReader> m_Reader;
  DeliverySink m_Sink;
  std::vector<unsigned char> m_Buffer;
  uint64_t m_qwLimit = 0;
  uint64_t m_qwSamples = 0;
  double m_dDuration = 0.0;
  bool m_bDelivered = false;
  double m_dLastTime = 0.0;
};

}  // namespace

void WalkDeliveries(const MovieFile& movie, const ProbeOptions& options) { Walk(movie, options).Run(); }

}  // namespace oxlprobe
