#include "RecordOutput.h"

namespace oxlprobe {

RecordOutput::RecordOutput(bool json, std::vector<Column> columns, ProgressBar* bar)
    : m_bJson(json), m_Columns(std::move(columns)), m_Bar(bar) {}

std::string RecordOutput::Dump(const nlohmann::ordered_json& value, int indent) {
  return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string RecordOutput::Text(const nlohmann::ordered_json& value) {
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "no";
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_float()) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value.get<double>());
    return text;
  }
  return Dump(value);
}

void RecordOutput::Write(const nlohmann::ordered_json& record) {
  if (m_Bar) m_Bar->Clear();
  if (m_bJson) {
    std::printf("%s\n", Dump(record).c_str());
    return;
  }
  if (!m_bHeaderDone) {
    std::vector<std::string> titles;
    for (const Column& c : m_Columns) titles.push_back(c.key);
    PrintRow(titles);
    m_bHeaderDone = true;
  }
  std::vector<std::string> cells;
  for (const Column& c : m_Columns) cells.push_back(record.contains(c.key) ? Text(record[c.key]) : "-");
  PrintRow(cells);
}

void RecordOutput::PrintRow(const std::vector<std::string>& cells) const {
  std::string line;
  for (size_t i = 0; i < cells.size() && i < m_Columns.size(); ++i) {
    const size_t width = static_cast<size_t>(m_Columns[i].width);
    if (i) line += ' ';
    if (cells[i].size() < width) line.append(width - cells[i].size(), ' ');
    line += cells[i];
  }
  std::printf("%s\n", line.c_str());
}

}  // namespace oxlprobe
