#pragma once
// The vocabulary every reader speaks: video codec families, data kinds,
// picture size classes, factory status, the factory request record, and the
// display names of file types and video data types.
#include <string>
#include <utility>

#include "qelCore/FileType.h"

namespace OXLDataReader {

enum VideoDataType : unsigned int {
  Unknown_Video = 0, Mjpeg_Video = 1, MjpegFrame_Video = 2, DV25_Video = 3, DVCPro25_Video = 4,
  DVCPro50_Video = 5, IMX30_Video = 6, IMX40_Video = 7, IMX50_Video = 8, Mjpeg4_Video = 9,
  DVCPro100_Video = 10, DVCPro720P_Video = 11, MP4ART_Video = 12, HDV_Video = 13, DNxHD_Video = 14,
  DNxHDHigh_Video = 15, MPEG2_Video = 16, MPEGField_Video = 17, MPEGFrame_Video = 18, ProRes_Video = 19,
  ProResHigh_Video = 20, MjpegLowRes_Video = 21, AVC_I_100_720P_Video = 22, AVC_I_100 = 23, MPEG1_Video = 24,
  RLE_Graphical = 25, ProResLT_Video = 26, DNxHD10bits_Video = 27, H264_Video = 28, TGA_Video = 29,
  AVC_I_50_720P_Video = 30, AVC_I_50_1080i_Video = 31, Bmp_Video = 32, Jpeg_Video = 33, TGA_Picture = 34,
  TGA_Alpha = 35, TIFF_Picture = 36, TIFF_Alpha = 37, PNG_Picture = 38, PNG_Alpha = 39, RawSD_Video = 40,
  ProResProxy_Video = 41, XAVC_Intra_Class50 = 42, XAVC_Intra_Class100 = 43, AVC_LongGOP_Class6 = 44,
  AVC_LongGOP_Class12 = 45, AVC_LongGOP_Class25 = 46, AVC_LongGOP_Class50 = 47, XAVC_Intra_4k_Class300 = 48,
  XAVC_Intra_4k_Class480 = 49, H264_Intra = 50,
};

// What a reader delivers: 1 and 2 video, 3 audio; 0 (or anything else) data
// whose time limits are held in microseconds.
enum DataType : int { Other_Data = 0, Video_Data = 1, VideoAlt_Data = 2, Audio_Data = 3 };

enum VideoResolution : int {
  NoResolution = 0,
  SD_525 = 1,      // fewer than 576 lines
  SD_625 = 2,      // 576 to 719 lines
  HD_720 = 3,      // 720 to 1079 lines
  HD_1080 = 4,     // 1080 lines and more
  UHD_2160 = 5,
  LowRes_240 = 17, // fewer than 288 lines
  LowRes_288 = 18, // 288 to 479 lines
};

bool IsSDVideo(const VideoResolution& resolution);
bool IsHDVideo(const VideoResolution& resolution);
bool IsLowResVideo(const VideoResolution& resolution);

// Status reported by the reader factory.
enum ErrorCode : unsigned int {
  ReaderOpened = 0,
  FileTypeUnknown = 1,  // the initial value
  NoReaderForFileType = 2,
  OpenFailed = 4,
};

// A request to the reader factory, filled in by it.
struct DATA_READER_MEDIA {
  std::wstring path;
  qel::FileType fileType = qel::Unknown_File;  // 0: identify the file
  VideoDataType videoDataType = Unknown_Video;
  unsigned int features;                        // COXLDataReader::gdwDefaultFeatures
  ErrorCode error = FileTypeUnknown;
  DATA_READER_MEDIA();
};

using TypeName = std::pair<unsigned int, std::string>;
extern const TypeName FileTypeStr[81];
extern const TypeName VideoDataTypeStr[51];

// The display name, or an empty string for a value outside the table.
std::string GetFileTypeStr(qel::FileType type);
std::string GetVideoDataTypeStr(unsigned int type);

}  // namespace OXLDataReader
