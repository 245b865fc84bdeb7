// Prompts answered as a headless host answers them: printed to stderr and answered from the
// host's DialogAnswers (Dialogs.h).
#include <algorithm>
#include <cctype>
#include <iostream>
#include <stdexcept>

#include "ViewState.h"

namespace StandIn {
namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return text;
}

DialogAnswer nextAnswer(ViewsState& v, const std::string& prompt) {
    auto byText = v.answers.byPrompt.find(prompt);
    if (byText != v.answers.byPrompt.end()) return byText->second;
    if (v.nextInOrder < v.answers.inOrder.size()) return v.answers.inOrder[v.nextInOrder++];
    return v.answers.otherwise;
}

void record(ViewsState& v, DialogRecord r) {
    if (v.answers.echo) {
        std::cerr << "[dialog] " << r.function << " \"" << r.prompt << "\" (offered: " << r.offered
                  << ") -> " << (r.ok ? "OK" : "Cancel");
        if (r.ok && !r.value.empty()) std::cerr << ", " << r.value;
        std::cerr << std::endl;
    }
    v.dialogs.push_back(std::move(r));
}

// A Boolean as the user may type it.
bool readBoolean(const NativeCall& c, const std::string& text) {
    std::string t = lowered(text);
    if (t == "true" || t == "yes" || t == "on" || t == "1") return true;
    if (t == "false" || t == "no" || t == "off" || t == "0") return false;
    throw callError(c, "the dialog answer '" + text +
                           "' is no Boolean (true, false, yes, no, on, off, 1 or 0).");
}

}  // namespace

void defineDialogFunctions(Host& host) {
    Host::State& s = host.state();
    host.define("Boolean GetBoolean( string, Boolean, Boolean * )", [&s](NativeCall& c) {
        ViewsState& v = viewsOf(s);
        DialogRecord r;
        r.function = c.signature().name;
        r.prompt = c.text(0);
        r.offered = c.boolean(1) ? "true" : "false";
        DialogAnswer answer = nextAnswer(v, r.prompt);
        r.ok = answer.ok;
        if (answer.ok) {
            bool value = answer.value.empty() ? c.boolean(1) : readBoolean(c, answer.value);
            r.value = value ? "true" : "false";
            if (auto* p = c.pointerTo<unsigned char>(2)) *p = value ? 1 : 0;
        }
        record(v, std::move(r));
        c.setResultBoolean(answer.ok);
    });
}

// ---- The host's API ---------------------------------------------------------------------------

void Host::setDialogAnswers(DialogAnswers answers) {
    ViewsState& v = viewsOf(*fState);
    v.answers = std::move(answers);
    v.nextInOrder = 0;
}

const std::vector<DialogRecord>& Host::dialogs() const {
    static const std::vector<DialogRecord> none;
    return fState->views ? fState->views->dialogs : none;
}

}  // namespace StandIn
