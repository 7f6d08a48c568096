// oxl_bench: one measurement of one reader on one movie, printed as one line
// of "key=value" words. bench/run.sh runs it many times and writes the tables.
//
//   oxl_bench <open|forward|backward|seek> <oxl|avformat|read|copy> <file> [--seeks N] [--landings FILE] [--verify]
//   oxl_bench --version
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>

#include "AvformatBenchReader.h"
#include "Measurement.h"

namespace {

int Usage() {
  std::cerr << "usage: oxl_bench <open|forward|backward|seek> <oxl|avformat|read|copy> <file> [--seeks N] [--landings FILE] [--verify]\n"
               "       oxl_bench --version\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << AvformatBenchReader::Version() << "\n";
    return 0;
  }
  if (argc < 4) return Usage();
  MeasurementOptions options;
  options.measure = argv[1];
  options.reader = argv[2];
  options.path = argv[3];
  for (int i = 4; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag == "--verify") {
      options.verify = true;
    } else if (flag == "--landings" && i + 1 < argc) {
      options.landings = argv[++i];
    } else if (flag == "--seeks" && i + 1 < argc) {
      options.seeks = std::atoi(argv[++i]);
    } else {
      return Usage();
    }
  }
  try {
    std::cout << RunMeasurement(options) << std::endl;
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "oxl_bench: " << options.measure << " " << options.reader << " " << options.path << ": "
              << error.what() << "\n";
    return 1;
  }
}
