#pragma once
// Shared by the trading tests: a log sink that keeps what it is given, and JSON helpers.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "core/json/record.hpp"
#include "core/log.hpp"
#include "trading/tool.hpp"

namespace vesk::trading::testing {

struct CapturedRecord {
  log::Level level;
  std::string target;
  std::string message;
  std::vector<log::Field> fields;
};

class CapturingSink final : public log::Sink {
 public:
  bool enabled(log::Level, std::string_view) const noexcept override { return true; }
  void write(const log::Record& r) noexcept override {
    std::lock_guard lock(mutex_);
    records_.push_back({r.level, std::string(r.target), std::string(r.message), {r.fields.begin(), r.fields.end()}});
  }
  std::vector<CapturedRecord> records() const {
    std::lock_guard lock(mutex_);
    return records_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<CapturedRecord> records_;
};

// Installs a capturing sink for the test's lifetime.
class LogCapture {
 public:
  LogCapture() : sink_(std::make_shared<CapturingSink>()) { log::install_sink(sink_); }
  ~LogCapture() { log::install_sink(nullptr); }
  std::vector<CapturedRecord> records() const { return sink_->records(); }

 private:
  std::shared_ptr<CapturingSink> sink_;
};

inline json::Value parse_json(const std::string& text) {
  auto v = json::parse(text);
  EXPECT_TRUE(v.has_value()) << text;
  return v ? *v : json::Value{};
}

inline std::string text_of(const json::Value& object, std::string_view key) {
  const json::Value* v = object.find(key);
  return v && v->is_string() ? *v->if_string() : std::string("<missing>");
}

inline double number_of(const json::Value& object, std::string_view key) {
  const json::Value* v = object.find(key);
  return v && v->as_f64() ? *v->as_f64() : -12345.0;
}

}  // namespace vesk::trading::testing

namespace vesk::trading::testing {

// The displayed error of a failed call, or "" when it succeeded.
inline std::string failure_of(const ToolResult& result) { return result ? std::string() : result.error().message(); }

}  // namespace vesk::trading::testing
