#include "Measurement.h"

#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "AvformatBenchReader.h"
#include "OxlBenchReader.h"
#include "PlainFileRead.h"
#include "ProcessFigures.h"

namespace {

class Stopwatch {
 public:
  double Seconds() const { return std::chrono::duration<double>(Clock::now() - m_Start).count(); }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point m_Start = Clock::now();
};

std::unique_ptr<BenchReader> MakeReader(const std::string& name, const std::string& path) {
  if (name == "oxl") return OxlBenchReader::ForFile(path);
  if (name == "avformat") return std::make_unique<AvformatBenchReader>();
  throw std::runtime_error("unknown reader \"" + name + "\" (oxl, avformat)");
}

std::unique_ptr<BenchReader> OpenReader(const MeasurementOptions& options) {
  auto reader = MakeReader(options.reader, options.path);
  reader->Open(options.path);
  return reader;
}

std::string Figures(double seconds, uint64_t samples, const ByteSink& sink, bool verify) {
  std::ostringstream out;
  out.precision(9);
  out << "seconds=" << seconds << " samples=" << samples << " bytes=" << sink.Bytes()
      << " deliveries=" << sink.Deliveries();
  if (verify) out << " hash=" << std::hex << sink.Hash();
  return out.str();
}

std::string MeasureOpen(const MeasurementOptions& options) {
  uint64_t before = ProcessFigures::ResidentKiB();
  auto readsBefore = ProcessFigures::ReadsSoFar();
  Stopwatch watch;
  auto reader = OpenReader(options);
  double seconds = watch.Seconds();
  auto readsAfter = ProcessFigures::ReadsSoFar();
  uint64_t peak = ProcessFigures::PeakResidentKiB();
  std::ostringstream out;
  out.precision(9);
  out << "seconds=" << seconds << " samples=" << reader->SampleCount() << " rss_before_kib=" << before
      << " peak_kib=" << peak << " memory_kib=" << (peak > before ? peak - before : 0)
      << " read_bytes=" << readsAfter.bytes - readsBefore.bytes << " read_calls=" << readsAfter.calls - readsBefore.calls;
  return out.str();
}

std::string MeasurePlainRead(const MeasurementOptions& options) {
  AvformatBenchReader index;
  index.Open(options.path);
  PlainFileRead plain(index.SampleRanges(), options.reader == "copy");
  ByteSink sink(options.verify);
  Stopwatch watch;
  plain.Read(options.path, sink);
  return Figures(watch.Seconds(), index.SampleCount(), sink, options.verify);
}

std::string MeasureForward(const MeasurementOptions& options) {
  if (options.reader == "read" || options.reader == "copy") return MeasurePlainRead(options);
  auto reader = OpenReader(options);
  ByteSink sink(options.verify);
  Stopwatch watch;
  while (reader->ReadNext(sink)) {
  }
  return Figures(watch.Seconds(), reader->SampleCount(), sink, options.verify);
}

std::string MeasureBackward(const MeasurementOptions& options) {
  auto reader = OpenReader(options);
  reader->PrepareBackward();
  ByteSink sink(options.verify);
  Stopwatch watch;
  while (reader->ReadPrev(sink)) {
  }
  return Figures(watch.Seconds(), reader->SampleCount(), sink, options.verify);
}

std::vector<uint64_t> SeekTargets(uint64_t samples, int count) {
  if (samples == 0) throw std::runtime_error("no video samples to seek to");
  std::mt19937_64 random(8);
  std::uniform_int_distribution<uint64_t> sample(0, samples - 1);
  std::vector<uint64_t> targets;
  for (int i = 0; i < count; ++i) targets.push_back(sample(random));
  return targets;
}

void WriteLandings(const std::string& path, const std::vector<uint64_t>& targets, const std::vector<double>& landed,
                   double period) {
  std::ofstream out(path);
  for (size_t i = 0; i < targets.size(); ++i) out << targets[i] << " " << std::llround(landed[i] / period) << "\n";
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string MeasureSeek(const MeasurementOptions& options) {
  // The targets come from a reader of their own: counting samples may index
  // what the timed reader should find on its own (the OXL reader indexes each
  // fragment of a fragmented file when first needed).
  uint64_t samples = 0;
  double duration = 0;
  {
    auto counter = OpenReader(options);
    samples = counter->SampleCount();
    duration = counter->Duration();
  }
  auto targets = SeekTargets(samples, options.seeks);
  double period = duration / double(samples);
  auto reader = OpenReader(options);
  std::vector<double> times, landed(targets.size());
  for (uint64_t target : targets) times.push_back((double(target) + 0.25) * period);
  ByteSink sink(options.verify);
  Stopwatch watch;
  for (size_t i = 0; i < times.size(); ++i) landed[i] = reader->SeekAndRead(times[i], sink);
  double seconds = watch.Seconds();
  if (!options.landings.empty()) WriteLandings(options.landings, targets, landed, period);
  return Figures(seconds, samples, sink, options.verify) + " seeks=" + std::to_string(targets.size());
}

}  // namespace

std::string RunMeasurement(const MeasurementOptions& options) {
  std::string figures;
  if (options.measure == "open") {
    figures = MeasureOpen(options);
  } else if (options.measure == "forward") {
    figures = MeasureForward(options);
  } else if (options.measure == "backward") {
    figures = MeasureBackward(options);
  } else if (options.measure == "seek") {
    figures = MeasureSeek(options);
  } else {
    throw std::runtime_error("unknown measurement \"" + options.measure + "\" (open, forward, backward, seek)");
  }
  return "measure=" + options.measure + " reader=" + options.reader + " " + figures;
}
