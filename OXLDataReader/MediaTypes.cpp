#include "OXLDataReader/MediaTypes.h"

#include "OXLDataReader/OXLDataReader.h"

namespace OXLDataReader {

const TypeName FileTypeStr[81] = {
    {0, "Unknown_File"}, {1, "WAVE_File"}, {2, "TS_File"}, {3, "TS204_File"}, {4, "PSMPEG1_File"},
    {5, "PSMPEG2_File"}, {6, "ESVideo_File"}, {7, "ESAudio_File"}, {8, "ESAC3_File"}, {9, "PESVideo_File"},
    {10, "PESAudio_File"}, {11, "MJPEG_File"}, {12, "IMX_File"}, {13, "P2_File"}, {14, "P2Video_File"},
    {15, "P2Audio_File"}, {16, "RawDV_File"}, {17, "SDI_File"}, {18, "IMXProxy_File"}, {19, "P2Proxy_File"},
    {20, "SonyDV_File"}, {21, "MXFDVFrame_File"}, {22, "AVIUnknown_File"}, {23, "AVIDV_File"},
    {24, "QTUnknown_File"}, {25, "QTDV_File"}, {26, "QTJPG_File"}, {27, "MXFMPEGES_File"},
    {28, "MXFMPEGAudioES_File"}, {29, "HDXDCAM_File"}, {30, "QTIMX_File"}, {31, "OXLIMX_File"},
    {32, "AVIIMX_File"}, {33, "QTDVHD_File"}, {34, "DNxHDVideo_File"}, {35, "OXLDNxHD_File"},
    {36, "QTDNxHD_File"}, {37, "RY_Link"}, {38, "RY_XmlLink"}, {39, "OXLMPEGfield_File"},
    {40, "AVIMatroxHD_File"}, {41, "RY_Ftp"}, {42, "QTProRes_File"}, {43, "OXLProRes_File"},
    {44, "RY_FtpLink"}, {45, "OPAtom_File"}, {46, "OPAtomAudio_File"}, {47, "OP1ADVCPHD_File"},
    {48, "AAF_File"}, {49, "OXL_MultiStream"}, {50, "OXLMPEGHD_File"}, {51, "OXLDVCPRO_File"},
    {52, "QTREFDV_File"}, {53, "QTREFIMX_File"}, {54, "QTREFDVHD_File"}, {55, "QTREFDNxHD_File"},
    {56, "QTREFProRes_File"}, {57, "HDXDCAMEX_File"}, {58, "RawIMX_File"}, {59, "QuickTime Graphical File"},
    {60, "MXF OP1A DVCPro File"}, {61, "MXF OP1A DNxHD File"}, {62, "QT H264 File"}, {63, "OXL AVC-I File"},
    {64, "QT AVC-I File"}, {65, "OP1A AVC-I File"}, {66, "QTREF AVC-I File"}, {67, "MXF Op1a MPEG4 File"},
    {68, "MXF Op1a IMX File"}, {69, "Sony XDCam SxS File"}, {70, "Omneon Low Latency File"},
    {71, "Picture File"}, {72, "KM File"}, {73, "CG File"}, {74, "QT HDV File"}, {75, "OP1A XAVC-I File"},
    {76, "Mp4 File"}, {77, "MXF OP1A File"}, {78, "MXF OP1B File"}, {79, "OXL XAVC-I File"},
    {80, "MPEG-DASH File"},
};

// Stored in the historical order: 29 sits between 25 and 26.
const TypeName VideoDataTypeStr[51] = {
    {0, "Unknown_Video"}, {1, "Mjpeg_Video"}, {2, "MjpegFrame_Video"}, {3, "DV25_Video"},
    {4, "DVCPro25_Video"}, {5, "DVCPro50_Video"}, {6, "IMX30_Video"}, {7, "IMX40_Video"}, {8, "IMX50_Video"},
    {9, "Mjpeg4_Video"}, {10, "DVCPro100_Video"}, {11, "DVCPro720P_Video"}, {12, "MP4ART_Video"},
    {13, "HDV_Video"}, {14, "DNxHD_Video"}, {15, "DNxHDHigh_Video"}, {16, "MPEG2_Video"},
    {17, "MPEGField_Video"}, {18, "MPEGFrame_Video"}, {19, "ProRes_Video"}, {20, "ProResHigh_Video"},
    {21, "MjpegLowRes_Video"}, {22, "AVC_I_100_720P_Video"}, {23, "AVC_I_100"}, {24, "MPEG1_Video"},
    {25, "RLE Graphical"}, {29, "TGA Video"}, {26, "ProRes LT Video"},
    {27, "DNxHD 10 bits Video (185/220 Mbps)"}, {28, "H264/AVC/MPEG4-10 Video"}, {30, "AVC_I_50_720P_Video"},
    {31, "AVC_I_50_1080i_Video"}, {32, "Bmp"}, {33, "Jpeg"}, {34, "TGA"}, {35, "TGA_Alpha"}, {36, "TIFF"},
    {37, "TIFF_Alpha"}, {38, "PNG"}, {39, "PNG_Alpha"}, {40, "Raw SD"}, {41, "ProRes Proxy Video"},
    {42, "Sony XAVC-Intra class 50"}, {43, "Sony XAVC-Intra class 100"}, {44, "AVC-LongGOP class 6"},
    {45, "AVC-LongGOP class 12"}, {46, "AVC-LongGOP class 25"}, {47, "AVC-LongGOP class 50"},
    {48, "Sony XAVC-Intra 4k class 300"}, {49, "Sony XAVC-Intra 4k class 480"}, {50, "H264 Intra"},
};

namespace {
template <size_t N>
std::string Lookup(const TypeName (&table)[N], unsigned int value) {
  for (const TypeName& entry : table)
    if (entry.first == value) return entry.second;
  return std::string();
}
}  // namespace

std::string GetFileTypeStr(qel::FileType type) { return Lookup(FileTypeStr, type); }
std::string GetVideoDataTypeStr(unsigned int type) { return Lookup(VideoDataTypeStr, type); }

bool IsSDVideo(const VideoResolution& r) { return r >= 1 && r < 3; }
bool IsHDVideo(const VideoResolution& r) { return r >= 3 && r < 6; }
bool IsLowResVideo(const VideoResolution& r) { return r >= 17 && r < 19; }

DATA_READER_MEDIA::DATA_READER_MEDIA() : features(COXLDataReader::gdwDefaultFeatures) {}

}  // namespace OXLDataReader
