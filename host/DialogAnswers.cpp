// Dialog answers as a person writes them (the runner's --dialog, tests): no host needed.
#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "Dialogs.h"

namespace StandIn {

DialogAnswer parseDialogAnswer(const std::string& text) {
    std::string word = text.substr(0, text.find('='));
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    bool hasValue = text.find('=') != std::string::npos;
    if (word == "ok") return DialogAnswer{true, hasValue ? text.substr(3) : ""};
    if (word == "cancel" && !hasValue) return DialogAnswer{false, ""};
    throw std::invalid_argument("a dialog answer is 'ok', 'cancel' or 'ok=VALUE', not '" + text +
                                "'");
}

}  // namespace StandIn
