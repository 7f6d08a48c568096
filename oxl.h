#pragma once
// Umbrella header: the whole public interface of the OXL data reader.

// Host-framework layer
#include "qelCore/Buffer.h"
#include "qelCore/Check.h"
#include "qelCore/DescriptiveMetadata.h"
#include "qelCore/EditRate.h"
#include "qelCore/Element.h"
#include "qelCore/FileType.h"
#include "qelCore/ImplementElement.h"
#include "qelCore/Logger.h"
#include "qelCore/MediaDescription.h"
#include "qelCore/MediaTime.h"
#include "qelCore/Parameters.h"
#include "qelCore/QELRuntimeError.h"
#include "qelCore/Recycler.h"
#include "qelCore/Sample.h"

// Timecode and text
#include "OxlTbx/Byter.h"
#include "OxlTbx/System.h"
#include "OxlTbx/TextEncoding.h"
#include "OxlTbx/TimeCode.h"
#include "OxlTbx/TimeCodeConversions.h"
#include "OxlTbx/VideoSystem.h"

// File access
#include "OXLFileAccess/FileReaderFactory.h"
#include "OXLFileAccess/LockableOxlFileReader.h"
#include "OXLFileAccess/OXLAccessHandler.h"
#include "OXLFileAccess/OXLFileReader.h"
#include "OXLFileAccess/ReaderFactoryParameters.h"
#include "OXLFileAccess/SimpleFileReader.h"

// Muxer utilities
#include "qelMuxerUtils/OXLAVCIntraHelper.h"

// Readers
#include "OXLDataReader/AudioStream.h"
#include "OXLDataReader/AvcIntraFormaterDataReader.h"
#include "OXLDataReader/DataReaderContextReader.h"
#include "OXLDataReader/DataReaderTimeLimits.h"
#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MediaTypes.h"
#include "OXLDataReader/OXLDataReader.h"
#include "OXLDataReader/OXLDataReaderFactory.h"
#include "OXLDataReader/OXLMediaFileOperations.h"
#include "OXLDataReader/OXLMediaFiles.h"
#include "OXLDataReader/OXLMediaIdentifier.h"
#include "OXLDataReader/QTDatareader.h"
#include "OXLDataReader/QTIMXDatareader.h"

// QuickTime/MP4 structures
#include "OXLDataReader/OXL_QuickTime/AudioSampleDescriptor.h"
#include "OXLDataReader/OXL_QuickTime/ChunkOffsetTable.h"
#include "OXLDataReader/OXL_QuickTime/MoovAudioPcmTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/MoovSampleIndex.h"
#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/MoovTrackSubIndexBase.h"
#include "OXLDataReader/OXL_QuickTime/QTAtom.h"
#include "OXLDataReader/OXL_QuickTime/QTAtomStreamReader.h"
#include "OXLDataReader/OXL_QuickTime/QTMediaTrack.h"
#include "OXLDataReader/OXL_QuickTime/QTTimeCodeTools.h"
#include "OXLDataReader/OXL_QuickTime/QTUtils.h"
#include "OXLDataReader/OXL_QuickTime/SampleChunkTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleDescription.h"
#include "OXLDataReader/OXL_QuickTime/SampleSizeTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleSyncTable.h"
#include "OXLDataReader/OXL_QuickTime/SampleTimeTable.h"
#include "OXLDataReader/OXL_QuickTime/StsdAtom.h"
#include "OXLDataReader/OXL_QuickTime/TrackFragments.h"
#include "OXLDataReader/OXL_QuickTime/TrackIndex.h"
#include "OXLDataReader/OXL_QuickTime/TrackSubIndex.h"
#include "OXLDataReader/OXL_QuickTime/VideoSampleDescription.h"
#include "OXLDataReader/OXL_QuickTime/VideoSampleDescriptionExtension.h"
#include "OXLDataReader/OXL_QuickTime/VideoSampleDescriptionExtensionDeserializer.h"

// MXF structures
#include "OXLDataReader/MXFDescriptiveMetadata.h"
#include "OXLDataReader/MXFHeaderMetadata.h"
#include "OXLDataReader/MXFLocalKeyTable.h"
#include "OXLDataReader/MXFPackage.h"
#include "OXLDataReader/MXFPartition.h"
#include "OXLDataReader/MXFUtils.h"

// XML document model and path queries
#include "xmlpp/Document.h"
#include "xmlpp/Element.h"
#include "xmlpp/Exception.h"
#include "xmlpp/Node.h"
#include "xmlpp/domparser.h"
#include "xmlpp/xpath.h"
