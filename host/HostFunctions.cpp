// The host's built-in native script functions: images and their data locks (both generations),
// the results window and alerts.
#include <algorithm>

#include "HostState.h"
#include "ModelSupport.h"
#include "ViewState.h"

namespace StandIn {
namespace {

constexpr std::size_t kLockedDataPairs = 5;  // size/stride pointer pairs of ImageGetLockedData

ImageData& imageParam(Host::State& s, NativeCall& c, std::size_t i) {
    Vorna::Handle h = c.handle(i);
    HostObject* o = s.live(h, ObjectKind::Image);
    if (!o) throw ScriptError("The image " + hexHandle(h) + " is not valid.");
    return *o->image;
}

std::uintptr_t lockToken(std::uint64_t serial) {
    return static_cast<std::uintptr_t>(0x10000u + serial * 16u);
}

std::uint64_t addLock(Host::State& s, Vorna::Handle image, bool newer) {
    HostObject* o = s.live(image, ObjectKind::Image);
    std::uint64_t serial = s.nextLockSerial++;
    ImageLock lock{image, o->image, newer, lockToken(serial)};
    ++o->image->activeLocks;
    s.locks.emplace(serial, std::move(lock));
    return serial;
}

// The newer-generation lock with this token on this image.
std::map<std::uint64_t, ImageLock>::iterator findNewerLock(Host::State& s, Vorna::Handle image,
                                                           const void* token) {
    auto value = reinterpret_cast<std::uintptr_t>(token);
    for (auto it = s.locks.begin(); it != s.locks.end(); ++it) {
        if (it->second.newer && it->second.token == value) {
            if (it->second.image != image) {
                throw ScriptError("The lock token belongs to image " + hexHandle(it->second.image) +
                                  ", not " + hexHandle(image) + ".");
            }
            return it;
        }
    }
    throw ScriptError("The data of image " + hexHandle(image) + " is not locked with this token.");
}

void removeLock(std::map<std::uint64_t, ImageLock>& locks,
                std::map<std::uint64_t, ImageLock>::iterator it) {
    --it->second.data->activeLocks;
    locks.erase(it);
}

Vorna::Handle newModuleImage(Host::State& s, ElementType type, const std::string& name,
                             std::int32_t w, std::int32_t h) {
    if (w < 1 || h < 1)
        throw ScriptError("Invalid image size " + std::to_string(w) + " x " + std::to_string(h) +
                          ".");
    ImageSpec spec;
    spec.type = type;
    spec.sizes = {static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(h)};
    spec.name = name;
    try {
        return s.newImage(spec, 1, 0, s.garbageFill);
    } catch (const std::invalid_argument& e) {
        throw ScriptError(e.what());
    }
}

void defineImageQueries(Host& host, Host::State& s) {
    host.define("Boolean ImageIsValid( ImageRef )", [&s](NativeCall& c) {
        c.setResultBoolean(s.live(c.handle(0), ObjectKind::Image) != nullptr);
    });
    host.define("void ImageDataChanged( ImageRef )",
                [&s](NativeCall& c) { ++imageParam(s, c, 0).dataChangedCount; });
    host.define("void GetSize( ImageRef, long *, long * )", [&s](NativeCall& c) {
        ImageData& d = imageParam(s, c, 0);
        if (auto* w = c.pointerTo<std::int32_t>(1)) *w = static_cast<std::int32_t>(d.sizes[0]);
        if (auto* h = c.pointerTo<std::int32_t>(2))
            *h = static_cast<std::int32_t>(d.sizes.size() > 1 ? d.sizes[1] : 1);
    });
    host.define("Boolean IsRGBDataType( ImageRef, long )", [&s](NativeCall& c) {
        ImageData& d = imageParam(s, c, 0);
        c.setResultBoolean(d.type == ElementType::RGB &&
                           static_cast<std::int64_t>(elementSize(d.type)) == c.int32(1));
    });
    host.define("Boolean ImageIsDataTypeComplex( ImageRef )", [&s](NativeCall& c) {
        c.setResultBoolean(isComplexType(imageParam(s, c, 0).type));
    });
    host.define("Boolean ImageIsDataTypeRGB( ImageRef )", [&s](NativeCall& c) {
        c.setResultBoolean(imageParam(s, c, 0).type == ElementType::RGB);
    });
    host.define("Boolean ImageIsDataTypeFloat( ImageRef )", [&s](NativeCall& c) {
        ElementType t = imageParam(s, c, 0).type;
        c.setResultBoolean(isFloatType(t) || (s.complexCountsAsFloat && isComplexType(t)));
    });
    host.define("Boolean ImageIsDataTypeSignedInteger( ImageRef )", [&s](NativeCall& c) {
        c.setResultBoolean(isSignedIntegerType(imageParam(s, c, 0).type));
    });
    host.define("uint32 ImageGetDataElementByteSize( ImageRef )", [&s](NativeCall& c) {
        c.setResult(static_cast<std::uint32_t>(elementSize(imageParam(s, c, 0).type)));
    });
    host.define("uint32 ImageGetDataType( ImageRef )", [&s](NativeCall& c) {
        c.setResult(static_cast<std::uint32_t>(imageParam(s, c, 0).type));
    });
    host.define("uint32 ImageGetNumDimensions( ImageRef )", [&s](NativeCall& c) {
        c.setResult(static_cast<std::uint32_t>(imageParam(s, c, 0).sizes.size()));
    });
    host.define("uint32 ImageGetDimensionSize( ImageRef, uint32 )", [&s](NativeCall& c) {
        ImageData& d = imageParam(s, c, 0);
        std::uint32_t dim = c.uint32(1);
        if (dim >= d.sizes.size()) {
            throw ScriptError("Dimension " + std::to_string(dim) +
                              " is out of range for an image of " + std::to_string(d.sizes.size()) +
                              " dimensions.");
        }
        c.setResult(d.sizes[dim]);
    });
    host.define("long GetDepth( ImageRef )", [&s](NativeCall& c) {
        c.setResult(static_cast<std::int32_t>(elementSize(imageParam(s, c, 0).type)));
    });
}

void defineImageCreation(Host& host, Host::State& s) {
    host.define("RealImagePtr CreateFloatImage( string, long, long )", [&s](NativeCall& c) {
        c.setResultHandle(
            newModuleImage(s, ElementType::Float32, c.text(0), c.int32(1), c.int32(2)));
    });
    host.define(
        "RealImagePtr CreateInteger2DImage( string, long, Boolean, long, long )",
        [&s](NativeCall& c) {
            std::int32_t bytes = c.int32(1);
            bool isSigned = c.boolean(2);
            ElementType type;
            switch (bytes) {
                case 1: type = isSigned ? ElementType::Int8 : ElementType::UInt8; break;
                case 2: type = isSigned ? ElementType::Int16 : ElementType::UInt16; break;
                case 4: type = isSigned ? ElementType::Int32 : ElementType::UInt32; break;
                default:
                    throw ScriptError("Integer images have 1, 2 or 4 bytes per element, not " +
                                      std::to_string(bytes) + ".");
            }
            c.setResultHandle(newModuleImage(s, type, c.text(0), c.int32(3), c.int32(4)));
        });
}

void defineNewerLocking(Host& host, Host::State& s) {
    const std::uint32_t since = Vorna::kFirstVersionWithImageLocking;
    host.define(
        "void *ImageLockData( Image *im, uint32 lock_flags )",
        [&s](NativeCall& c) {
            imageParam(s, c, 0);
            std::uint64_t serial = addLock(s, c.handle(0), true);
            c.setResultPointer(reinterpret_cast<const void*>(s.locks.at(serial).token));
        },
        since);
    host.define(
        "void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, uint32 "
        "*act_num_dim, "
        "uint32 *data_type, uint32 *pack_style, long *dimension_info... )",
        [&s](NativeCall& c) {
            Vorna::Handle h = c.handle(0);
            imageParam(s, c, 0);
            ImageData& d = *findNewerLock(s, h, c.pointer(1))->second.data;
            std::uint32_t desired = c.uint32(2);
            std::uint32_t actual = static_cast<std::uint32_t>(d.sizes.size());
            std::uint32_t reported = s.reportedDimensions ? s.reportedDimensions : actual;
            if (auto* p = c.pointerTo<std::uint32_t>(3)) *p = reported;
            if (auto* p = c.pointerTo<std::uint32_t>(4)) *p = static_cast<std::uint32_t>(d.type);
            if (auto* p = c.pointerTo<std::uint32_t>(5)) *p = d.packedComplex ? 1u : 0u;
            std::size_t pairs = std::min<std::size_t>({reported, desired, kLockedDataPairs});
            for (std::size_t dim = 0; dim < pairs; ++dim) {
                bool real = dim < actual;
                auto size = static_cast<std::int32_t>(real ? d.sizes[dim] : 1);
                auto stride = static_cast<std::int32_t>(real ? d.stride(dim) : d.stride(actual));
                if (auto* p = c.pointerTo<std::int32_t>(6 + 2 * dim)) *p = size;
                if (auto* p = c.pointerTo<std::int32_t>(7 + 2 * dim)) *p = stride;
            }
            c.setResultPointer(d.bytes.data());
        },
        since);
    host.define(
        "void ImageUnlockData( Image *im, void *locked_data, uint32 unlock_flags )",
        [&s](NativeCall& c) {
            Vorna::Handle h = c.handle(0);
            imageParam(s, c, 0);
            auto it = findNewerLock(s, h, c.pointer(1));
            ImageData& d = *it->second.data;
            if (c.uint32(2) != 0)
                ++d.unlocksMarkedChanged;
            else
                ++d.unlocksMarkedUnchanged;
            removeLock(s.locks, it);
        },
        since);
}

void defineOlderLocking(Host& host, Host::State& s) {
    host.define("long GetDataPtr( ImageRef )", [&s](NativeCall& c) {
        ImageData& d = imageParam(s, c, 0);
        addLock(s, c.handle(0), false);
        c.setResult(reinterpret_cast<std::intptr_t>(d.bytes.data()));
    });
    host.define("void ReleaseDataPtr( ImageRef )", [&s](NativeCall& c) {
        Vorna::Handle h = c.handle(0);
        imageParam(s, c, 0);
        // The most recent data-pointer lock of this image.
        for (auto it = s.locks.rbegin(); it != s.locks.rend(); ++it) {
            if (!it->second.newer && it->second.image == h) {
                removeLock(s.locks, std::next(it).base());
                return;
            }
        }
        throw ScriptError("The data pointer of image " + hexHandle(h) + " was not taken.");
    });
}

void defineOutput(Host& host, Host::State& s) {
    host.define("void Result( qz_string )", [&s](NativeCall& c) {
        HostObject* str = s.live(c.handle(0), ObjectKind::String);
        if (!str)
            throw ScriptError("Result: " + hexHandle(c.handle(0)) + " is not a valid string.");
        s.results.push_back(unitsToLatin1(str->text));
    });
    host.define("void ShowAlert( string, long )", [&s](NativeCall& c) {
        s.alerts.push_back(Alert{c.text(0), c.int32(1)});
    });
}

}  // namespace

void installStandardFunctions(Host& host) {
    Host::State& s = host.state();
    defineImageQueries(host, s);
    defineImageCreation(host, s);
    defineNewerLocking(host, s);
    defineOlderLocking(host, s);
    defineOutput(host, s);
    installImageFunctions(host);
    installTagGroupFunctions(host);
    installTagValueFunctions(host);
    installStringFunctions(host);
    defineDocumentFunctions(host);
    defineDisplayFunctions(host);
    definePlotDisplayFunctions(host);
    defineComponentFunctions(host);
    defineWindowFunctions(host);
    defineRoiFunctions(host);
    defineDialogFunctions(host);
}

}  // namespace StandIn
