#include <oxl.h>

#include <cstdio>
#include <memory>

// Opens the file named on the command line and prints its size and the name of the last file type.
int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::unique_ptr<COXLFileReader> reader(OXLAccessHandler::CreateFileReader(argv[1], 0, "consumer"));
  if (!reader) return 3;
  std::printf("%lu %s\n", reader->GetFileSize(), OXLDataReader::GetFileTypeStr(qel::MPEGDASH_File).c_str());
  return 0;
}
