// A module for the runner's tests, written against the binary interface alone: plain exports and
// hand-made host calls. Its functions cover every value type the runner passes and receives (and
// hand an input image back unchanged, for the runner's file round trips), and the ways a module
// can fail: raising an error, showing an alert, returning nothing, leaking a
// count, leaving an image locked.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "shell/Boundary.h"

#ifdef _WIN32
#define TEST_MODULE_EXPORT extern "C" __declspec(dllexport)
#else
#define TEST_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

using Vorna::Handle;

Vorna::HostEnvironment* sEnvironment = nullptr;
constexpr int kMaxRegistrations = 32;
Handle sRegistrations[kMaxRegistrations] = {};
int sRegistrationCount = 0;

constexpr std::int32_t kErrorText = 28803;

void dropCount(const char* key, Handle h) {
    if (!h) return;
    Vorna::HostClassInterface* c = sEnvironment->table->classInterface(sEnvironment, 0, key);
    c->table->releaseObjectReference(c, h);
    c->table->release(c);
}

// One entry from the host: a call context for its host calls, cleared on success.
class Entry {
  public:
    Entry() : fContext(sEnvironment->table->newCallContext(sEnvironment)) {}
    ~Entry() {
        if (!fFailed) fContext->table->clearError(fContext);
        fContext->table->release(fContext);
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    // Calls a host function; a failure is handed to the host as this entry's error.
    bool call(const char* signature, Vorna::ScriptArgRecord* records, std::int32_t count) {
        Handle f = sEnvironment->table->findScriptFunction(sEnvironment, 0, signature);
        if (!f) return fail((std::string("cannot resolve ") + signature).c_str());
        std::int32_t status = fContext->table->call(fContext, f, count, records);
        dropCount("Vorna:Photarion:Function", f);
        if (status == Vorna::kCallSucceeded) return true;
        Handle t = fContext->table->pendingThrowable(fContext);
        fContext->table->raise(fContext, t);
        dropCount("Vorna:Photarion:Throwable", t);
        fFailed = true;
        return false;
    }

    // Raises a new error with this text.
    bool fail(const char* text) {
        Handle t = fContext->table->newThrowable(fContext, kErrorText,
                                                 reinterpret_cast<Vorna::ErrorDatum>(text));
        fContext->table->raise(fContext, t);
        dropCount("Vorna:Photarion:Throwable", t);
        fFailed = true;
        return false;
    }

    // A new host String carrying one count.
    Handle newString(const std::string& text) {
        return fContext->table->newString(fContext, Vorna::kEncodingNarrow, text.data(),
                                          static_cast<std::uint32_t>(text.size()));
    }

    // Writes text to the results window.
    bool say(const std::string& text) {
        Handle s = newString(text);
        Vorna::ScriptArgRecord records[1] = {};
        std::memcpy(records[0].bytes, &s, sizeof s);
        bool ok = call("void Result( qz_string )", records, 1);
        dropCount("Vorna:Photarion:String", s);
        return ok;
    }

  private:
    Vorna::HostCallContext* fContext;
    bool fFailed = false;
};

template <typename T>
void put(Vorna::ScriptArgRecord& record, T value) {
    std::memcpy(record.bytes, &value, sizeof value);
}
template <typename T>
T get(const Vorna::ScriptArgRecord& record) {
    T value;
    std::memcpy(&value, record.bytes, sizeof value);
    return value;
}

// ---- Numbers and text ---------------------------------------------------------------------------

std::int32_t addOne(std::int32_t n) {
    Entry e;
    return n + 1;
}

float half(float x) {
    Entry e;
    return x / 2;
}

std::uint8_t isPositive(double x) {
    Entry e;
    return x > 0 ? 1 : 0;
}

std::int16_t negate16(std::int16_t x) {
    Entry e;
    return static_cast<std::int16_t>(-x);
}

std::uint32_t twice(std::uint32_t x) {
    Entry e;
    return 2 * x;
}

// Every argument echoed to the results window, in order, so that a mixed-up argument shows.
double mix(double d, float f, std::int16_t s, std::uint16_t u, std::uint32_t ul, std::uint8_t b) {
    Entry e;
    char text[200];
    std::snprintf(text, sizeof text, "d=%.17g f=%.9g s=%d u=%u ul=%lu b=%u\n", d,
                  static_cast<double>(f), s, u, static_cast<unsigned long>(ul), b);
    e.say(text);
    return d + f;
}

// A char and a colour arrive as the integers they travel as.
std::int32_t charCode(std::int8_t c) {
    Entry e;
    return c;
}

std::uint32_t colourValue(std::uint32_t rgb) {
    Entry e;
    return rgb;
}

std::int32_t length(const char* text) {
    Entry e;
    return static_cast<std::int32_t>(std::strlen(text));
}

void say(const char* text) {
    Entry e;
    e.say(std::string(text) + "\n");
}

// The text of a host String given by handle, returned as a new String.
Handle greeting(Handle name) {
    Entry e;
    std::uint32_t length = 0, token = 0;
    Vorna::HostCallContext* c = sEnvironment->table->newCallContext(sEnvironment);
    const void* bytes = c->table->lockString(c, name, Vorna::kEncodingNarrow, &length, &token);
    std::string text = "Hello, " + std::string(static_cast<const char*>(bytes), length) + "!";
    c->table->unlockString(c, name, token);
    c->table->release(c);
    return e.newString(text);
}

std::uint32_t hostVersion() {
    Entry e;
    return sEnvironment->table->version(sEnvironment);
}

// ---- Failures -----------------------------------------------------------------------------------

void fail(const char* text) {
    Entry e;
    e.fail(text);
}

void warn(const char* text) {
    Entry e;
    Vorna::ScriptArgRecord records[2] = {};
    put(records[0], text);
    put(records[1], std::int32_t{0});
    e.call("void ShowAlert( string, long )", records, 2);
}

std::int32_t leakString(const char* text) {
    Entry e;
    e.newString(text);  // the count is never given back
    return 0;
}

// ---- Images -------------------------------------------------------------------------------------

bool imageSize(Entry& e, Handle image, std::uint32_t dimension, std::int32_t& size) {
    Vorna::ScriptArgRecord records[3] = {};
    put(records[1], image);
    put(records[2], dimension);
    if (!e.call("uint32 ImageGetDimensionSize( ImageRef, uint32 )", records, 3)) return false;
    size = static_cast<std::int32_t>(get<std::uint32_t>(records[0]));
    return true;
}

float* dataOf(Entry& e, Handle image) {
    Vorna::ScriptArgRecord records[2] = {};
    put(records[1], image);
    if (!e.call("long GetDataPtr( ImageRef )", records, 2)) return nullptr;
    return reinterpret_cast<float*>(get<std::intptr_t>(records[0]));
}

void releaseData(Entry& e, Handle image) {
    Vorna::ScriptArgRecord records[1] = {};
    put(records[0], image);
    e.call("void ReleaseDataPtr( ImageRef )", records, 1);
}

Handle createFloatImage(Entry& e, const char* name, std::int32_t width, std::int32_t height) {
    Vorna::ScriptArgRecord records[4] = {};
    put(records[1], name);
    put(records[2], width);
    put(records[3], height);
    if (!e.call("RealImagePtr CreateFloatImage( string, long, long )", records, 4)) return 0;
    return get<Handle>(records[0]);
}

// A new float image "Negated" holding minus the input, which must be a float image.
Handle negate(Handle* image) {
    Entry e;
    Vorna::ScriptArgRecord records[2] = {};
    put(records[1], *image);
    if (!e.call("uint32 ImageGetDataType( ImageRef )", records, 2)) return 0;
    if (get<std::uint32_t>(records[0]) != 1) {
        e.fail("Negate needs a 32-bit float image.");
        return 0;
    }
    std::int32_t width = 0, height = 0;
    if (!imageSize(e, *image, 0, width) || !imageSize(e, *image, 1, height)) return 0;
    Handle result = createFloatImage(e, "Negated", width, height);
    if (!result) return 0;
    const float* in = dataOf(e, *image);
    float* out = dataOf(e, result);
    if (in && out) {
        for (std::int32_t i = 0; i < width * height; ++i) out[i] = -in[i];
    }
    if (out) releaseData(e, result);
    if (in) releaseData(e, *image);
    return result;
}

// A width × height float image "Ramp" with x + 1000 y at column x, row y.
Handle ramp(std::int32_t width, std::int32_t height) {
    Entry e;
    Handle result = createFloatImage(e, "Ramp", width, height);
    if (!result) return 0;
    if (float* out = dataOf(e, result)) {
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x)
                out[y * width + x] = static_cast<float>(x + 1000 * y);
        }
        releaseData(e, result);
    }
    return result;
}

// The input itself, with a count for the host: whatever the host keeps of an image comes back.
Handle identity(Handle* image) {
    Entry e;
    Vorna::HostClassInterface* c =
        sEnvironment->table->classInterface(sEnvironment, 0, "Vorna:Photarion:Image");
    c->table->addObjectReference(c, *image);
    c->table->release(c);
    return *image;
}

// Returns no image and raises no error.
Handle nothing(Handle*) {
    Entry e;
    return 0;
}

// Takes the input's data pointer and never gives it back.
void lockAndForget(Handle* image) {
    Entry e;
    dataOf(e, *image);
}

struct Function {
    const char* signature;
    void* entry;
};

const Function kFunctions[] = {
    {"long AddOne(long)", reinterpret_cast<void*>(&addOne)},
    {"float Half(float)", reinterpret_cast<void*>(&half)},
    {"Boolean IsPositive(double)", reinterpret_cast<void*>(&isPositive)},
    {"short Negate16(short)", reinterpret_cast<void*>(&negate16)},
    {"ulong Twice(ulong)", reinterpret_cast<void*>(&twice)},
    {"double Mix(double,float,short,uint16,ulong,Boolean)", reinterpret_cast<void*>(&mix)},
    {"long CharCode(char)", reinterpret_cast<void*>(&charCode)},
    {"ulong ColourValue(RGB)", reinterpret_cast<void*>(&colourValue)},
    {"long Length(string)", reinterpret_cast<void*>(&length)},
    {"void Say(string)", reinterpret_cast<void*>(&say)},
    {"qz_string Greeting(qz_string)", reinterpret_cast<void*>(&greeting)},
    {"ulong HostVersion()", reinterpret_cast<void*>(&hostVersion)},
    {"void Fail(string)", reinterpret_cast<void*>(&fail)},
    {"void Warn(string)", reinterpret_cast<void*>(&warn)},
    {"long LeakString(string)", reinterpret_cast<void*>(&leakString)},
    {"RealImagePtr Negate(ImageRef *)", reinterpret_cast<void*>(&negate)},
    {"RealImagePtr Ramp(long,long)", reinterpret_cast<void*>(&ramp)},
    {"RealImagePtr Nothing(ImageRef *)", reinterpret_cast<void*>(&nothing)},
    {"RealImagePtr Identity(ImageRef *)", reinterpret_cast<void*>(&identity)},
    {"void LockAndForget(ImageRef *)", reinterpret_cast<void*>(&lockAndForget)},
    {"void Unreachable(complex)", reinterpret_cast<void*>(&say)},
};

void withdrawAll() {
    while (sRegistrationCount > 0) {
        Handle f = sRegistrations[--sRegistrationCount];
        sEnvironment->table->removeScriptFunction(sEnvironment, f);
        dropCount("Vorna:Photarion:Function", f);
    }
}

struct EnvironmentHolder {
    ~EnvironmentHolder() {
        if (!sEnvironment) return;
        withdrawAll();
        sEnvironment->table->release(sEnvironment);
    }
} sHolder;

}  // namespace

// Built a second time with another value to play a module of a link protocol the host lacks.
#ifndef RUNNER_TEST_LINK_VERSION
#define RUNNER_TEST_LINK_VERSION 2
#endif

TEST_MODULE_EXPORT std::int32_t QZPlugIn_GetVersion() { return RUNNER_TEST_LINK_VERSION; }

TEST_MODULE_EXPORT void QZPlugIn_Link_2(Vorna::HostEnvironment* environment) {
    sEnvironment = environment;
    environment->table->addReference(environment);
}

TEST_MODULE_EXPORT void PlugInStartup() {
    for (const Function& f : kFunctions) {
        if (sRegistrationCount == kMaxRegistrations) break;
        Handle h =
            sEnvironment->table->addScriptFunction(sEnvironment, 0, 0, f.signature, 3, f.entry);
        if (h) sRegistrations[sRegistrationCount++] = h;
    }
}

TEST_MODULE_EXPORT void PlugInRun() {}
TEST_MODULE_EXPORT void PlugInCleanup() {}
TEST_MODULE_EXPORT void PlugInShutdown() {}
