#include "trading/types.hpp"

namespace vesk::trading {

std::string_view side_label(OrderSide side) { return side == OrderSide::Buy ? "Buy" : "Sell"; }

}  // namespace vesk::trading
