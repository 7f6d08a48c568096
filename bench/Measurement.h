#pragma once
// One measurement of one reader on one file, as the driver script asks for it
// (one per process, so that each open starts from a fresh process's memory).
//
//   open      construct and open the reader, ready for the first sample: the
//             time, the peak resident memory it added (VmHWM after the open
//             minus VmRSS before it), and the bytes and calls it read
//   forward   every video sample with its data, first to last
//   backward  every video sample with its data, last to first
//   seek      `seeks` random landings, each followed by one forward delivery;
//             the targets are a quarter into sample periods drawn from a fixed
//             seed, so both readers face the same list (a quarter, not the
//             middle: the OXL reader rounds a time to the nearest sample start,
//             libavformat to the sample playing then; both agree there)
//
// Readers: "oxl" (the MXF frame reader for a ".mxf" file, the QuickTime reader
// otherwise), "avformat", and for forward also "read" (plain read() of the
// same bytes) and "copy" (the same, each frame also copied into a frame
// buffer). The result is one line of "key=value" words.
#include <string>

struct MeasurementOptions {
  std::string measure;
  std::string reader;
  std::string path;
  int seeks = 1000;
  bool verify = false;  // hash the delivered bytes (checked runs, not timed ones)
  std::string landings;  // seek: file that receives "<target sample> <sample landed on>" lines
};

std::string RunMeasurement(const MeasurementOptions& options);
