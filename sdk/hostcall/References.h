// Counted references to host objects.
//
// The host names its objects by 32-bit handles and keeps their counts. Inside the module every
// handle that outlives a call lives in a reference object of its kind, which adds and drops the
// host's counts through the kind's class interface. A reference is one handle word and nothing
// else: the host writes handles through the address of a reference and hands images to script
// functions as the address of one.
//
// Vocabulary at the call site:
//   ImageRef a(h);           adds a count (the caller keeps its own)
//   ImageRef b(h, kAdopt);   takes over the count the caller owned (every host result)
//   b.adopt(h);              drops what b held, takes over h's count
//   Handle h = b.release();  hands b's count to the caller (a result returned to the host)
//   b.get();                 borrows: no count changes
#pragma once

#include <complex>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "shell/Boundary.h"
#include "shell/Environment.h"

namespace Vorna {

// The kinds of host object (abi/ObjectKinds.def), in the order of their class records.
enum class ObjectKind : int {
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) Kind,
#include "abi/ObjectKinds.def"
};
constexpr int kObjectKindCount = 0
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) +1
#include "abi/ObjectKinds.def"
    ;

// The text under which the host hands out a kind's class interface.
const char* TypeKey(ObjectKind kind);

// Per kind: the class interface in use (null while no class user of the kind exists) and the
// number of live class users.
struct ClassRecord {
    HostClassInterface* fInterface;
    std::int32_t fUseCount;
};
ClassRecord& ClassRecordOf(ObjectKind kind);

// Adds / drops one host count on a handle of a kind; nothing for handle 0 or while the kind has
// no class interface.
void AddObjectReference(ObjectKind kind, Handle handle);
void ReleaseObjectReference(ObjectKind kind, Handle handle);

// Fetches the kind's class interface from `environment`, releasing the one held before.
void RefreshClass(ObjectKind kind, HostEnvironment* environment);

// Keeps a kind's class record filled while it lives. The first user of a kind fetches the
// interface and enrols a listener that fetches it again whenever an environment is installed;
// the last one releases it.
void AcquireClass(ObjectKind kind);
void ReleaseClass(ObjectKind kind);

template <ObjectKind K>
class ClassUser {
  public:
    ClassUser() { AcquireClass(K); }
    ~ClassUser() { ReleaseClass(K); }
    ClassUser(const ClassUser&) = delete;
    ClassUser& operator=(const ClassUser&) = delete;
};

// Every framework unit that talks to the host holds one of these as a static object: its
// environment user first, then a class user for each kind.
struct FrameworkUnitUsers {
    EnvironmentUser fEnvironmentUser;
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) \
    ClassUser<ObjectKind::Kind> f##Kind;
#include "abi/ObjectKinds.def"
};

struct AdoptTag {
    explicit constexpr AdoptTag() = default;
};
// Marks a construction that takes over a count the caller already owns.
inline constexpr AdoptTag kAdopt{};

// The operations every reference class shares; `Derived` is the class, `K` its kind.
template <class Derived, ObjectKind K>
class HostReference {
  public:
    static constexpr ObjectKind kKind = K;

    HostReference() noexcept = default;
    explicit HostReference(Handle handle) : fHandle(handle) { AddObjectReference(K, handle); }
    HostReference(Handle handle, AdoptTag) noexcept : fHandle(handle) {}
    HostReference(const HostReference& other) : fHandle(other.fHandle) {
        AddObjectReference(K, fHandle);
    }
    HostReference(HostReference&& other) noexcept : fHandle(other.fHandle) { other.fHandle = 0; }
    ~HostReference() { ReleaseObjectReference(K, fHandle); }

    // Add to the new handle, drop the old one, store the new one: self-assignment is harmless.
    HostReference& operator=(const HostReference& other) { return *this = other.fHandle; }
    HostReference& operator=(HostReference&& other) noexcept {
        if (this != &other) {
            Handle old = fHandle;
            fHandle = other.fHandle;
            other.fHandle = 0;
            ReleaseObjectReference(K, old);
        }
        return *this;
    }
    HostReference& operator=(Handle handle) {
        AddObjectReference(K, handle);
        Handle old = fHandle;
        fHandle = handle;
        ReleaseObjectReference(K, old);
        return *this;
    }

    // Drops what is held and takes over `handle`'s count.
    void adopt(Handle handle) {
        Handle old = fHandle;
        fHandle = handle;
        ReleaseObjectReference(K, old);
    }
    // Gives the held count to the caller and leaves the reference empty.
    Handle release() noexcept {
        Handle handle = fHandle;
        fHandle = 0;
        return handle;
    }
    Handle get() const noexcept { return fHandle; }
    // The handle word, for host out-parameters; whatever it holds at destruction is dropped.
    Handle* address() noexcept { return &fHandle; }
    bool empty() const noexcept { return fHandle == 0; }
    explicit operator bool() const noexcept { return fHandle != 0; }

    friend bool operator==(const HostReference& a, const HostReference& b) {
        return a.fHandle == b.fHandle;
    }
    friend bool operator!=(const HostReference& a, const HostReference& b) {
        return a.fHandle != b.fHandle;
    }

  private:
    Handle fHandle = 0;
};

// Every class keeps the base's constructors and assignments and adds the kind's member
// operations, which are generated from the catalogue of host script functions.
#define VORNA_REFERENCE_BASICS(Name, Kind)                      \
  public:                                                       \
    using HostReference<Name, ObjectKind::Kind>::HostReference; \
    using HostReference<Name, ObjectKind::Kind>::operator=;

#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix) class ReferenceClass;
#include "abi/ObjectKinds.def"

// Plain values of the host's script types.
using RGBColor = std::uint32_t;        // 4 bytes: three channels and one unused byte
using complex = std::complex<double>;  // 16 bytes, copied whole
using PFFileReference = std::uint32_t;
using External32BitType = std::uint32_t;

class ImageRef : public HostReference<ImageRef, ObjectKind::Image> {
    VORNA_REFERENCE_BASICS(ImageRef, Image)
#include "members/ImageRef.inc"
};
using RealImagePtr = ImageRef;
using ComplexImagePtr = ImageRef;
using RGBImagePtr = ImageRef;

class ROI : public HostReference<ROI, ObjectKind::RegionOfInterest> {
    VORNA_REFERENCE_BASICS(ROI, RegionOfInterest)
#include "members/ROI.inc"
};

class ImageDisplay : public HostReference<ImageDisplay, ObjectKind::ImageDisplay> {
    VORNA_REFERENCE_BASICS(ImageDisplay, ImageDisplay)
#include "members/ImageDisplay.inc"
};

class Component : public HostReference<Component, ObjectKind::Component> {
    VORNA_REFERENCE_BASICS(Component, Component)
    // An image display serves wherever a component is expected: the handle passes unchanged.
    Component(const ImageDisplay& display) : HostReference(display.get()) {}
    Component(ImageDisplay&& display) noexcept : HostReference(display.release(), kAdopt) {}
#include "members/Component.inc"
};

class LinePlotImageDisplay
    : public HostReference<LinePlotImageDisplay, ObjectKind::LinePlotImageDisplay> {
    VORNA_REFERENCE_BASICS(LinePlotImageDisplay, LinePlotImageDisplay)
#include "members/LinePlotImageDisplay.inc"
};

class RasterImageDisplay
    : public HostReference<RasterImageDisplay, ObjectKind::RasterImageDisplay> {
    VORNA_REFERENCE_BASICS(RasterImageDisplay, RasterImageDisplay)
#include "members/RasterImageDisplay.inc"
};

class SurfacePlotImageDisplay
    : public HostReference<SurfacePlotImageDisplay, ObjectKind::SurfacePlotImageDisplay> {
    VORNA_REFERENCE_BASICS(SurfacePlotImageDisplay, SurfacePlotImageDisplay)
#include "members/SurfacePlotImageDisplay.inc"
};

class ImageDocument : public HostReference<ImageDocument, ObjectKind::ImageDocument> {
    VORNA_REFERENCE_BASICS(ImageDocument, ImageDocument)
#include "members/ImageDocument.inc"
};

class TagGroup : public HostReference<TagGroup, ObjectKind::TagGroup> {
    VORNA_REFERENCE_BASICS(TagGroup, TagGroup)
#include "members/TagGroup.inc"
};

class Window : public HostReference<Window, ObjectKind::Window> {
    VORNA_REFERENCE_BASICS(Window, Window)
#include "members/Window.inc"
};

class ScriptObject : public HostReference<ScriptObject, ObjectKind::ScriptObject> {
    VORNA_REFERENCE_BASICS(ScriptObject, ScriptObject)
    // Calls a method of this object: the method is looked up by its prototype, this object's
    // handle is written into the record at `selfIndex`. Throws qzplugin_exception on failure.
    void CallMethod(const Function& prototype, std::int32_t recordCount, ScriptArgRecord* records,
                    std::int32_t selfIndex) const;
#include "members/ScriptObject.inc"
};

class qz_string : public HostReference<qz_string, ObjectKind::String> {
    VORNA_REFERENCE_BASICS(qz_string, String)
    qz_string(const char* text, std::uint32_t byteCount) {
        MakeString(kEncodingNarrow, text, byteCount);
    }
    explicit qz_string(const char* text)
        : qz_string(text, static_cast<std::uint32_t>(std::strlen(text))) {}

    // Makes a host string from bytes in `encoding` and holds it.
    void MakeString(std::int32_t encoding, const void* bytes, std::uint32_t byteCount);
    void MakeStringUTF16(const char16_t* units, std::uint32_t unitCount) {
        MakeString(kEncodingUTF16, units, 2 * unitCount);
    }

    // Copies at most `capacity` bytes of the text in `encoding` into `buffer` (no terminator is
    // added) and answers the count copied; with a null buffer, the full byte length. 0 when the
    // host lends no text.
    std::uint32_t CopyText(std::int32_t encoding, void* buffer, std::uint32_t capacity) const;
    std::uint32_t CopyTextUTF16(char16_t* buffer, std::uint32_t unitCapacity) const {
        return CopyText(kEncodingUTF16, buffer, 2 * unitCapacity) / 2;
    }
    // Sizes a growable buffer (std::string, std::vector<char>, ...) to the text and fills it.
    template <class Buffer>
    std::uint32_t CopyTextToBuffer(std::int32_t encoding, Buffer& buffer) const {
        buffer.resize(CopyText(encoding, nullptr, 0) / sizeof(buffer[0]));
        auto size = static_cast<std::uint32_t>(buffer.size() * sizeof(buffer[0]));
        if (buffer.data()) CopyText(encoding, buffer.data(), size);
        return size;
    }
    template <class Buffer>  // of char16_t
    std::uint32_t CopyTextUTF16ToBuffer(Buffer& buffer) const {
        return CopyTextToBuffer(kEncodingUTF16, buffer) / 2;
    }
#include "members/qz_string.inc"
};

class Throwable : public HostReference<Throwable, ObjectKind::Throwable> {
    VORNA_REFERENCE_BASICS(Throwable, Throwable)
#include "members/Throwable.inc"
};

class Function : public HostReference<Function, ObjectKind::Function> {
    VORNA_REFERENCE_BASICS(Function, Function)
    // A cache replaced by a raw handle does nothing when the handle is the one it holds.
    Function& operator=(Handle handle) {
        if (handle != get()) HostReference::operator=(handle);
        return *this;
    }
    // Calls the function itself with the given records; throws qzplugin_exception on failure.
    void Call(std::int32_t recordCount, ScriptArgRecord* records) const;
#include "members/Function.inc"
};

#undef VORNA_REFERENCE_BASICS

// The host writes handles through the address of a reference and hands images to script
// functions as the address of one: every reference is one handle word.
#define QZ_OBJECT_KIND(Kind, ReferenceClass, TypeKey, MemberPrefix)     \
    static_assert(sizeof(ReferenceClass) == sizeof(Handle) &&           \
                      alignof(ReferenceClass) <= alignof(Handle) &&     \
                      std::is_standard_layout<ReferenceClass>::value && \
                      ReferenceClass::kKind == ObjectKind::Kind,        \
                  #ReferenceClass " is one handle word of kind " #Kind);
#include "abi/ObjectKinds.def"

}  // namespace Vorna
