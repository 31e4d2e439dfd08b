#pragma once
// What an agent calls: JSON text of the arguments in, JSON text of the answer out.
#include <expected>
#include <string>
#include <string_view>
#include <variant>

namespace vesk::trading {

struct ToolError {
  struct InvalidArgs { std::string message; };
  struct ExecutionFailed { std::string message; };
  struct PermissionDenied { std::string actor; std::string tool_name; };

  std::variant<InvalidArgs, ExecutionFailed, PermissionDenied> kind;

  std::string message() const;  // the displayed text

  static ToolError invalid_args(std::string message) { return {InvalidArgs{std::move(message)}}; }
  static ToolError execution_failed(std::string message) { return {ExecutionFailed{std::move(message)}}; }
};

using ToolResult = std::expected<std::string, ToolError>;

// Runs to completion on the calling thread; safe to call from several threads at once.
class Tool {
 public:
  virtual ~Tool() = default;
  virtual ToolResult execute(std::string_view args) = 0;
};

}  // namespace vesk::trading
