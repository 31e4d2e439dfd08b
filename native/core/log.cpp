#include "core/log.hpp"

#include <mutex>
#include <utility>

namespace vesk::log {
namespace {

std::mutex sink_mutex;
std::shared_ptr<Sink> current_sink;  // guarded by sink_mutex

}  // namespace

void install_sink(std::shared_ptr<Sink> sink) {
  std::shared_ptr<Sink> previous;
  {
    std::lock_guard lock(sink_mutex);
    previous = std::exchange(current_sink, std::move(sink));
  }
  // `previous` is released here, outside the lock, in case its destructor is slow.
}

std::shared_ptr<Sink> installed_sink() {
  std::lock_guard lock(sink_mutex);
  return current_sink;
}

bool enabled(Level level, std::string_view target) {
  const auto sink = installed_sink();
  return sink && sink->enabled(level, target);
}

void write(Level level, std::string_view target, std::string_view message, std::span<const Field> fields) {
  // The sink runs outside the lock so that a slow sink never serialises unrelated threads.
  const auto sink = installed_sink();
  if (!sink || !sink->enabled(level, target)) return;
  sink->write(Record{level, target, message, fields});
}

std::string_view level_name(Level level) {
  switch (level) {
    case Level::Error: return "ERROR";
    case Level::Warn: return "WARN";
    case Level::Info: return "INFO";
    case Level::Debug: return "DEBUG";
    case Level::Trace: return "TRACE";
  }
  return "INFO";
}

}  // namespace vesk::log
