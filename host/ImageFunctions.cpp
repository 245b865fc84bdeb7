// Image functions of the object model: creation in every element kind and 1 to 5 dimensions
// (the catalogue's overloads reach 4), the data-type queries the older built-in functions do not
// answer, name, label and description, calibration per dimension and of the intensity, IDs and
// seeds, copies and each image's own tag group.
//
// Calibration: calibrated = (raw - origin) x scale, in the unit, raised to the unit's power (the
// "long" of the ...UnitInfo functions, 1 unless set). In "ImageSetDimensionCalibration( ImageRef,
// long, float, float, qz_string, long )" the last long sets whether views show the calibrated
// values; in the get of the same name a non-zero last long asks for the calibration as views
// show it: the stored one when it is displayed, else origin 0, scale 1 and no unit.
//
// Element kinds by creation function (bytes per element):
//   RealImage 4 (float32) or 8 (float64); IntegerImage 1, 2 or 4, signed or not; ComplexImage 8
//   or 16; RGBImage 4; BinaryImage one byte of 0 or 1; NewImage takes the type code that
//   "uint32 ImageGetDataType( ImageRef )" reports (Images.h, ElementType).
// New images are filled with zeros (or the host's garbage pattern when it is set to that).
// An image's ID is given on the first "ImageGetID" and kept; its data seed grows with every change
// announced ("ImageDataChanged", an unlock marked changed). Bit sizes are 8 x the byte size.
#include <algorithm>
#include <atomic>

#include "ModelSupport.h"

namespace StandIn {
namespace {

using Model::fail;

std::atomic<std::uint32_t> gNextImageID{1};

std::string signature(const std::string& head, std::size_t fixedLongs, std::size_t dims) {
    std::string text = head;
    for (std::size_t i = 0; i < fixedLongs + dims; ++i) text += ", long";
    return text + " )";
}

Vorna::Handle makeImage(NativeCall& c, ElementType type, std::size_t firstSize) {
    Host::State& s = c.host().state();
    ImageSpec spec;
    spec.type = type;
    spec.name = c.text(0);
    std::string text;
    bool bad = false;
    for (std::size_t i = firstSize; i < c.paramCount(); ++i) {
        std::int32_t n = c.int32(i);
        text += (i > firstSize ? " x " : "") + std::to_string(n);
        if (n < 1) bad = true;
        spec.sizes.push_back(static_cast<std::uint32_t>(n < 1 ? 1 : n));
    }
    if (bad) fail(c, "invalid image size " + text + ": every dimension needs at least 1 pixel.");
    try {
        return s.newImage(spec, 1, 0, s.garbageFill);
    } catch (const std::invalid_argument& e) {
        fail(c, std::string("cannot make the image: ") + e.what() + ".");
    }
}

ElementType realType(NativeCall& c, std::int32_t bytes) {
    if (bytes == 4) return ElementType::Float32;
    if (bytes == 8) return ElementType::Float64;
    fail(c, "real images have 4 or 8 bytes per element, not " + std::to_string(bytes) + ".");
}

ElementType complexType(NativeCall& c, std::int32_t bytes) {
    if (bytes == 8) return ElementType::Complex64;
    if (bytes == 16) return ElementType::Complex128;
    fail(c, "complex images have 8 or 16 bytes per element, not " + std::to_string(bytes) + ".");
}

ElementType integerType(NativeCall& c, std::int32_t bytes, bool isSigned) {
    switch (bytes) {
        case 1: return isSigned ? ElementType::Int8 : ElementType::UInt8;
        case 2: return isSigned ? ElementType::Int16 : ElementType::UInt16;
        case 4: return isSigned ? ElementType::Int32 : ElementType::UInt32;
        default:
            fail(c, "integer images have 1, 2 or 4 bytes per element, not " +
                        std::to_string(bytes) + ".");
    }
}

ElementType rgbType(NativeCall& c, std::int32_t bytes) {
    if (bytes == 4) return ElementType::RGB;
    fail(c, "RGB images have 4 bytes per element, not " + std::to_string(bytes) + ".");
}

ElementType typeFromCode(NativeCall& c, std::int32_t code) {
    if (code >= static_cast<std::int32_t>(ElementType::Float32) &&
        code <= static_cast<std::int32_t>(ElementType::RGB))
        return static_cast<ElementType>(code);
    fail(c, "unknown image data type " + std::to_string(code) + " (the types are 1 to 12).");
}

void defineCreation(Host& host) {
    for (std::size_t dims = 1; dims <= 3; ++dims) {
        host.define(signature("RealImagePtr BinaryImage( string", 0, dims),
                    [](NativeCall& c) { c.setResultHandle(makeImage(c, ElementType::Binary, 1)); });
        host.define(signature("RealImagePtr RealImage( string", 1, dims), [](NativeCall& c) {
            c.setResultHandle(makeImage(c, realType(c, c.int32(1)), 2));
        });
        host.define(signature("ComplexImagePtr ComplexImage( string", 1, dims), [](NativeCall& c) {
            c.setResultHandle(makeImage(c, complexType(c, c.int32(1)), 2));
        });
        host.define(signature("RGBImagePtr RGBImage( string", 1, dims), [](NativeCall& c) {
            c.setResultHandle(makeImage(c, rgbType(c, c.int32(1)), 2));
        });
        host.define(signature("RealImagePtr IntegerImage( string, long, Boolean", 0, dims),
                    [](NativeCall& c) {
                        ElementType t = integerType(c, c.int32(1), c.boolean(2));
                        c.setResultHandle(makeImage(c, t, 3));
                    });
    }
    for (std::size_t dims = 1; dims <= 4; ++dims) {
        host.define(signature("ImageRef NewImage( string", 1, dims), [](NativeCall& c) {
            c.setResultHandle(makeImage(c, typeFromCode(c, c.int32(1)), 2));
        });
    }
}

bool isIntegerType(ElementType t) {
    return isSignedIntegerType(t) || t == ElementType::UInt8 || t == ElementType::UInt16 ||
           t == ElementType::UInt32;
}

void defineQueries(Host& host) {
    struct Query {
        const char* signature;
        bool (*test)(const ImageData&);
    };
    static const Query kQueries[] = {
        {"Boolean ImageIsDataTypeBinary( ImageRef )",
         [](const ImageData& d) { return d.type == ElementType::Binary; }},
        {"Boolean ImageIsDataTypeInteger( ImageRef )",
         [](const ImageData& d) { return isIntegerType(d.type); }},
        {"Boolean ImageIsDataTypeUnsignedInteger( ImageRef )",
         [](const ImageData& d) { return isIntegerType(d.type) && !isSignedIntegerType(d.type); }},
        {"Boolean ImageIsDataTypeReal( ImageRef )",
         [](const ImageData& d) { return !isComplexType(d.type) && d.type != ElementType::RGB; }},
        {"Boolean ImageIsDataTypePackedComplex( ImageRef )",
         [](const ImageData& d) { return d.packedComplex; }},
    };
    for (const Query& q : kQueries) {
        auto test = q.test;
        host.define(q.signature,
                    [test](NativeCall& c) { c.setResultBoolean(test(Model::imageParam(c, 0))); });
    }
    host.define("uint32 ImageGetDataElementBitSize( ImageRef )", [](NativeCall& c) {
        c.setResult(static_cast<std::uint32_t>(8 * elementSize(Model::imageParam(c, 0).type)));
    });
    host.define("uint32 ImageGetDataSeed( ImageRef )", [](NativeCall& c) {
        const ImageData& d = Model::imageParam(c, 0);
        c.setResult(static_cast<std::uint32_t>(1 + d.dataChangedCount + d.unlocksMarkedChanged));
    });
    host.define("uint32 ImageGetID( ImageRef )", [](NativeCall& c) {
        ImageData& d = Model::imageParam(c, 0);
        if (d.id == 0) d.id = gNextImageID.fetch_add(1);
        c.setResult(d.id);
    });
}

void defineTexts(Host& host, Host::State& s) {
    host.define("qz_string ImageGetName( ImageRef )", [&s](NativeCall& c) {
        c.setResultHandle(Model::newLatin1String(s, Model::imageParam(c, 0).name));
    });
    host.define("void ImageSetName( ImageRef, qz_string )", [](NativeCall& c) {
        ImageData& d = Model::imageParam(c, 0);
        d.name = Model::latin1Param(c, 1);
    });
    host.define("qz_string ImageGetLabel( ImageRef )", [&s](NativeCall& c) {
        c.setResultHandle(Model::newLatin1String(s, Model::imageParam(c, 0).label));
    });
    host.define("qz_string ImageGetDescriptionText( ImageRef )", [&s](NativeCall& c) {
        c.setResultHandle(Model::newLatin1String(s, Model::imageParam(c, 0).description));
    });
    host.define("void ImageSetDescriptionText( ImageRef, qz_string )", [](NativeCall& c) {
        ImageData& d = Model::imageParam(c, 0);
        d.description = Model::latin1Param(c, 1);
    });
}

// Calibration k: a dimension (0 .. n-1) or, for k == n, the intensity.
struct CalibrationRef {
    Calibration& calibration;
    std::int32_t& power;
};

CalibrationRef calibrationOf(ImageData& d, std::size_t k) {
    std::size_t n = d.sizes.size();
    if (d.unitPowers.size() < n + 1) d.unitPowers.resize(n + 1, 1);
    if (k == n) return {d.intensityCalibration, d.unitPowers[n]};
    return {d.dimensionCalibrations.at(k), d.unitPowers[k]};
}

// The image of parameter 0 and the dimension of parameter 1.
CalibrationRef dimensionParam(NativeCall& c) {
    ImageData& d = Model::imageParam(c, 0);
    bool isUnsigned = c.signature().params.at(1).kind == ValueKind::ULong;
    std::int64_t dim = isUnsigned ? std::int64_t{c.uint32(1)} : c.int32(1);
    if (dim < 0 || static_cast<std::uint64_t>(dim) >= d.sizes.size()) {
        fail(c, "dimension " + std::to_string(dim) + " is out of range for an image of " +
                    std::to_string(d.sizes.size()) +
                    (d.sizes.size() == 1 ? " dimension." : " dimensions."));
    }
    return calibrationOf(d, static_cast<std::size_t>(dim));
}

CalibrationRef intensityParam(NativeCall& c) {
    ImageData& d = Model::imageParam(c, 0);
    return calibrationOf(d, d.sizes.size());
}

// The accessors shared by the dimension and the intensity forms. `first` is the parameter after
// the image (and the dimension).
template <typename Pick>
void defineCalibrationForms(Host& host, Host::State& s, const std::string& what,
                            const std::string& head, std::size_t first, Pick pick) {
    const std::string params = head.empty() ? "( ImageRef" : "( ImageRef, " + head;
    host.define("float ImageGet" + what + "Origin" + params + " )",
                [pick](NativeCall& c) { c.setResult(pick(c).calibration.origin); });
    host.define("float ImageGet" + what + "Scale" + params + " )",
                [pick](NativeCall& c) { c.setResult(pick(c).calibration.scale); });
    host.define("void ImageSet" + what + "Origin" + params + ", float )",
                [pick, first](NativeCall& c) { pick(c).calibration.origin = c.float32(first); });
    host.define("void ImageSet" + what + "Scale" + params + ", float )",
                [pick, first](NativeCall& c) { pick(c).calibration.scale = c.float32(first); });
    host.define("qz_string ImageGet" + what + "UnitString" + params + " )",
                [&s, pick](NativeCall& c) {
                    c.setResultHandle(Model::newLatin1String(s, pick(c).calibration.unit));
                });
    host.define("void ImageSet" + what + "UnitString" + params + ", qz_string )",
                [pick, first](NativeCall& c) {
                    CalibrationRef r = pick(c);
                    r.calibration.unit = Model::latin1Param(c, first);
                });
    host.define("void ImageGet" + what + "UnitInfo" + params + ", qz_string *, long * )",
                [&s, pick, first](NativeCall& c) {
                    CalibrationRef r = pick(c);
                    std::string unit = r.calibration.unit;
                    Model::storeOut(c, first, [&] { return Model::newLatin1String(s, unit); });
                    if (auto* p = c.pointerTo<std::int32_t>(first + 1)) *p = r.power;
                });
    host.define("void ImageSet" + what + "UnitInfo" + params + ", qz_string, long )",
                [pick, first](NativeCall& c) {
                    CalibrationRef r = pick(c);
                    std::string unit = Model::latin1Param(c, first);
                    r.calibration.unit = unit;
                    r.power = c.int32(first + 1);
                });
}

void defineCalibration(Host& host, Host::State& s) {
    defineCalibrationForms(host, s, "Dimension", "long", 2, dimensionParam);
    defineCalibrationForms(host, s, "Intensity", "", 1, intensityParam);
    host.define(
        "void ImageGetDimensionCalibration( ImageRef, long, float *, float *, qz_string *, long )",
        [&s](NativeCall& c) {
            Calibration cal = dimensionParam(c).calibration;
            if (c.int32(5) != 0 && !cal.displayed) cal = Calibration{};
            if (auto* p = c.pointerTo<float>(2)) *p = cal.origin;
            if (auto* p = c.pointerTo<float>(3)) *p = cal.scale;
            Model::storeOut(c, 4, [&] { return Model::newLatin1String(s, cal.unit); });
        });
    host.define(
        "void ImageSetDimensionCalibration( ImageRef, long, float, float, qz_string, long )",
        [](NativeCall& c) {
            CalibrationRef r = dimensionParam(c);
            std::string unit = Model::latin1Param(c, 4);
            r.calibration.origin = c.float32(2);
            r.calibration.scale = c.float32(3);
            r.calibration.unit = unit;
            r.calibration.displayed = c.int32(5) != 0;
        });
    host.define("Boolean ImageIsDimensionCalibrationDisplayed( ImageRef, ulong )",
                [](NativeCall& c) { c.setResultBoolean(dimensionParam(c).calibration.displayed); });
    host.define("void ImageSetDimensionCalibrationDisplayed( ImageRef, ulong, Boolean )",
                [](NativeCall& c) { dimensionParam(c).calibration.displayed = c.boolean(2); });
    host.define("Boolean ImageIsIntensityCalibrationDisplayed( ImageRef )",
                [](NativeCall& c) { c.setResultBoolean(intensityParam(c).calibration.displayed); });
    host.define("void ImageSetIntensityCalibrationDisplayed( ImageRef, Boolean )",
                [](NativeCall& c) { intensityParam(c).calibration.displayed = c.boolean(1); });
    host.define("void ImageCopyCalibrationFrom( ImageRef, ImageRef )", [](NativeCall& c) {
        ImageData& dst = Model::imageParam(c, 0);
        ImageData& src = Model::imageParam(c, 1);
        std::size_t shared = std::min(dst.sizes.size(), src.sizes.size());
        for (std::size_t k = 0; k < shared; ++k) {
            CalibrationRef from = calibrationOf(src, k);
            CalibrationRef to = calibrationOf(dst, k);
            to.calibration = from.calibration;
            to.power = from.power;
        }
        CalibrationRef from = calibrationOf(src, src.sizes.size());
        CalibrationRef to = calibrationOf(dst, dst.sizes.size());
        to.calibration = from.calibration;
        to.power = from.power;
    });
}

void defineCopiesAndTags(Host& host, Host::State& s) {
    host.define("ImageRef ImageClone( ImageRef )", [&s](NativeCall& c) {
        const ImageData& d = Model::imageParam(c, 0);
        const ImageSpec spec = d;  // everything it was made of
        Vorna::Handle h = s.newImage(spec, 1, 0, false);
        ImageData& copy = *s.find(h)->image;
        copy.bytes = d.bytes;
        copy.description = d.description;
        copy.unitPowers = d.unitPowers;
        copy.estimatedMin = d.estimatedMin;
        copy.estimatedMax = d.estimatedMax;
        if (d.tags) copy.tags = cloneTree(*d.tags);
        c.setResultHandle(h);
    });
    host.define("TagGroup ImageGetTagGroup( ImageRef )", [&s](NativeCall& c) {
        ImageData& d = Model::imageParam(c, 0);
        if (!d.tags) d.tags = std::make_shared<TagNode>();
        c.setResultHandle(Model::nodeHandle(s, d.tags));
    });
    host.define("void SetEstimatedMinMax( ImageRef, float, float )", [](NativeCall& c) {
        ImageData& d = Model::imageParam(c, 0);
        d.estimatedMin = c.float32(1);
        d.estimatedMax = c.float32(2);
    });
}

}  // namespace

void installImageFunctions(Host& host) {
    Host::State& s = host.state();
    defineCreation(host);
    defineQueries(host);
    defineTexts(host, s);
    defineCalibration(host, s);
    defineCopiesAndTags(host, s);
}

}  // namespace StandIn
