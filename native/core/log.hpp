#pragma once
// Structured log records with a process-wide sink. No sink is installed by default, so the
// core is silent until the program embedding it installs one.
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vesk::log {

enum class Level { Error, Warn, Info, Debug, Trace };

struct Field {
  std::string key;
  std::string value;
};

struct Record {
  Level level;
  std::string_view target;   // the emitting component, e.g. "trading"
  std::string_view message;  // fixed text; values go into fields
  std::span<const Field> fields;
};

// Called from any thread; must not throw.
class Sink {
 public:
  virtual ~Sink() = default;
  // Lets callers skip building fields nobody will read.
  virtual bool enabled(Level level, std::string_view target) const noexcept = 0;
  virtual void write(const Record& record) noexcept = 0;
};

// Replaces the process-wide sink; nullptr removes it.
void install_sink(std::shared_ptr<Sink> sink);
std::shared_ptr<Sink> installed_sink();

bool enabled(Level level, std::string_view target);
void write(Level level, std::string_view target, std::string_view message, std::span<const Field> fields = {});

std::string_view level_name(Level level);

}  // namespace vesk::log
