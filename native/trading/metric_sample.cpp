#include "trading/metric_sample.hpp"

namespace vesk::trading {

std::string_view kind_label(MetricKind kind) {
  switch (kind) {
    case MetricKind::Counter: return "Counter";
    case MetricKind::Gauge: return "Gauge";
    case MetricKind::Histogram: return "Histogram";
  }
  return "Counter";
}

LabelMap labels_to_btreemap(const LabelList& labels) { return LabelMap(labels.begin(), labels.end()); }

}  // namespace vesk::trading
