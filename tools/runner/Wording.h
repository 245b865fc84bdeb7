// Small pieces of the runner's and validator's messages.
#pragma once

#include <string>

namespace Tools {

// "1 argument", "3 arguments".
inline std::string plural(long long n, const std::string& word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

}  // namespace Tools
