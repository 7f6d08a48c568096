// oxlprobe: shows what the OXL data reader sees in a QuickTime, MP4 or MXF file.
// See ProbeOptions.cpp (--help) for the command line and the exit statuses.
#include <cstdio>
#include <new>
#include <string>

#include "DeliveryWalk.h"
#include "LibraryLog.h"
#include "MovieFile.h"
#include "MovieSummary.h"
#include "MxfSummary.h"
#include "ProbeError.h"
#include "ProbeOptions.h"
#include "RecordOutput.h"
#include "SampleLister.h"

namespace {

using namespace oxlprobe;

// Failures are one line: any line break in a reason becomes a blank.
int Report(ExitStatus status, const std::string& subject, std::string reason) {
  for (char& c : reason) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fflush(stdout);
  if (status == Exit_Usage && subject.empty()) {
    std::fprintf(stderr, "oxlprobe: %s (oxlprobe --help shows the usage)\n", reason.c_str());
  } else {
    std::fprintf(stderr, "oxlprobe: %s: %s\n", subject.c_str(), reason.c_str());
  }
  return status;
}

void FlushOutput() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    throw ProbeError(Exit_CannotWrite, "standard output", "write failed");
  }
}

// MXF files have their summary only: the MXF reader delivers no samples.
void ProbeMxf(const MovieFile& file, const ProbeOptions& options) {
  if (options.mode != ProbeMode::Summary) {
    throw ProbeError(Exit_NotRecognised, file.path(), "MXF files have a summary only (no --samples, --read or --extract)");
  }
  const nlohmann::ordered_json summary = SummarizeMxf(file);
  const std::string text = options.json ? RecordOutput::Dump(summary, 2) + "\n" : MxfSummaryText(summary);
  std::fputs(text.c_str(), stdout);
}

void ProbeMovie(const MovieFile& movie, const ProbeOptions& options) {
  switch (options.mode) {
    case ProbeMode::Summary: {
      const nlohmann::ordered_json summary = SummarizeMovie(movie);
      const std::string text = options.json ? RecordOutput::Dump(summary, 2) + "\n" : SummaryText(summary);
      std::fputs(text.c_str(), stdout);
      break;
    }
    case ProbeMode::Samples:
      ListSamples(movie, options);
      break;
    case ProbeMode::Read:
      WalkDeliveries(movie, options);
      break;
  }
}

void Probe(const ProbeOptions& options) {
  const MovieFile movie(options.path, LibraryLog::Install(options.verbose));
  if (IsMxfFile(movie)) {
    ProbeMxf(movie, options);
  } else {
    ProbeMovie(movie, options);
  }
  FlushOutput();
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  try {
    const ProbeOptions options = ParseProbeOptions(argc, argv);
    if (options.help) {
      std::fputs(ProbeUsageText(), stdout);
      return Exit_Ok;
    }
    path = options.path;
    Probe(options);
    return Exit_Ok;
  } catch (const ProbeError& e) {
    return Report(e.status(), e.subject(), e.what());
  } catch (const std::bad_alloc&) {
    return Report(Exit_ReadFailure, path, "out of memory");
  } catch (const std::exception& e) {
    return Report(Exit_ReadFailure, path, std::string("read failure: ") + e.what());
  } catch (...) {
    return Report(Exit_ReadFailure, path, "read failure");
  }
}
