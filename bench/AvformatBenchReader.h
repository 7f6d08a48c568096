#pragma once
// FFmpeg's libavformat behind the benchmark interface, used the way its users
// use it: avformat_open_input + avformat_find_stream_info to open,
// av_read_frame to read, av_seek_frame to land on a time. Streams other than
// the first video stream are discarded (AVDISCARD_ALL), so their samples are
// skipped without being read, as a user who wants only video would ask.
//
// Seeking lands on the sync sample presented at or before the time asked for
// and delivers its group: the packets up to the next sync sample in the
// demuxer's index (one packet for intra material), which is what one call of
// the OXL reader delivers. libavformat has no backward read: ReadPrev seeks to
// just before the group it delivered last, as a user stepping back would.
//
// Some demuxers (MXF) keep no index of their own in the stream: their seeks
// go through the container's index table. For such a stream the group is the
// one packet landed on, which holds only for intra-only video (a packet that
// is not a sync sample ends the run with an error); the sample count comes from the duration and frame rate, and
// the samples' places from one demuxing pass (the packets' positions are
// those of their KLV keys, MXF being the one such container the benchmark reads).
#include <cstdint>
#include <string>
#include <vector>

#include "BenchReader.h"

struct AVFormatContext;
struct AVPacket;
struct AVStream;

class AvformatBenchReader : public BenchReader {
 public:
  // Where one video sample lies in the file.
  struct ByteRange {
    int64_t offset = 0;
    int64_t size = 0;
  };

  AvformatBenchReader();
  ~AvformatBenchReader() override;
  AvformatBenchReader(const AvformatBenchReader&) = delete;
  AvformatBenchReader& operator=(const AvformatBenchReader&) = delete;

  void Open(const std::string& path) override;
  uint64_t SampleCount() override;
  double Duration() override;
  bool ReadNext(ByteSink& sink) override;
  void PrepareBackward() override;
  bool ReadPrev(ByteSink& sink) override;
  double SeekAndRead(double seconds, ByteSink& sink) override;

  // The video samples' places in the file, in file order, from the demuxer's index.
  std::vector<ByteRange> SampleRanges();
  // "FFmpeg <version> (Lavf<version>)".
  static std::string Version();

 private:
  AVStream* Video() const;
  // Reads the next video packet into m_Packet; false at the end.
  bool ReadVideoPacket();
  // Seeks to `timestamp` (presentation time in the stream's time base), delivers
  // the group it lands on and returns the presentation time of its first packet.
  int64_t SeekAndDeliverGroup(int64_t timestamp, ByteSink& sink);
  int NextSyncEntry(int entry);
  // The places of the video packets met by demuxing the whole file.
  std::vector<ByteRange> DemuxedRanges();

  AVFormatContext* m_Format = nullptr;
  AVPacket* m_Packet = nullptr;
  int m_iVideo = -1;
  // Backward reading: the next seek target, and whether the group delivered last was the first.
  int64_t m_BackwardTarget = 0;
  int m_iFirstSyncEntry = 0;
  bool m_bIndexed = false;  // the stream has an index of its own (not so for MXF)
  int64_t m_FirstTimestamp = 0;  // unindexed streams: the first packet's presentation time
  bool m_bAtFirstGroup = false;
};
