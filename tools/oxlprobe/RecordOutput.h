#pragma once
// One line per sample or delivery on standard output: a JSON object per line,
// or a text table whose header comes before the first row. The same record
// feeds both, so the two forms never drift apart.
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ProgressBar.h"

namespace oxlprobe {

class RecordOutput {
 public:
  struct Column {
    std::string key;  // the record's key; also the column title
    int width;        // right-aligned text width
  };

  // `bar` (may be null) is erased before each line.
  RecordOutput(bool json, std::vector<Column> columns, ProgressBar* bar);

  // Text: the record's values in column order (a missing key prints "-";
  // numbers with a fraction print six decimals; true/false print yes/no).
  // JSON: the record as it is.
  void Write(const nlohmann::ordered_json& record);

  // JSON text of `value`; invalid UTF-8 in strings is replaced, never fatal.
  static std::string Dump(const nlohmann::ordered_json& value, int indent = -1);

 private:
  static std::string Text(const nlohmann::ordered_json& value);
  void PrintRow(const std::vector<std::string>& cells) const;

  bool m_bJson;
  std::vector<Column> m_Columns;
  ProgressBar* m_Bar;
  bool m_bHeaderDone = false;
};

}  // namespace oxlprobe
