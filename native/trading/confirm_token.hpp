#pragma once
#include <string>

namespace vesk::trading {

// A random (version 4) UUID, 36 lower-case characters with hyphens.
std::string new_confirm_token();

}  // namespace vesk::trading
