#pragma once

namespace qel {

// Container types of media files. The values are fixed: they are stored by
// hosts and exchanged between tools. Names: OXLDataReader::GetFileTypeStr.
enum FileType : unsigned int {
  Unknown_File = 0, WAVE_File = 1, TS_File = 2, TS204_File = 3, PSMPEG1_File = 4, PSMPEG2_File = 5,
  ESVideo_File = 6, ESAudio_File = 7, ESAC3_File = 8, PESVideo_File = 9, PESAudio_File = 10, MJPEG_File = 11,
  IMX_File = 12, P2_File = 13, P2Video_File = 14, P2Audio_File = 15, RawDV_File = 16, SDI_File = 17,
  IMXProxy_File = 18, P2Proxy_File = 19, SonyDV_File = 20, MXFDVFrame_File = 21, AVIUnknown_File = 22,
  AVIDV_File = 23, QTUnknown_File = 24, QTDV_File = 25, QTJPG_File = 26, MXFMPEGES_File = 27,
  MXFMPEGAudioES_File = 28, HDXDCAM_File = 29, QTIMX_File = 30, OXLIMX_File = 31, AVIIMX_File = 32,
  QTDVHD_File = 33, DNxHDVideo_File = 34, OXLDNxHD_File = 35, QTDNxHD_File = 36, RY_Link = 37, RY_XmlLink = 38,
  OXLMPEGfield_File = 39, AVIMatroxHD_File = 40, RY_Ftp = 41, QTProRes_File = 42, OXLProRes_File = 43,
  RY_FtpLink = 44, OPAtom_File = 45, OPAtomAudio_File = 46, OP1ADVCPHD_File = 47, AAF_File = 48,
  OXL_MultiStream = 49, OXLMPEGHD_File = 50, OXLDVCPRO_File = 51, QTREFDV_File = 52, QTREFIMX_File = 53,
  QTREFDVHD_File = 54, QTREFDNxHD_File = 55, QTREFProRes_File = 56, HDXDCAMEX_File = 57, RawIMX_File = 58,
  QTGraphical_File = 59, MXFOP1ADVCPro_File = 60, MXFOP1ADNxHD_File = 61, QTH264_File = 62, OXLAVCI_File = 63,
  QTAVCI_File = 64, OP1AAVCI_File = 65, QTREFAVCI_File = 66, MXFOp1aMPEG4_File = 67, MXFOp1aIMX_File = 68,
  SonyXDCamSxS_File = 69, OmneonLowLatency_File = 70, Picture_File = 71, KM_File = 72, CG_File = 73,
  QTHDV_File = 74, OP1AXAVCI_File = 75, Mp4_File = 76, MXFOP1A_File = 77, MXFOP1B_File = 78, OXLXAVCI_File = 79,
  MPEGDASH_File = 80,
};

}  // namespace qel
