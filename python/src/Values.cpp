// Conversions between Python values and the values a registered function takes and answers.
#include "Values.h"

#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <tuple>

#include "ImageIO.h"

namespace Bridge {
namespace {

using StandIn::ElementType;
using Tools::ForeignType;
using Tools::ForeignValue;
using Tools::NumberReading;
using Tools::ParamPlan;
using Tools::Supply;

// The dtypes the host has element types for: NumPy's kind character and item size.
struct DtypeRow {
    char kind;
    std::size_t size;
    ElementType type;
};

const DtypeRow kDtypes[] = {
    {'f', 4, ElementType::Float32},     {'f', 8, ElementType::Float64},
    {'i', 1, ElementType::Int8},        {'i', 2, ElementType::Int16},
    {'i', 4, ElementType::Int32},       {'u', 1, ElementType::UInt8},
    {'u', 2, ElementType::UInt16},      {'u', 4, ElementType::UInt32},
    {'b', 1, ElementType::Binary},      {'c', 8, ElementType::Complex64},
    {'c', 16, ElementType::Complex128},
};

constexpr const char* kDtypeList =
    "float32, float64, int8, int16, int32, uint8, uint16, uint32, bool, complex64 or complex128";

// The dtype an image of this element type comes back as: the element type's own name, but for
// binary images (booleans) and RGB ones (one 32-bit word a pixel).
const char* dtypeName(ElementType type) {
    if (type == ElementType::Binary) return "bool";
    if (type == ElementType::RGB) return "uint32";
    return StandIn::elementTypeName(type);
}

std::string typeName(py::handle value) {
    return py::str(py::type::handle_of(value).attr("__name__"));
}

bool isNumpyBool(py::handle value) {
    return py::isinstance(value, py::module_::import("numpy").attr("bool_"));
}

bool isText(py::handle value) { return PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()); }

// A str as Latin-1 bytes (the host's 8-bit text), bytes as they are.
std::optional<std::string> latin1(py::handle value) {
    if (PyBytes_Check(value.ptr()))
        return std::string(py::bytes(py::reinterpret_borrow<py::object>(value)));
    try {
        py::bytes encoded = value.attr("encode")("latin-1");
        return std::string(encoded);
    } catch (const py::error_already_set& e) {
        if (!e.matches(PyExc_UnicodeEncodeError)) throw;
        return std::nullopt;
    }
}

bool littleEndian() {
    const std::uint16_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

std::u16string utf16(py::handle value) {
    std::string bytes = py::bytes(
        value.attr("encode")(littleEndian() ? "utf-16-le" : "utf-16-be", "surrogatepass"));
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    return units;
}

// The integer an object with __index__ stands for.
py::int_ indexOf(py::handle value) {
    PyObject* n = PyNumber_Index(value.ptr());
    if (!n) throw py::error_already_set();
    return py::reinterpret_steal<py::int_>(n);
}

std::string readingText(const ParamPlan& plan) {
    switch (plan.reading) {
        case NumberReading::Integer:
            return "a whole number from " + std::to_string(plan.min) + " to " +
                   std::to_string(plan.max);
        case NumberReading::Real: return "a number";
        case NumberReading::Boolean: return "True or False";
    }
    return "a number";
}

ForeignValue booleanValue(const ParamPlan& plan, py::handle value, const ArgumentPlace& place) {
    if (PyBool_Check(value.ptr()) || isNumpyBool(value))
        return ForeignValue::number(plan.foreign, value.cast<bool>() ? 1 : 0);
    if (PyIndex_Check(value.ptr()) && !isNumpyBool(value)) {
        py::int_ n = indexOf(value);
        if (n.equal(py::int_(0)) || n.equal(py::int_(1)))
            return ForeignValue::number(plan.foreign, n.cast<int>());
        throw py::value_error(
            place.message("must be True or False (or 1 or 0), not " + std::string(py::str(n))));
    }
    throw py::type_error(place.message("must be True or False, not " + typeName(value)));
}

ForeignValue integerValue(const ParamPlan& plan, py::handle value, const ArgumentPlace& place) {
    if (PyBool_Check(value.ptr()) || isNumpyBool(value) || !PyIndex_Check(value.ptr())) {
        throw py::type_error(place.message("must be an integer (" + readingText(plan) + "), not " +
                                           typeName(value)));
    }
    py::int_ n = indexOf(value);
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(n.ptr(), &overflow);
    if (overflow != 0 || v < plan.min || v > plan.max) {
        throw py::value_error(place.message("is out of range: " + std::string(py::str(n)) +
                                            " is not " + readingText(plan)));
    }
    return ForeignValue::number(plan.foreign, static_cast<std::int64_t>(v));
}

ForeignValue realValue(const ParamPlan& plan, py::handle value, const ArgumentPlace& place) {
    const bool number =
        PyFloat_Check(value.ptr()) || PyIndex_Check(value.ptr()) || py::hasattr(value, "__float__");
    if (!number || isText(value) || PyBool_Check(value.ptr()) || isNumpyBool(value))
        throw py::type_error(place.message("must be a real number, not " + typeName(value)));
    const double d = PyFloat_AsDouble(value.ptr());
    if (d == -1.0 && PyErr_Occurred()) {
        if (!PyErr_ExceptionMatches(PyExc_OverflowError)) throw py::error_already_set();
        PyErr_Clear();
        throw py::value_error(place.message("is out of range: " + std::string(py::repr(value)) +
                                            " is beyond the range of a double"));
    }
    if (plan.foreign == ForeignType::Float) {
        const float f = Tools::nearestFloat(d);
        if (std::isinf(f) && std::isfinite(d)) {
            throw py::value_error(place.message("is out of range: " + std::string(py::repr(value)) +
                                                " is beyond the range of a float"));
        }
        return ForeignValue::float32(f);
    }
    return ForeignValue::number(plan.foreign, d);
}

// Host text for a name or a unit: Latin-1, '?' for what it cannot write.
std::string hostText(py::handle text) {
    return py::bytes(py::str(text).attr("encode")("latin-1", "replace"));
}

std::string textAttribute(py::handle value, const char* name) {
    if (!py::hasattr(value, name)) return "";
    py::object text = value.attr(name);
    return text.is_none() ? "" : hostText(text);
}

StandIn::Calibration calibration(const std::tuple<float, float, py::str, bool>& c) {
    return {std::get<0>(c), std::get<1>(c), hostText(std::get<2>(c)), std::get<3>(c)};
}

// The per-axis calibrations of an object that carries them, in host dimension order.
std::vector<StandIn::Calibration> calibrationsOf(py::handle value, std::size_t dimensions,
                                                 const ArgumentPlace& place) {
    std::vector<StandIn::Calibration> out;
    if (!py::hasattr(value, "calibrations")) return out;
    py::object given = value.attr("calibrations");
    if (given.is_none()) return out;
    try {
        auto axes = given.cast<std::vector<std::tuple<float, float, py::str, bool>>>();
        if (axes.size() != dimensions) {
            throw py::value_error(place.message("has " + std::to_string(axes.size()) +
                                                " calibrations for " + std::to_string(dimensions) +
                                                " axes"));
        }
        for (auto it = axes.rbegin(); it != axes.rend(); ++it) out.push_back(calibration(*it));
    } catch (const py::cast_error&) {
        throw py::type_error(place.message(
            "has calibrations that are not (origin, scale, unit, displayed) per axis"));
    }
    return out;
}

py::tuple calibrationTuple(const StandIn::Calibration& c) {
    return py::make_tuple(c.origin, c.scale, fromLatin1(c.unit), c.displayed);
}

}  // namespace

MadeObjects::~MadeObjects() {
    for (Vorna::Handle h : fHandles) {
        if (fHost.hostReferences(h) > 0) fHost.drop(h);
    }
}

Vorna::Handle MadeObjects::add(Vorna::Handle h) {
    fHandles.push_back(h);
    return h;
}

std::string ArgumentPlace::describe() const {
    return "argument " + std::to_string(index + 1) + " of " + signature->name + " (" +
           signature->params[index].spelling() + ")";
}

std::string ArgumentPlace::message(const std::string& problem) const {
    return describe() + " " + problem + "; its signature is " + signature->text;
}

Vorna::Handle imageFromArray(StandIn::Host& host, py::handle value, const ArgumentPlace& place,
                             MadeObjects& made) {
    if (!py::isinstance<py::array>(value))
        throw py::type_error(place.message("must be a NumPy array, not " + typeName(value)));
    py::array array = py::reinterpret_borrow<py::array>(value);
    const py::dtype dtype = array.dtype();
    const DtypeRow* row = nullptr;
    for (const DtypeRow& r : kDtypes) {
        if (r.kind == dtype.kind() && r.size == static_cast<std::size_t>(dtype.itemsize()))
            row = &r;
    }
    if (!row) {
        throw py::type_error(place.message("must be an array of " + std::string(kDtypeList) +
                                           " elements, not " +
                                           std::string(py::str(dtype.attr("name")))));
    }
    if (array.ndim() < 1 || array.ndim() > static_cast<py::ssize_t>(StandIn::kMaxImageDimensions)) {
        throw py::value_error(place.message("must have 1 to " +
                                            std::to_string(StandIn::kMaxImageDimensions) +
                                            " axes, not " + std::to_string(array.ndim())));
    }
    if (!dtype.attr("isnative").cast<bool>())
        array = array.attr("astype")(dtype.attr("newbyteorder")("="));
    array = py::array::ensure(array, py::array::c_style);

    StandIn::ImageSpec spec;
    spec.type = row->type;
    for (py::ssize_t axis = array.ndim() - 1; axis >= 0; --axis) {
        const py::ssize_t n = array.shape(axis);
        if (n < 1 || static_cast<std::uint64_t>(n) > std::numeric_limits<std::uint32_t>::max()) {
            throw py::value_error(
                place.message("has " + std::to_string(n) + " elements along axis " +
                              std::to_string(axis) + "; a host image has 1 to " +
                              std::to_string(std::numeric_limits<std::uint32_t>::max())));
        }
        spec.sizes.push_back(static_cast<std::uint32_t>(n));
    }
    spec.name = textAttribute(value, "name");
    spec.label = textAttribute(value, "label");
    spec.dimensionCalibrations = calibrationsOf(value, spec.sizes.size(), place);
    if (py::hasattr(value, "intensity") && !value.attr("intensity").is_none()) {
        try {
            spec.intensityCalibration = calibration(
                value.attr("intensity").cast<std::tuple<float, float, py::str, bool>>());
        } catch (const py::cast_error&) {
            throw py::type_error(place.message(
                "has an intensity calibration that is not (origin, scale, unit, displayed)"));
        }
    }
    try {
        // A NumPy bool is one byte of 0 or 1, as the host's binary elements are.
        return made.add(
            host.createImage(spec, array.data(), static_cast<std::size_t>(array.nbytes())));
    } catch (const std::invalid_argument& e) {
        throw py::value_error(place.message(std::string("cannot be a host image: ") + e.what()));
    }
}

ForeignValue toForeign(StandIn::Host& host, const ParamPlan& plan, py::handle value,
                       const ArgumentPlace& place, MadeObjects& made, ArgumentStorage& storage) {
    switch (plan.supply) {
        case Supply::ImageAddress:
        case Supply::ImageHandle:
            storage.handle = imageFromArray(host, value, place, made);
            return plan.supply == Supply::ImageAddress ? ForeignValue::pointer(&storage.handle)
                                                       : ForeignValue::uint32(storage.handle);
        case Supply::StringHandle:
            if (PyUnicode_Check(value.ptr())) {
                storage.handle = made.add(host.makeStringUTF16(utf16(value)));
            } else if (PyBytes_Check(value.ptr())) {
                storage.handle = made.add(host.makeString(*latin1(value)));
            } else {
                throw py::type_error(place.message("must be a str, not " + typeName(value)));
            }
            return ForeignValue::uint32(storage.handle);
        case Supply::Text: {
            if (!isText(value))
                throw py::type_error(place.message("must be a str, not " + typeName(value)));
            std::optional<std::string> text = latin1(value);
            if (!text) throw py::value_error(place.message("must be Latin-1 text for the host"));
            if (text->find('\0') != std::string::npos)
                throw py::value_error(place.message("must not contain a NUL character"));
            storage.text = std::move(*text);
            return ForeignValue::pointer(storage.text.data());
        }
        case Supply::Number:
            switch (plan.reading) {
                case NumberReading::Boolean: return booleanValue(plan, value, place);
                case NumberReading::Integer: return integerValue(plan, value, place);
                case NumberReading::Real: return realValue(plan, value, place);
            }
            break;
        case Supply::ObjectHandle:
        case Supply::ObjectAddress:
        case Supply::NumberAddress: break;
    }
    throw py::type_error(place.message("is of a type that Python cannot supply"));
}

py::dict arrayFromImage(const StandIn::ImageInfo& image) {
    std::vector<py::ssize_t> shape(image.sizes.rbegin(), image.sizes.rend());
    py::array data(py::dtype(dtypeName(image.type)), shape);
    auto* out = static_cast<unsigned char*>(data.mutable_data());
    const std::size_t bytes = static_cast<std::size_t>(data.nbytes());
    if (image.type == ElementType::Binary) {
        for (std::size_t i = 0; i < bytes && i < image.bytes.size(); ++i)
            out[i] = image.bytes[i] != 0 ? 1 : 0;
    } else {
        std::memcpy(out, image.bytes.data(), std::min(bytes, image.bytes.size()));
    }
    py::list calibrations;
    for (auto it = image.dimensionCalibrations.rbegin(); it != image.dimensionCalibrations.rend();
         ++it) {
        calibrations.append(calibrationTuple(*it));
    }
    py::dict result;
    result["data"] = data;
    result["name"] = fromLatin1(image.name);
    result["label"] = fromLatin1(image.label);
    result["calibrations"] = calibrations;
    result["intensity"] = calibrationTuple(image.intensityCalibration);
    result["element_type"] = StandIn::elementTypeName(image.type);
    return result;
}

py::object fromForeign(const ForeignValue& value, NumberReading reading) {
    if (reading == NumberReading::Boolean) return py::bool_(value.u8 != 0);
    return Tools::visitForeignType(value.type, [&](auto c) -> py::object {
        using T = typename decltype(c)::type;
        if constexpr (std::is_integral_v<T>) {
            return py::int_(value.as<T>());
        } else if constexpr (std::is_floating_point_v<T>) {
            return py::float_(static_cast<double>(value.as<T>()));
        } else {
            return py::none();
        }
    });
}

py::str fromLatin1(const std::string& text) {
    return py::reinterpret_steal<py::str>(
        PyUnicode_DecodeLatin1(text.data(), static_cast<py::ssize_t>(text.size()), nullptr));
}

py::str fromUTF16(const std::u16string& units) {
    int order = littleEndian() ? -1 : 1;
    py::object text = py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF16(reinterpret_cast<const char*>(units.data()),
                              static_cast<py::ssize_t>(units.size() * 2), "surrogatepass", &order));
    if (!text) throw py::error_already_set();
    return text;
}

}  // namespace Bridge
