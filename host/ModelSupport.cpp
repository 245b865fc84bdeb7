// Parameters, results and out-parameters of the object model's native functions.
#include "ModelSupport.h"

#include <cstring>

namespace StandIn {
namespace Model {
namespace {

const char* kindWord(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Image: return "image";
        case ObjectKind::TagGroup: return "tag group";
        case ObjectKind::String: return "string";
        default: return kindName(kind);
    }
}

}  // namespace

void fail(const NativeCall& c, const std::string& what) {
    throw ScriptError(c.signature().name + ": " + what);
}

HostObject& objectParam(NativeCall& c, std::size_t i, ObjectKind kind) {
    Vorna::Handle h = c.handle(i);
    if (h == 0) fail(c, std::string("no ") + kindWord(kind) + " was given (handle 0).");
    HostObject* o = c.host().state().find(h);
    if (!o || !o->alive) fail(c, hexHandle(h) + " is not a valid " + kindWord(kind) + ".");
    if (o->kind != kind) {
        fail(c, hexHandle(h) + " is not a valid " + kindWord(kind) + " (its kind is " +
                    kindName(o->kind) + ").");
    }
    return *o;
}

ImageData& imageParam(NativeCall& c, std::size_t i) {
    return *objectParam(c, i, ObjectKind::Image).image;
}

std::shared_ptr<TagNode> tagGroupNodeParam(NativeCall& c, std::size_t i) {
    HostObject& o = objectParam(c, i, ObjectKind::TagGroup);
    if (!o.tagGroup) {
        o.tagGroup = std::make_shared<TagNode>();
        o.tagGroup->handle = o.handle;
    }
    return o.tagGroup;
}

TagNode& tagGroupParam(NativeCall& c, std::size_t i) { return *tagGroupNodeParam(c, i); }

const std::u16string& stringParam(NativeCall& c, std::size_t i) {
    return objectParam(c, i, ObjectKind::String).text;
}

std::string latin1Param(NativeCall& c, std::size_t i) { return unitsToLatin1(stringParam(c, i)); }

std::size_t countParam(NativeCall& c, std::size_t i, const char* what) {
    std::int32_t v = c.int32(i);
    if (v < 0)
        fail(c, std::string("the ") + what + " may not be negative (" + std::to_string(v) + ").");
    return static_cast<std::size_t>(v);
}

std::size_t indexParam(NativeCall& c, std::size_t i, std::size_t size, bool endAllowed) {
    const Param& p = c.signature().params.at(i);
    std::int64_t v = p.kind == ValueKind::ULong ? std::int64_t{c.uint32(i)} : c.int32(i);
    std::int64_t limit = static_cast<std::int64_t>(size) + (endAllowed ? 1 : 0);
    if (v < 0 || v >= limit) {
        fail(c, "index " + std::to_string(v) + " is out of range for a tag group of " +
                    std::to_string(size) + (size == 1 ? " tag" : " tags") +
                    (endAllowed ? " (0 to " + std::to_string(size) + " to insert)." : "."));
    }
    return static_cast<std::size_t>(v);
}

std::complex<double> complexParam(NativeCall& c, std::size_t i) {
    const Param& p = c.signature().params.at(i);
    if (p.kind != ValueKind::Complex || p.width != 16)
        throw std::logic_error("parameter " + std::to_string(i) + " is no complex value");
    Vorna::ScriptArgRecord* records = c.host().currentRecords();
    if (!records) throw std::logic_error("no argument records");
    double parts[2];
    std::memcpy(parts, records[i + (c.signature().hasResult() ? 1 : 0)].bytes, sizeof parts);
    return {parts[0], parts[1]};
}

Vorna::Handle newString(Host::State& s, std::u16string units) {
    return s.newString(std::move(units), 1, 0);
}

Vorna::Handle newLatin1String(Host::State& s, const std::string& text) {
    return newString(s, latin1ToUnits(text.data(), text.size()));
}

Vorna::Handle nodeHandle(Host::State& s, const std::shared_ptr<TagNode>& node) {
    if (HostObject* o = s.live(node->handle, ObjectKind::TagGroup); o && o->tagGroup == node) {
        ++o->count;
        return o->handle;
    }
    HostObject& o = s.newObject(ObjectKind::TagGroup, 1, 0);
    o.tagGroup = node;
    node->handle = o.handle;
    return o.handle;
}

void giveBackOldHandle(Host::State& s, Vorna::Handle old) {
    if (old == 0) return;
    HostObject* o = s.find(old);
    if (o && o->alive && o->moduleCount() > 0) s.dropCount(*o);
}

}  // namespace Model
}  // namespace StandIn
