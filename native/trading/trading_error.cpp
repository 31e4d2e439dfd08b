#include "trading/trading_error.hpp"

#include <fmt/format.h>

namespace vesk::trading {
namespace {

struct Display {
  std::string operator()(const TradingError::InvalidArgs& e) const { return fmt::format("参数解析失败: {}", e.message); }
  std::string operator()(const TradingError::Backend& e) const { return fmt::format("后端调用失败: {}", e.message); }
  std::string operator()(const TradingError::RiskRejected& e) const { return fmt::format("风控拒绝: {}", e.message); }
  std::string operator()(const TradingError::TokenMismatch&) const { return "两次提交 token 不匹配"; }
  std::string operator()(const TradingError::PendingNotFound& e) const {
    return fmt::format("未找到待确认订单: {}", e.token);
  }
};

}  // namespace

std::string TradingError::message() const { return std::visit(Display{}, kind); }

}  // namespace vesk::trading
