#pragma once
// The error of backend operations and of the risk and daily-limit checks.
#include <string>
#include <variant>

namespace vesk::trading {

struct TradingError {
  struct InvalidArgs { std::string message; };
  struct Backend { std::string message; };
  struct RiskRejected { std::string message; };
  struct TokenMismatch {};
  struct PendingNotFound { std::string token; };

  std::variant<InvalidArgs, Backend, RiskRejected, TokenMismatch, PendingNotFound> kind;

  std::string message() const;  // the displayed text
};

}  // namespace vesk::trading
