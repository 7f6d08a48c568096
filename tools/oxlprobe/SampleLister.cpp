#include "SampleLister.h"

#include "ProbeError.h"
#include "ProgressBar.h"
#include "RecordOutput.h"
#include "SampleBytes.h"
#include "TrackCursor.h"

namespace oxlprobe {
namespace {

nlohmann::ordered_json SampleRecord(uint64_t index, const IQtSample& sample) {
  nlohmann::ordered_json r;
  r["index"] = index;
  r["time"] = sample.GetTimeStamp().start.GetTimeStamp();
  r["decode_time"] = sample.GetReferenceTimeStamp().start.GetTimeStamp();
  r["size"] = sample.GetSampleSize();
  r["offset"] = sample.GetSampleOffset();
  r["sync"] = sample.IsSyncOrPartialSync();
  return r;
}

}  // namespace

void ListSamples(const MovieFile& movie, const ProbeOptions& options) {
  const OXLDataReader::DataType type = options.audio ? OXLDataReader::Audio_Data : OXLDataReader::Video_Data;
  std::unique_ptr<CQTDataReader> reader = movie.OpenReader(type, false);
  const std::shared_ptr<CQTMediaTrack> track = reader->GetActiveTrack();
  if (!track) throw ProbeError(Exit_NotRecognised, movie.path(), "no track to list");
  movie.CheckSamplesInFile(*track);

  const uint64_t total = MeasureTrack(*track).count;
  std::shared_ptr<IQtSampleIndex> cursor = options.reverse ? track->FindLastSample() : FirstSample(*track);
  ProgressBar bar(!options.json, "samples");
  std::vector<RecordOutput::Column> columns = {{"index", 8}, {"time", 12}, {"decode_time", 12}, {"size", 10},
                                               {"offset", 12}, {"sync", 4}};
  if (options.md5) columns.push_back({"md5", 32});
  RecordOutput output(options.json, columns, &bar);
  SampleBytes bytes;

  for (uint64_t done = 0; !IsOff(cursor) && done < total; ++done) {
    const std::shared_ptr<IQtSample> sample = cursor->GetSample();
    if (!sample) throw ProbeError(Exit_ReadFailure, movie.path(), "the sample cursor gave no sample");
    nlohmann::ordered_json record = SampleRecord(options.reverse ? total - 1 - done : done, *sample);
    if (options.md5) {
      const std::string file = movie.SampleFilePath(*track, sample->GetSampleFile());
      record["md5"] = bytes.Md5Of(file, sample->GetSampleOffset(), sample->GetSampleSize());
    }
    output.Write(record);
    bar.Update(double(done + 1), double(total));
    if (options.reverse) {
      cursor->Prev();
    } else {
      cursor->Next();
    }
  }
}

}  // namespace oxlprobe
