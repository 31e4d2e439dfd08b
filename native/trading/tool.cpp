#include "trading/tool.hpp"

#include <fmt/format.h>

namespace vesk::trading {
namespace {

struct Display {
  std::string operator()(const ToolError::InvalidArgs& e) const { return fmt::format("参数解析失败: {}", e.message); }
  std::string operator()(const ToolError::ExecutionFailed& e) const {
    return fmt::format("工具执行失败: {}", e.message);
  }
  std::string operator()(const ToolError::PermissionDenied& e) const {
    return fmt::format("权限不足: {} 不允许执行 {}", e.actor, e.tool_name);
  }
};

}  // namespace

std::string ToolError::message() const { return std::visit(Display{}, kind); }

}  // namespace vesk::trading
