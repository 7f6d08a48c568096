#pragma once
// The files that make up a media clip: a QuickTime reference movie with the
// files its tracks point at, 4K quarters and 3D eyes (OxlAssociatedFileFinder),
// and long WAV audio stored as numbered parts ("take.00.wav", "take.01.wav"...).
#include <list>
#include <string>

namespace OXLDataReader {

// Lists every file of the clip at `path` into `files` (appended): for a
// QuickTime movie, the files its video, caption and audio tracks reference
// (beside the movie, audio from the last track to the first), then the movie
// itself; for any other file, the file with its 4K or 3D companions.
// Answers 0; -1 for a null path; -2 when a QuickTime movie could not be
// opened (its own files are listed all the same). `flags` is reserved: hosts
// pass 16 and the listing does not depend on it.
// Throws qel::QELRuntimeError "[Not implemented on Linux or Mac OS X]" for
// playlists ("m3u8"), DASH manifests ("mpd") and the container types this
// platform does not list (P2, IMX proxy, OP-Atom, OP-Atom audio, multi-stream,
// MXF MPEG-4).
int GetAssociatedMediaFiles(const wchar_t* path, std::list<std::wstring>& files, int flags);
int GetAssociatedMediaFiles(const char* utf8Path, std::list<std::string>& files, int flags);

// Whether `path` ends with "." and `extension`; case-sensitive, and the
// extension is a regular expression (ECMAScript).
bool DoesMatchFileExtension(const std::wstring& path, const std::wstring& extension);

// Numbered WAV parts. FoundNextWav builds the name of part `counter` of
// `base` ("base.07.wav", "base.12.wav"), increments the counter and tells
// whether that file exists.
bool FoundNextWav(std::wstring& name, const std::wstring& base, unsigned int& counter);
// For a ".00.wav" path, the parts from 00 up to the first missing number;
// for any other path, the path alone.
void CheckForAdditionalWav(const wchar_t* path, std::list<std::wstring>& files);
// Whether part 00 of the WAV `path` ("take.wav" -> "take.00.wav") exists; its name goes to `name`.
bool ExistWavFile(const wchar_t* path, std::wstring& name);

// Playlists and DASH manifests are not expanded on this platform: both throw
// qel::QELRuntimeError "[Not implemented on Linux or Mac OS X]".
void ReadElementFromPlaylistFile(const wchar_t* path, std::list<std::wstring>& files);
void ReadElementFromMpegDashManifestFile(const wchar_t* path, std::list<std::wstring>& files);

}  // namespace OXLDataReader
