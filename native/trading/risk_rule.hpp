#pragma once
// The limit that refused a request, as the risk-block metric labels it.
#include <string_view>

namespace vesk::trading {

enum class RiskRule { AllowedSymbols, MaxOrderNotional, MaxPositionAbs, MaxDailyOrders, MaxDailyCancels, Unknown };

std::string_view rule_label(RiskRule rule);  // "allowed_symbols", ..., "unknown"

// By the marker word of the rejection text ("白名单", "单笔金额", "持仓", "单日订单", "单日撤单").
RiskRule classify_rejection(std::string_view displayed_text);

}  // namespace vesk::trading
