#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vesk::trading {

enum class MetricKind { Counter, Gauge, Histogram };

std::string_view kind_label(MetricKind kind);  // "Counter", "Gauge", "Histogram"

// Labels in the order the recorder builds them; compared pair by pair.
using LabelList = std::vector<std::pair<std::string, std::string>>;
using LabelMap = std::map<std::string, std::string>;

LabelMap labels_to_btreemap(const LabelList& labels);

struct MetricSample {
  std::string name;
  MetricKind kind = MetricKind::Counter;
  double value = 0.0;              // count, gauge value, or the histogram's sum
  LabelMap labels;
  int64_t timestamp_ms = 0;        // when the sample was made
  std::optional<uint64_t> count;   // observations; histogram samples only
};

}  // namespace vesk::trading
