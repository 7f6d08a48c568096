#pragma once
// Moving, copying and deleting a media clip with every file that belongs to
// it (GetAssociatedMediaFiles). Before a move or a delete, every file of the
// clip is renamed out of the way (a "~~" in front of its name), so that a
// move or delete that stops half-way never leaves a clip that looks complete
// and a clip in use elsewhere is not touched at all.
//
// Sources are drive-letter ("C:\clips\a.mov") or network ("\\server\a.mov")
// paths; on this platform such a path is taken as it is by the file system.
// Any other source, POSIX paths included, is refused with 0. A file the clip
// lists twice (two tracks of one reference movie in one media file) is
// handled once.
#include <functional>
#include <list>
#include <string>

namespace OXLDataReader {

enum DataReader_ProcessMode : int {
  Move_ProcessMode = 0,
  Delete_ProcessMode = 1,
  Copy_ProcessMode = 2,
  MoveWithRenaming_ProcessMode = 3,
};

// How ProcessMediaFile retries renaming the clip's files out of the way when
// one of them cannot be renamed (typically still open elsewhere): up to
// `attempts` tries with `wait(waitSeconds)` between two of them. The default
// waits by sleeping the calling thread; a host that must not block that long
// (or a test) passes its own wait or a shorter time.
struct MediaFileRetry {
  int attempts = 6;
  unsigned int waitSeconds = 500;
  std::function<void(unsigned int seconds)> wait;
  MediaFileRetry();
};

// Renames every existing file of the list to its "~~" name and updates the
// list. When one rename fails, every file already renamed gets its name back
// (as does its list entry) and the answer is false.
bool InvalidateFileName(std::list<std::wstring>& files);
// Renames `from` to `to` (UTF-8); a file-system failure answers false.
bool PortableMoveFile(std::string from, std::string to);
// Moves `file` into the directory `destination` under its name without a
// leading "~~" and sets `file` to its new path; answers 1. A failed rename
// (another file system, a missing file...) logs and throws qel::QELRuntimeError
// "[Not implemented on Linux or Mac OS X]".
int DoMoveFile(std::wstring& file, const wchar_t* destination);
// Copies `file` into the directory `destination` under its name without a
// leading "~~"; a file already there is replaced. Answers 1; 0, logged, when
// the copy fails (a directory, a missing file, no room...).
int DoCopyFile(std::wstring& file, const wchar_t* destination);
// Removes the entry at `path` with everything below it; true when anything was removed.
bool DeleteDirectory(const wchar_t* path);

// Moves (0, 3), deletes (1) or copies (2) the clip at `source` with all its
// files into the directory `destination` (ignored for a delete). Answers the
// last file's result (1 done), or 0 when nothing was done: no source, no
// destination for a move or copy, a source that is not a drive-letter or
// network path, or files that stayed in use through every attempt.
int ProcessMediaFile(DataReader_ProcessMode mode, const wchar_t* source, const wchar_t* destination);
int ProcessMediaFile(DataReader_ProcessMode mode, const wchar_t* source, const wchar_t* destination,
                     const MediaFileRetry& retry);
int ProcessMediaFile(DataReader_ProcessMode mode, const char* source, const char* destination);

int MoveMediaFile(const wchar_t* source, const wchar_t* destination);
int MoveMediaFile(const char* source, const char* destination);
int CopyMediaFile(const wchar_t* source, const wchar_t* destination);
int CopyMediaFile(const char* source, const char* destination);
int DeleteMediaFile(const wchar_t* source);
int DeleteMediaFile(const char* source);

}  // namespace OXLDataReader
