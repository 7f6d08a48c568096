#include "AvformatBenchReader.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace {

std::string AvError(const char* step, int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return std::string("libavformat: ") + step + ": " + text;
}

void Check(int code, const char* step) {
  if (code < 0) throw std::runtime_error(AvError(step, code));
}

// The data of a KLV triplet (a 16-byte key, a BER-coded length) whose key
// stands at `keyOffset`: where libavformat's MXF packets say they are. The
// length read must be the packet's size.
int64_t KlvValueOffset(std::ifstream& file, int64_t keyOffset, int64_t size) {
  unsigned char ber[9] = {};
  file.seekg(keyOffset + 16);
  file.read(reinterpret_cast<char*>(ber), sizeof ber);
  if (!file) throw std::runtime_error("cannot read the KLV length at " + std::to_string(keyOffset + 16));
  const int lengthBytes = ber[0] < 0x80 ? 0 : ber[0] & 0x7F;
  if (lengthBytes > 8) throw std::runtime_error("a BER length of more than 8 bytes at " + std::to_string(keyOffset + 16));
  int64_t length = lengthBytes == 0 ? ber[0] : 0;
  for (int i = 1; i <= lengthBytes; ++i) length = length << 8 | ber[i];
  if (length != size) {
    throw std::runtime_error("the KLV at " + std::to_string(keyOffset) + " holds " + std::to_string(length) +
                             " bytes, the packet " + std::to_string(size));
  }
  return keyOffset + 17 + lengthBytes;
}

}  // namespace

AvformatBenchReader::AvformatBenchReader() : m_Packet(av_packet_alloc()) {
  if (!m_Packet) throw std::runtime_error("libavformat: no packet");
}

AvformatBenchReader::~AvformatBenchReader() {
  av_packet_free(&m_Packet);
  avformat_close_input(&m_Format);
}

void AvformatBenchReader::Open(const std::string& path) {
  Check(avformat_open_input(&m_Format, path.c_str(), nullptr, nullptr), "avformat_open_input");
  Check(avformat_find_stream_info(m_Format, nullptr), "avformat_find_stream_info");
  m_iVideo = av_find_best_stream(m_Format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  Check(m_iVideo, "no video stream");
  for (unsigned i = 0; i < m_Format->nb_streams; ++i) {
    if (int(i) != m_iVideo) m_Format->streams[i]->discard = AVDISCARD_ALL;
  }
  m_FirstTimestamp = Video()->start_time == AV_NOPTS_VALUE ? 0 : Video()->start_time;
  m_bIndexed = avformat_index_get_entries_count(Video()) > 0;
}

AVStream* AvformatBenchReader::Video() const { return m_Format->streams[m_iVideo]; }

uint64_t AvformatBenchReader::SampleCount() {
  if (m_bIndexed) return uint64_t(avformat_index_get_entries_count(Video()));
  return uint64_t(std::max(0LL, std::llround(Duration() * av_q2d(Video()->avg_frame_rate))));
}

double AvformatBenchReader::Duration() { return double(Video()->duration) * av_q2d(Video()->time_base); }

bool AvformatBenchReader::ReadVideoPacket() {
  for (;;) {
    av_packet_unref(m_Packet);
    int result = av_read_frame(m_Format, m_Packet);
    if (result == AVERROR_EOF) return false;
    Check(result, "av_read_frame");
    if (m_Packet->stream_index != m_iVideo) continue;
    if (!m_bIndexed && !(m_Packet->flags & AV_PKT_FLAG_KEY)) {
      throw std::runtime_error("libavformat: no index of the video, and a packet that is not a sync sample");
    }
    return true;
  }
}

bool AvformatBenchReader::ReadNext(ByteSink& sink) {
  if (!ReadVideoPacket()) return false;
  sink.Take(m_Packet->data, size_t(m_Packet->size));
  return true;
}

int AvformatBenchReader::NextSyncEntry(int entry) {
  int count = avformat_index_get_entries_count(Video());
  for (++entry; entry < count; ++entry) {
    if (avformat_index_get_entry(Video(), entry)->flags & AVINDEX_KEYFRAME) break;
  }
  return entry;
}

int64_t AvformatBenchReader::SeekAndDeliverGroup(int64_t timestamp, ByteSink& sink) {
  Check(av_seek_frame(m_Format, m_iVideo, timestamp, AVSEEK_FLAG_BACKWARD), "av_seek_frame");
  if (!ReadNext(sink)) throw std::runtime_error("libavformat: nothing to read after av_seek_frame");
  int64_t landed = m_Packet->pts;
  if (!m_bIndexed) {
    m_bAtFirstGroup = landed <= m_FirstTimestamp;
    return landed;
  }
  int entry = av_index_search_timestamp(Video(), m_Packet->dts, AVSEEK_FLAG_ANY);
  Check(entry, "the landing packet is not in the index");
  m_bAtFirstGroup = entry <= m_iFirstSyncEntry;
  for (int packets = NextSyncEntry(entry) - entry - 1; packets > 0; --packets) {
    if (!ReadNext(sink)) throw std::runtime_error("libavformat: a group ends early");
  }
  return landed;
}

void AvformatBenchReader::PrepareBackward() {
  if (SampleCount() == 0) throw std::runtime_error("libavformat: no video samples");
  m_bAtFirstGroup = false;
  if (!m_bIndexed) {
    // The last frame's time: the demuxer's own seek may refuse a time past the end.
    m_BackwardTarget = m_FirstTimestamp + Video()->duration - 1;
    return;
  }
  int count = avformat_index_get_entries_count(Video());
  m_iFirstSyncEntry = NextSyncEntry(-1);
  // After the last presentation time: every sample's time stamp lies before it.
  m_BackwardTarget = avformat_index_get_entry(Video(), count - 1)->timestamp + Video()->duration;
}

bool AvformatBenchReader::ReadPrev(ByteSink& sink) {
  if (m_bAtFirstGroup) return false;
  m_BackwardTarget = SeekAndDeliverGroup(m_BackwardTarget, sink) - 1;
  return true;
}

double AvformatBenchReader::SeekAndRead(double seconds, ByteSink& sink) {
  double base = av_q2d(Video()->time_base);
  return double(SeekAndDeliverGroup(int64_t(std::floor(seconds / base)), sink)) * base;
}

std::vector<AvformatBenchReader::ByteRange> AvformatBenchReader::DemuxedRanges() {
  std::ifstream file(m_Format->url, std::ios::binary);
  if (!file) throw std::runtime_error(std::string("cannot open ") + m_Format->url);
  std::vector<ByteRange> ranges;
  while (ReadVideoPacket()) {
    if (m_Packet->pos < 0) throw std::runtime_error("libavformat: a video packet without a file position");
    ranges.push_back({KlvValueOffset(file, m_Packet->pos, m_Packet->size), m_Packet->size});
  }
  return ranges;
}

std::vector<AvformatBenchReader::ByteRange> AvformatBenchReader::SampleRanges() {
  if (!m_bIndexed) return DemuxedRanges();
  std::vector<ByteRange> ranges;
  int count = avformat_index_get_entries_count(Video());
  for (int entry = 0; entry < count; ++entry) {
    const AVIndexEntry* e = avformat_index_get_entry(Video(), entry);
    ranges.push_back({e->pos, e->size});
  }
  std::sort(ranges.begin(), ranges.end(), [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
  return ranges;
}

std::string AvformatBenchReader::Version() {
  return std::string("FFmpeg ") + av_version_info() + " (" + LIBAVFORMAT_IDENT + ")";
}
