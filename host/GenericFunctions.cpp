// Generic answers for host script functions: see GenericFunctions.h.
#include "GenericFunctions.h"

#include <cstring>
#include <stdexcept>
#include <utility>

#include "HostState.h"

namespace StandIn {

const char kGenericBufferText[] = "generic answer";
static_assert(sizeof(kGenericBufferText) == kGenericBufferTextSize, "size of the buffer text");

const GenericCall& GenericLog::lastCall() const {
    if (!fLast) throw std::logic_error("no generic function has been called");
    return *fLast;
}

void GenericLog::add(GenericCall call) {
    ++fCount;
    fLast = std::move(call);
}

std::uint32_t genericSeed(const std::string& signature, std::size_t record) {
    std::uint32_t h = 2166136261u;  // FNV-1a over the text, then the record mixed in and spread
    for (unsigned char c : signature) {
        h ^= c;
        h *= 16777619u;
    }
    h ^= static_cast<std::uint32_t>(record + 1) * 0x9E3779B9u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

namespace {

template <typename T>
std::vector<unsigned char> bytesOf(const T& value) {
    std::vector<unsigned char> out(sizeof(T));
    std::memcpy(out.data(), &value, sizeof(T));
    return out;
}

// A pointer-wide value whose high half (where there is one) differs from its low half.
std::uintptr_t addressValue(std::uint32_t seed) {
    return static_cast<std::uintptr_t>(static_cast<std::uint64_t>(seed ^ 0x5A5A5A5Au) << 32 | seed);
}

// The value a generic function writes for a value of this kind and width.
std::vector<unsigned char> valueBytes(ValueKind kind, std::size_t width, std::uint32_t seed) {
    switch (kind) {
        case ValueKind::Boolean: {
            // 0, or a byte of at least 2: a reader that copies the byte instead of testing it
            // for non-zero would pass on something other than 0 or 1.
            auto byte = static_cast<unsigned char>((seed & 1) ? 2 + (seed >> 1) % 250 : 0);
            return {byte};
        }
        case ValueKind::Char: return {static_cast<unsigned char>(seed)};
        case ValueKind::Short:
        case ValueKind::UInt16: return bytesOf(static_cast<std::uint16_t>(seed));
        case ValueKind::Float:
            // n / 64 with |n| < 2^20: exact in single precision.
            return bytesOf(
                static_cast<float>(static_cast<std::int32_t>((seed >> 8) % 1000000) - 320000) /
                64.0f);
        case ValueKind::Double:
            return bytesOf(static_cast<double>(static_cast<std::int32_t>(seed)) / 1024.0);
        case ValueKind::Complex: {
            double parts[2] = {static_cast<double>(seed) / 1024.0,
                               -static_cast<double>(seed >> 5) / 8.0};
            return bytesOf(parts);
        }
        default:
            if (width == sizeof(std::uint32_t)) return bytesOf(seed);
            return bytesOf(addressValue(seed));  // a long that carries an address
    }
}

// The width of what a "T *" parameter points at.
std::size_t pointeeWidth(const Param& p) {
    switch (p.kind) {
        case ValueKind::Object: return sizeof(Vorna::Handle);  // a reference's handle word
        case ValueKind::Long:
        case ValueKind::ULong: return 4;
        case ValueKind::Boolean: return 1;
        case ValueKind::Short:
        case ValueKind::UInt16: return 2;
        case ValueKind::Float:
        case ValueKind::RGB: return 4;
        case ValueKind::Double: return 8;
        case ValueKind::Complex: return 16;
        default: return 0;  // "void *": only looked at
    }
}

// A fresh object of `kind` carrying one count for the caller.
Vorna::Handle freshObject(Host::State& s, ObjectKind kind, const Signature& sig) {
    switch (kind) {
        case ObjectKind::Image: {
            ImageSpec spec;
            spec.type = ElementType::Float32;
            spec.sizes = {1, 1};
            spec.name = sig.name;
            return s.newImage(spec, 1, 0, false);
        }
        case ObjectKind::String:
            return s.newString(latin1ToUnits(sig.name.data(), sig.name.size()), 1, 0);
        case ObjectKind::Throwable: return s.newThrowable(0, sig.name, 1, 0);
        default: return s.newObject(kind, 1, 0).handle;
    }
}

bool validObject(Host::State& s, Vorna::Handle h, ObjectKind expected) {
    const HostObject* o = s.find(h);
    return o && o->alive && kindAcceptedBy(expected, o->kind);
}

void answerParam(Host::State& s, const Signature& sig, std::size_t index, unsigned char* record,
                 GenericCall& call) {
    const Param& p = sig.params[index];
    GenericParam out;
    out.type = p.spelling();
    out.record.assign(record, record + p.width);
    std::size_t recordIndex = index + (sig.hasResult() ? 1 : 0);

    if (p.kind == ValueKind::Object && !p.pointer) {
        std::memcpy(&out.handle, record, sizeof(Vorna::Handle));
        out.validObject = validObject(s, out.handle, *p.objectKind);
    } else if (p.kind == ValueKind::Image) {  // "Image *": the handle itself, pointer-wide
        std::uintptr_t wide = 0;
        std::memcpy(&wide, record, sizeof wide);
        out.handle = static_cast<Vorna::Handle>(wide);
        out.validObject = validObject(s, out.handle, ObjectKind::Image);
    } else if (p.kind == ValueKind::Text) {
        const char* text = nullptr;
        std::memcpy(&text, record, sizeof text);
        out.null = text == nullptr;
        if (text) out.text = text;
    } else if (p.kind == ValueKind::TextBuffer) {
        char* buffer = nullptr;
        std::memcpy(&buffer, record, sizeof buffer);
        out.null = buffer == nullptr;
        if (buffer) {
            out.found.assign(buffer, buffer + kGenericBufferTextSize);
            std::memcpy(buffer, kGenericBufferText, kGenericBufferTextSize);
            out.written.assign(kGenericBufferText, kGenericBufferText + kGenericBufferTextSize);
        }
    } else if (p.pointer) {
        unsigned char* target = nullptr;
        std::memcpy(&target, record, sizeof target);
        out.null = target == nullptr;
        std::size_t width = pointeeWidth(p);
        if (target && width) {
            out.found.assign(target, target + width);
            if (p.kind == ValueKind::Object) {  // a reference out-parameter
                Vorna::Handle old = 0;
                std::memcpy(&old, target, sizeof old);
                out.handle = freshObject(s, *p.objectKind, sig);
                call.made.push_back(out.handle);
                out.written = bytesOf(out.handle);
                if (HostObject* o = s.find(old); o && o->alive) s.dropCount(*o);
            } else {
                out.written = valueBytes(p.kind, width, genericSeed(sig.text, recordIndex));
            }
            std::memcpy(target, out.written.data(), width);
        }
    }
    call.params.push_back(std::move(out));
}

void answer(Host& host, GenericLog& log, NativeCall& c) {
    Host::State& s = host.state();
    const Signature& sig = c.signature();
    Vorna::ScriptArgRecord* records = host.currentRecords();
    GenericCall call;
    call.signature = sig.text;
    call.recordCount = sig.recordCount();
    call.nullRecords = records == nullptr;
    std::size_t first = sig.hasResult() ? 1 : 0;
    for (std::size_t i = 0; i < sig.params.size(); ++i)
        answerParam(s, sig, i, records[first + i].bytes, call);

    if (sig.hasResult()) {
        const Param& r = sig.result;
        if (r.kind == ValueKind::Object) {
            Vorna::Handle h = freshObject(s, *r.objectKind, sig);
            call.made.insert(call.made.begin(), h);
            call.result = bytesOf(h);
        } else if (r.pointer) {  // "void *"
            call.result = bytesOf(addressValue(genericSeed(sig.text, 0)) | 0x10u);
        } else {
            call.result = valueBytes(r.kind, r.width, genericSeed(sig.text, 0));
        }
        std::memcpy(records[0].bytes, call.result.data(), call.result.size());
    }
    log.add(std::move(call));
}

}  // namespace

std::shared_ptr<GenericLog> defineGenericFunctions(Host& host,
                                                   const std::vector<std::string>& signatures,
                                                   GenericOptions options) {
    for (const std::string& text : signatures) parseSignature(text);
    auto log = std::make_shared<GenericLog>();
    for (const std::string& text : signatures) {
        if (host.isDefined(text) && !options.replaceDefined) continue;
        host.define(text, [&host, log](NativeCall& c) { answer(host, *log, c); });
        log->addDefined(text);
    }
    return log;
}

}  // namespace StandIn
