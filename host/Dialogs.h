// How the stand-in host answers the prompts a plug-in puts to the user.
//
// A headless host has no one to ask. Each prompt is printed to stderr, as
//     [dialog] GetBoolean "Invert the result?" (offered: true) -> OK, true
// and answered from the host's DialogAnswers: an answer given for the prompt's exact text first,
// else the next unused answer given in order, else the default answer, which is OK with the
// value the prompt offered. Every prompt is recorded (Host::dialogs()).
//
//     StandIn::DialogAnswers answers;
//     answers.inOrder.push_back(StandIn::parseDialogAnswer("cancel"));
//     answers.byPrompt["Invert the result?"] = StandIn::parseDialogAnswer("ok=false");
//     host.setDialogAnswers(answers);
//
// The catalogue's prompt with a signature is "Boolean GetBoolean( string, Boolean, Boolean * )":
// it answers whether the user pressed OK and, on OK, writes the value into the caller's variable
// (left alone on Cancel). Its value reads "true", "false", "yes", "no", "on", "off", "1" or "0".
#pragma once

#include <map>
#include <string>
#include <vector>

namespace StandIn {

struct DialogAnswer {
    bool ok = true;     // OK (true) or Cancel (false)
    std::string value;  // the value entered; empty: the value the prompt offered
};

// "ok", "cancel" or "ok=VALUE" (the value may be empty: "ok=" is "ok"). Throws
// std::invalid_argument naming the text for anything else.
DialogAnswer parseDialogAnswer(const std::string& text);

struct DialogAnswers {
    std::map<std::string, DialogAnswer> byPrompt;  // by the prompt's exact text; reusable
    std::vector<DialogAnswer> inOrder;             // each used once, for prompts not in byPrompt
    DialogAnswer otherwise;                        // once those are used up
    bool echo = true;                              // print each prompt and answer to stderr
};

// One prompt as the host answered it.
struct DialogRecord {
    std::string function;  // "GetBoolean"
    std::string prompt;
    std::string offered;  // the value the prompt offered, as text
    bool ok = true;
    std::string value;  // the value answered ("" on Cancel)
};

}  // namespace StandIn
