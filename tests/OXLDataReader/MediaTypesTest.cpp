// Display names of file types and video data types, and resolution classes.
#include <gtest/gtest.h>

#include "OXLDataReader/MediaTypes.h"
#include "OXLDataReader/OXLDataReader.h"

using namespace OXLDataReader;

TEST(FileTypeNames, AllEightyOneCharacterForCharacter) {
  const char* const expected[81] = {
      "Unknown_File", "WAVE_File", "TS_File", "TS204_File", "PSMPEG1_File", "PSMPEG2_File", "ESVideo_File",
      "ESAudio_File", "ESAC3_File", "PESVideo_File", "PESAudio_File", "MJPEG_File", "IMX_File", "P2_File",
      "P2Video_File", "P2Audio_File", "RawDV_File", "SDI_File", "IMXProxy_File", "P2Proxy_File", "SonyDV_File",
      "MXFDVFrame_File", "AVIUnknown_File", "AVIDV_File", "QTUnknown_File", "QTDV_File", "QTJPG_File",
      "MXFMPEGES_File", "MXFMPEGAudioES_File", "HDXDCAM_File", "QTIMX_File", "OXLIMX_File", "AVIIMX_File",
      "QTDVHD_File", "DNxHDVideo_File", "OXLDNxHD_File", "QTDNxHD_File", "RY_Link", "RY_XmlLink",
      "OXLMPEGfield_File", "AVIMatroxHD_File", "RY_Ftp", "QTProRes_File", "OXLProRes_File", "RY_FtpLink",
      "OPAtom_File", "OPAtomAudio_File", "OP1ADVCPHD_File", "AAF_File", "OXL_MultiStream", "OXLMPEGHD_File",
      "OXLDVCPRO_File", "QTREFDV_File", "QTREFIMX_File", "QTREFDVHD_File", "QTREFDNxHD_File", "QTREFProRes_File",
      "HDXDCAMEX_File", "RawIMX_File", "QuickTime Graphical File", "MXF OP1A DVCPro File", "MXF OP1A DNxHD File",
      "QT H264 File", "OXL AVC-I File", "QT AVC-I File", "OP1A AVC-I File", "QTREF AVC-I File",
      "MXF Op1a MPEG4 File", "MXF Op1a IMX File", "Sony XDCam SxS File", "Omneon Low Latency File", "Picture File",
      "KM File", "CG File", "QT HDV File", "OP1A XAVC-I File", "Mp4 File", "MXF OP1A File", "MXF OP1B File",
      "OXL XAVC-I File", "MPEG-DASH File"};
  for (unsigned int v = 0; v < 81; ++v) {
    EXPECT_EQ(GetFileTypeStr(static_cast<qel::FileType>(v)), expected[v]) << "file type " << v;
    EXPECT_EQ(FileTypeStr[v].first, v);
  }
  EXPECT_EQ(GetFileTypeStr(static_cast<qel::FileType>(81)), "");
  EXPECT_EQ(GetFileTypeStr(static_cast<qel::FileType>(0xFFFFFFFF)), "");
}

TEST(VideoDataTypeNames, AllFiftyOneCharacterForCharacter) {
  const char* const expected[51] = {
      "Unknown_Video", "Mjpeg_Video", "MjpegFrame_Video", "DV25_Video", "DVCPro25_Video", "DVCPro50_Video",
      "IMX30_Video", "IMX40_Video", "IMX50_Video", "Mjpeg4_Video", "DVCPro100_Video", "DVCPro720P_Video",
      "MP4ART_Video", "HDV_Video", "DNxHD_Video", "DNxHDHigh_Video", "MPEG2_Video", "MPEGField_Video",
      "MPEGFrame_Video", "ProRes_Video", "ProResHigh_Video", "MjpegLowRes_Video", "AVC_I_100_720P_Video",
      "AVC_I_100", "MPEG1_Video", "RLE Graphical", "ProRes LT Video", "DNxHD 10 bits Video (185/220 Mbps)",
      "H264/AVC/MPEG4-10 Video", "TGA Video", "AVC_I_50_720P_Video", "AVC_I_50_1080i_Video", "Bmp", "Jpeg", "TGA",
      "TGA_Alpha", "TIFF", "TIFF_Alpha", "PNG", "PNG_Alpha", "Raw SD", "ProRes Proxy Video",
      "Sony XAVC-Intra class 50", "Sony XAVC-Intra class 100", "AVC-LongGOP class 6", "AVC-LongGOP class 12",
      "AVC-LongGOP class 25", "AVC-LongGOP class 50", "Sony XAVC-Intra 4k class 300",
      "Sony XAVC-Intra 4k class 480", "H264 Intra"};
  for (unsigned int v = 0; v < 51; ++v) EXPECT_EQ(GetVideoDataTypeStr(v), expected[v]) << "video data type " << v;
  EXPECT_EQ(GetVideoDataTypeStr(51), "");
}

TEST(VideoDataTypeNames, TableKeepsItsHistoricalOrder) {
  const unsigned int order[] = {25, 29, 26, 27, 28, 30};
  for (unsigned int i = 0; i < 6; ++i) EXPECT_EQ(VideoDataTypeStr[25 + i].first, order[i]);
}

TEST(Resolutions, HalfOpenClasses) {
  for (int r = -1; r <= 20; ++r) {
    const auto res = static_cast<VideoResolution>(r);
    EXPECT_EQ(IsSDVideo(res), r == 1 || r == 2) << r;
    EXPECT_EQ(IsHDVideo(res), r >= 3 && r <= 5) << r;
    EXPECT_EQ(IsLowResVideo(res), r == 17 || r == 18) << r;
  }
}

TEST(FactoryRequest, StartsUnidentifiedWithDefaultFeatures) {
  COXLDataReader::gdwDefaultFeatures = 0x10000000;
  DATA_READER_MEDIA media;
  COXLDataReader::gdwDefaultFeatures = 0x12000000;
  EXPECT_EQ(media.features, 0x10000000u);
  EXPECT_EQ(media.fileType, qel::Unknown_File);
  EXPECT_EQ(media.error, FileTypeUnknown);
  EXPECT_EQ(static_cast<unsigned int>(media.error), 1u);
}
