#pragma once
// Entry points that data readers and the reader factory use to obtain an
// opened file reader for a path.
#include <string>

#include "OXLFileAccess/OXLFileReader.h"

namespace OXLAccessHandler {

// Process-wide defaults, set at start-up before readers are made.
extern bool gbEnableTbxReader;
extern unsigned int gdwMinRead;
extern unsigned int gdwMaxRead;
extern unsigned int gLocalFileMaxMs;  // threshold of the local read/seek stopwatch (400 ms)

// Sets gbEnableTbxReader; the read sizes only when enabling.
void EnableTbxReader(bool enable, unsigned int minRead, unsigned int maxRead);

// An opened reader owned by the caller, or null when the path has no
// transport or cannot be opened. The TBX arguments do not change the result.
COXLFileReader* CreateFileReader(const wchar_t* path, unsigned long flags, std::string logId);
COXLFileReader* CreateFileReader(const wchar_t* path, bool useTbx, unsigned int minRead, unsigned int maxRead,
                                 unsigned long flags, std::string logId);
COXLFileReader* CreateFileReader(const char* path, unsigned long flags, std::string logId);
COXLFileReader* CreateFileReader(const char* path, bool useTbx, unsigned int minRead, unsigned int maxRead,
                                 unsigned long flags, std::string logId);

}  // namespace OXLAccessHandler
