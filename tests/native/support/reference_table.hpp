#pragma once
// Rows of tests/data/reader-reference.tsv: for each input, what the reference reader answers.
// Each subsystem's suite drives a test from the rows of its own records.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/json/record.hpp"

namespace vesk::testing {

struct ReferenceRow {
  std::string record;
  std::string input;     // the decoded text
  std::string expected;  // the message, or "OK"
  int line = 0;          // in the table, for failure messages
};

// The reference prints a float in a message without a decimal point ("`100`"); ours keeps it.
inline std::string with_float_points(std::string message) {
  const std::string marker = "floating point `";
  const size_t at = message.find(marker);
  if (at == std::string::npos) return message;
  const size_t start = at + marker.size();
  const size_t end = message.find('`', start);
  if (message.substr(start, end - start).find('.') == std::string::npos) message.insert(end, ".0");
  return message;
}

inline std::vector<ReferenceRow> reference_rows(const std::string& record) {
  std::ifstream in(std::string(VESK_TEST_DATA) + "/reader-reference.tsv");
  std::vector<ReferenceRow> rows;
  std::string line;
  int number = 1;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    ++number;
    std::stringstream cells(line);
    ReferenceRow row;
    std::string literal;
    std::getline(cells, row.record, '\t');
    std::getline(cells, literal, '\t');
    std::getline(cells, row.expected, '\t');
    if (row.record != record) continue;
    auto text = json::from_text<std::string>(literal);  // the input column is a JSON string literal
    row.input = text ? *text : "<undecodable literal>";
    row.expected = with_float_points(row.expected);
    row.line = number;
    rows.push_back(row);
  }
  return rows;
}

// "OK" or the reader's full message, the form the table uses.
template <class T>
std::string outcome(const json::Read<T>& result) {
  return result ? "OK" : result.error().message();
}

}  // namespace vesk::testing
