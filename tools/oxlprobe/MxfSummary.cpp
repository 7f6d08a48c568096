#include "MxfSummary.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>

#include "ProbeError.h"
#include "SummaryParts.h"

namespace oxlprobe {
namespace {

const unsigned char kHeaderPartition[14] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01,
                                            0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x02};
const uint16_t kOPAtom = 0x1000;

std::unique_ptr<CMXFDataReader> OpenMxf(const MovieFile& file) {
  auto reader = std::make_unique<CMXFDataReader>(OXLDataReader::Video_Data, 65536, "oxlprobe");
  int result = 0;
  try {
    result = reader->Open(file.path().c_str(), false);
  } catch (const std::exception& e) {
    throw ProbeError(Exit_ReadFailure, file.path(), std::string("damaged MXF file: ") + e.what());
  }
  switch (result) {
    case 0: return reader;
    case -1:
    case -2:
    case -15: throw ProbeError(Exit_NotRecognised, file.path(), "not an MXF file: no header partition");
    case -16: throw ProbeError(Exit_NotRecognised, file.path(), "OP1b, or a package missing: not supported");
    default:
      throw ProbeError(Exit_ReadFailure, file.path(),
                       "damaged or truncated MXF file (code " + std::to_string(result) + ")");
  }
}

std::string PatternName(uint16_t code) {
  if ((code & 0xFF00) == kOPAtom) return "OP-Atom";
  const unsigned int item = code >> 8, package = code & 0xFF;
  if (item < 1 || item > 3 || package < 1 || package > 3) return "unknown";
  return "OP" + std::to_string(item) + static_cast<char>('a' + package - 1);
}

const char* KindName(Oxl_Mxf::PartitionKind kind) {
  switch (kind) {
    case Oxl_Mxf::Partition_Header: return "header";
    case Oxl_Mxf::Partition_Body: return "body";
    default: return "footer";
  }
}

const char* StatusName(uint8_t status) {
  switch (status) {
    case 1: return "open incomplete";
    case 2: return "closed incomplete";
    case 3: return "open complete";
    case 4: return "closed complete";
    default: return "unknown";
  }
}

const char* TrackKindName(Oxl_Mxf::TrackKind kind) {
  switch (kind) {
    case Oxl_Mxf::Track_Picture: return "picture";
    case Oxl_Mxf::Track_Sound: return "sound";
    case Oxl_Mxf::Track_Timecode: return "timecode";
    default: return "other";
  }
}

const char* FamilyName(qel::MetadataFamily family) {
  switch (family) {
    case qel::MetadataFamily_As11Core: return "AS-11 core";
    case qel::MetadataFamily_As11UkDpp: return "AS-11 UK DPP";
    case qel::MetadataFamily_SonyNonRealTimeMetaData: return "non-real-time XML";
    default: return "other";
  }
}

Json PartitionsJson(const CMXFDataReader& reader) {
  Json list = Json::array();
  for (const auto& p : reader.GetPartitions()) {
    list.push_back(Json{{"kind", KindName(p->GetKind())},
                        {"status", StatusName(p->GetStatus())},
                        {"offset", p->m_KeyOffset},
                        {"body_sid", p->m_BodySID},
                        {"index_sid", p->m_IndexSID},
                        {"header_byte_count", p->m_HeaderByteCount},
                        {"index_byte_count", p->m_IndexByteCount},
                        {"index_segments", p->m_IndexSegments.size()}});
  }
  return list;
}

Json PackageJson(const char* role, const Oxl_Mxf::CMXFPackage& package) {
  Json tracks = Json::array();
  for (const Oxl_Mxf::CMXFTrack& t : package.m_Tracks) {
    tracks.push_back(Json{{"id", t.m_TrackID},
                          {"kind", TrackKindName(t.m_Kind)},
                          {"edit_rate", std::to_string(t.m_EditRateNum) + "/" + std::to_string(t.m_EditRateDen)},
                          {"origin", t.m_Origin},
                          {"duration", t.m_Sequence.m_Duration}});
  }
  return Json{{"role", role}, {"name", TextEncoding::UTF8::get(package.m_Name)}, {"tracks", tracks}};
}

Json VideoJson(CMXFDataReader& reader) {
  std::string descriptor = reader.GetPictureDescriptor();
  if (descriptor.empty()) return nullptr;
  OXLDataReader::VIDEO_INFO info{};
  const bool known = reader.GetCDCIVideoInfo(reinterpret_cast<unsigned char*>(descriptor.data()),
                                             static_cast<unsigned int>(descriptor.size()), info);
  const unsigned int type = known ? static_cast<unsigned int>(info.VideoType) : 0;
  Json j;
  j["width"] = info.Width;
  j["height"] = info.Height;
  j["scan"] = info.Progressive ? "progressive" : "interlaced";
  j["aspect"] = Named("code", info.AspectRatio, AspectName(info.AspectRatio));
  j["video_data_type"] =
      Named("value", type, OXLDataReader::GetVideoDataTypeStr(static_cast<OXLDataReader::VideoDataType>(type)));
  j["resolution"] = known ? Named("class", static_cast<unsigned int>(info.Resolution), ResolutionName(info.Resolution))
                          : Json(nullptr);
  j["sample_rate"] = info.EditRate.numerator ? Json(qel::ToString(info.EditRate)) : Json(nullptr);
  return j;
}

Json MetadataJson(const CMXFDataReader& reader) {
  Json list = Json::array();
  for (const auto& metadata : reader.GetMetadataList()) {
    Json properties = Json::object();
    for (const auto& [name, value] : metadata->GetProperties()) properties[name] = value;
    list.push_back(Json{{"family", Named("value", metadata->GetFamily(), FamilyName(metadata->GetFamily()))},
                        {"properties", properties}});
  }
  return list;
}

}  // namespace

bool IsMxfFile(const MovieFile& file) {
  unsigned char start[sizeof kHeaderPartition] = {};
  std::ifstream in(file.path(), std::ios::binary);
  if (in.read(reinterpret_cast<char*>(start), sizeof start) &&
      std::memcmp(start, kHeaderPartition, sizeof start) == 0)
    return true;
  const std::string& path = file.path();
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == "mxf";
}

nlohmann::ordered_json SummarizeMxf(const MovieFile& file, const ClipIdentity& id) {
  const std::unique_ptr<CMXFDataReader> reader = OpenMxf(file);
  const uint16_t pattern = reader->GetHeaderPartition()->m_OperationalPattern;
  const OxlTbx::VideoSystem system = reader->GetVideoSystem();
  Json j = IdentitySummary(file, id);
  j["operational_pattern"] = Named("code", pattern, PatternName(pattern));
  j["run_in"] = reader->GetRunInLength();
  j["partitions"] = PartitionsJson(*reader);
  j["packages"] = Json::array({PackageJson("material", reader->GetMaterialPackage()),
                               PackageJson("file", reader->GetFilePackage())});
  j["edit_rate"] = reader->GetEditRate();
  j["video_system"] = Named("value", system, OxlTbx::Sys_String[system]);
  const CTimeCode start = reader->GetStartTimeCode();
  j["start_timecode"] = start.HasValue() ? Json(TimecodeText(start.GetFields(), system)) : Json(nullptr);
  j["start"] = reader->GetStart();
  j["duration"] = reader->GetDuration();
  j["in_out"] = InOutJson(*reader);
  j["edit_byte_count"] = reader->GetEditByteCount();
  j["video"] = VideoJson(*reader);
  j["descriptive_metadata"] = MetadataJson(*reader);
  return j;
}

namespace {

std::string PartitionsText(const Json& partitions) {
  std::string text = Line("Partitions", Format("%-7s  %-17s  %12s  %8s  %12s  %12s", "Kind", "Status", "Offset",
                                               "Body SID", "Header bytes", "Index bytes"));
  for (const Json& p : partitions) {
    text += Line("", Format("%-7s  %-17s  %12s  %8s  %12s  %12s", Str(p["kind"]).c_str(), Str(p["status"]).c_str(),
                            Str(p["offset"]).c_str(), Str(p["body_sid"]).c_str(),
                            Str(p["header_byte_count"]).c_str(), Str(p["index_byte_count"]).c_str()));
  }
  return text;
}

std::string PackagesText(const Json& packages) {
  std::string text;
  for (const Json& p : packages) {
    text += Line(text.empty() ? "Packages" : "", Str(p["role"]) + " \"" + Str(p["name"]) + "\"");
    for (const Json& t : p["tracks"]) {
      text += Line("", Format("  track %s: %s, edit rate %s, duration %s", Str(t["id"]).c_str(),
                              Str(t["kind"]).c_str(), Str(t["edit_rate"]).c_str(), Str(t["duration"]).c_str()));
    }
  }
  return text;
}

std::string VideoText(const Json& v) {
  if (v.is_null()) return Line("Video", "no picture descriptor");
  const std::string resolution = v["resolution"].is_null() ? "unknown" : NamedPhrase(v["resolution"], "class");
  return Line("Video", Format("%sx%s %s, aspect %s, resolution %s, type %s", Str(v["width"]).c_str(),
                              Str(v["height"]).c_str(), Str(v["scan"]).c_str(), Str(v["aspect"]["name"]).c_str(),
                              resolution.c_str(), NamedText(v["video_data_type"], "value").c_str()));
}

std::string MetadataText(const Json& list) {
  if (list.empty()) return Line("Metadata", "none");
  std::string text;
  for (const Json& m : list) {
    text += Line(text.empty() ? "Metadata" : "", NamedText(m["family"], "value"));
    for (const auto& [name, value] : m["properties"].items()) text += Line("", "  " + name + ": " + Str(value));
  }
  return text;
}

}  // namespace

std::string MxfSummaryText(const nlohmann::ordered_json& s) {
  std::string text = IdentityText(s);
  text += Line("Pattern", NamedText(s["operational_pattern"], "code"));
  text += PartitionsText(s["partitions"]);
  text += PackagesText(s["packages"]);
  text += Line("Edit rate", Format("%g", s["edit_rate"].get<double>()));
  text += Line("Video system", NamedText(s["video_system"], "value"));
  text += Line("Start timecode", s["start_timecode"].is_null() ? "none" : Str(s["start_timecode"]));
  text += Line("Duration", Str(s["duration"]) + " edit units");
  text += InOutText(s["in_out"]);
  text += VideoText(s["video"]);
  text += MetadataText(s["descriptive_metadata"]);
  return text;
}

}  // namespace oxlprobe
