// String functions and the name and label texts of images.
//
//  - "qz_string StringAppend( qz_string *, qz_string )" appends to the string the reference
//    holds (an empty reference counts as the empty string): the reference then holds a new string
//    with the joined text, the one it held before is given back, and the result is the new string
//    too (one count for the reference, one for the result).
//  - "qz_string StringAppend( qz_string *, ulong, ulong )" appends one character the same way:
//    the first ulong is its code, the second the encoding the code is in (0: 8-bit Latin-1, code
//    0 to 255; 2: one UTF-16 unit, 0 to 65535).
//  - "long StringCompare( qz_string, qz_string )" compares the UTF-16 units: -1, 0 or 1.
//  - "qz_string StringConvertToEncoding( qz_string, ulong )" answers a new string whose text is
//    what the encoding can hold: 0 replaces every character beyond Latin-1 by '?', 2 keeps all.
//  - "Boolean StringIsValid( qz_string )" answers whether the handle is a live string; it never
//    fails.
//  - "void GetName( ImageRef, stringbuffer )" and "void GetLabel( ImageRef, stringbuffer )" write
//    the text and a terminating zero into the buffer. The catalogue gives no size for it, so the
//    caller must provide room for the whole text and its zero; the qz_string forms have no limit.
#include <cstring>

#include "ModelSupport.h"

namespace StandIn {
namespace {

using Model::fail;

constexpr std::uint32_t kNarrow = Vorna::kEncodingNarrow;
constexpr std::uint32_t kUTF16 = Vorna::kEncodingUTF16;

// The text the reference of parameter 0 holds ("" for an empty reference), and its word.
Vorna::Handle* appendTarget(NativeCall& c, std::u16string& text) {
    auto* word = c.pointerTo<Vorna::Handle>(0);
    if (!word) fail(c, "no string reference was given (a null pointer).");
    if (*word != 0) {
        HostObject* o = c.host().state().live(*word, ObjectKind::String);
        if (!o)
            fail(c, "the reference holds " + hexHandle(*word) + ", which is not a valid string.");
        text = o->text;
    }
    return word;
}

void finishAppend(NativeCall& c, Vorna::Handle* word, std::u16string text) {
    Host::State& s = c.host().state();
    Vorna::Handle fresh = s.newString(std::move(text), 2, 0);
    Vorna::Handle old = *word;
    *word = fresh;
    Model::giveBackOldHandle(s, old);
    c.setResultHandle(fresh);
}

void defineStrings(Host& host, Host::State& s) {
    host.define("qz_string StringAppend( qz_string *, qz_string )", [](NativeCall& c) {
        std::u16string text;
        Vorna::Handle* word = appendTarget(c, text);
        text += Model::stringParam(c, 1);
        finishAppend(c, word, std::move(text));
    });
    host.define("qz_string StringAppend( qz_string *, ulong, ulong )", [](NativeCall& c) {
        std::u16string text;
        Vorna::Handle* word = appendTarget(c, text);
        std::uint32_t code = c.uint32(1);
        std::uint32_t encoding = c.uint32(2);
        std::uint32_t limit = encoding == kNarrow ? 0xFF : encoding == kUTF16 ? 0xFFFF : 0;
        if (encoding != kNarrow && encoding != kUTF16)
            fail(c, "unknown encoding " + std::to_string(encoding) + " (0: 8-bit, 2: UTF-16).");
        if (code > limit) {
            fail(c, "the character code " + std::to_string(code) + " does not fit encoding " +
                        std::to_string(encoding) + " (at most " + std::to_string(limit) + ").");
        }
        text += static_cast<char16_t>(code);
        finishAppend(c, word, std::move(text));
    });
    host.define("long StringCompare( qz_string, qz_string )", [](NativeCall& c) {
        const std::u16string& a = Model::stringParam(c, 0);
        const std::u16string& b = Model::stringParam(c, 1);
        int order = a.compare(b);
        c.setResult<std::int32_t>(order < 0 ? -1 : order > 0 ? 1 : 0);
    });
    host.define("qz_string StringConvertToEncoding( qz_string, ulong )", [&s](NativeCall& c) {
        const std::u16string& text = Model::stringParam(c, 0);
        std::uint32_t encoding = c.uint32(1);
        if (encoding == kNarrow) {
            std::string narrow = unitsToLatin1(text);
            c.setResultHandle(Model::newLatin1String(s, narrow));
        } else if (encoding == kUTF16) {
            c.setResultHandle(Model::newString(s, text));
        } else {
            fail(c, "unknown encoding " + std::to_string(encoding) + " (0: 8-bit, 2: UTF-16).");
        }
    });
    host.define("Boolean StringIsValid( qz_string )", [&s](NativeCall& c) {
        c.setResultBoolean(s.live(c.handle(0), ObjectKind::String) != nullptr);
    });
}

// GetName / GetLabel in both forms.
void defineImageText(Host& host, Host::State& s, const char* what, std::string ImageData::*field) {
    host.define(std::string("qz_string Get") + what + "( ImageRef )", [&s, field](NativeCall& c) {
        c.setResultHandle(Model::newLatin1String(s, Model::imageParam(c, 0).*field));
    });
    host.define(std::string("void Get") + what + "( ImageRef, stringbuffer )",
                [field](NativeCall& c) {
                    const std::string& text = Model::imageParam(c, 0).*field;
                    char* buffer = c.pointerTo<char>(1);
                    if (!buffer) fail(c, "no buffer was given (a null pointer).");
                    std::memcpy(buffer, text.c_str(), text.size() + 1);
                });
}

}  // namespace

void installStringFunctions(Host& host) {
    Host::State& s = host.state();
    defineStrings(host, s);
    defineImageText(host, s, "Name", &ImageData::name);
    defineImageText(host, s, "Label", &ImageData::label);
}

}  // namespace StandIn
