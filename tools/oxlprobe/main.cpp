// oxlprobe: shows what the OXL data reader sees in a QuickTime, MP4 or MXF file.
// See ProbeOptions.cpp (--help) for the command line and the exit statuses.
#include <cstdio>
#include <new>
#include <string>

#include "ClipIdentity.h"
#include "DeliveryWalk.h"
#include "LibraryLog.h"
#include "MovieFile.h"
#include "MovieSummary.h"
#include "MxfFrames.h"
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

void PrintSummary(const nlohmann::ordered_json& summary, const ProbeOptions& options,
                  std::string (*text)(const nlohmann::ordered_json&)) {
  const std::string out = options.json ? RecordOutput::Dump(summary, 2) + "\n" : text(summary);
  std::fputs(out.c_str(), stdout);
}

// MXF frames come from the IMX video reader, which reads constant-size edit units.
void ProbeMxf(const MovieFile& file, const ClipIdentity& id, const ProbeOptions& options) {
  if (options.mode != ProbeMode::Summary) return WalkMxfFrames(file, id, options);
  PrintSummary(SummarizeMxf(file, id), options, MxfSummaryText);
}

void ProbeMovie(const MovieFile& movie, const ClipIdentity& id, const ProbeOptions& options) {
  switch (options.mode) {
    case ProbeMode::Summary:
      PrintSummary(SummarizeMovie(movie, id), options, SummaryText);
      break;
    case ProbeMode::Samples:
      ListSamples(movie, options);
      break;
    case ProbeMode::Read:
      WalkDeliveries(movie, options);
      break;
  }
}

// A file identification knows but no reader of this platform reads (MPEG
// streams, AAF, raw IMX...): the summary says what it is, and the status
// tells it apart from a file nobody recognises.
[[noreturn]] void ProbeUnreadable(const MovieFile& file, const ClipIdentity& id, const ProbeOptions& options) {
  if (options.mode == ProbeMode::Summary) {
    PrintSummary(IdentitySummary(file, id), options, IdentityText);
  }
  FlushOutput();
  throw ProbeError(Exit_NoReader, file.path(),
                   IdentifiedAs(id) + ", but no reader is available on this platform (" + id.noReader + ")");
}

// Every file goes through identification and the factory first, as in a
// host. Where the factory has no reader for a QuickTime or MXF file (audio
// only MP4, every MXF type), oxlprobe reads it with the QuickTime or MXF
// reader itself, and the summary says what the factory answered. A file
// identification does not know goes the QuickTime way, whose open explains
// the failure best.
void Probe(const ProbeOptions& options) {
  const MovieFile movie(options.path, LibraryLog::Install(options.verbose));
  const ClipIdentity id =
      IdentifyClip(movie, options.audio ? OXLDataReader::Audio_Data : OXLDataReader::Video_Data);
  if (IsMxfFile(movie)) {
    ProbeMxf(movie, id, options);
  } else if (id.Identified() && !id.HasReader() && !id.openFailed && !movie.StartsWithAtom()) {
    ProbeUnreadable(movie, id, options);
  } else {
    ProbeMovie(movie, id, options);
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
