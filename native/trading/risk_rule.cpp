#include "trading/risk_rule.hpp"

#include <array>
#include <utility>

namespace vesk::trading {

std::string_view rule_label(RiskRule rule) {
  switch (rule) {
    case RiskRule::AllowedSymbols: return "allowed_symbols";
    case RiskRule::MaxOrderNotional: return "max_order_notional";
    case RiskRule::MaxPositionAbs: return "max_position_abs";
    case RiskRule::MaxDailyOrders: return "max_daily_orders";
    case RiskRule::MaxDailyCancels: return "max_daily_cancels";
    case RiskRule::Unknown: return "unknown";
  }
  return "unknown";
}

RiskRule classify_rejection(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, RiskRule>, 5> markers = {{
      {"白名单", RiskRule::AllowedSymbols},
      {"单笔金额", RiskRule::MaxOrderNotional},
      {"持仓", RiskRule::MaxPositionAbs},
      {"单日订单", RiskRule::MaxDailyOrders},
      {"单日撤单", RiskRule::MaxDailyCancels},
  }};
  for (const auto& [word, rule] : markers)
    if (text.find(word) != std::string_view::npos) return rule;
  return RiskRule::Unknown;
}

}  // namespace vesk::trading
