// The typed tag functions: TagGroupGetTagAs<Type>, TagGroupGetIndexedTagAs<Type>,
// TagGroupSetTagAs<Type>, TagGroupSetIndexedTagAs<Type> and TagGroupInsertTagAs<Type>, made from
// one table of the value types and the script types of their parts.
//
// Rules, the same for every type:
//  - A get answers true and writes every part of the value through its pointers when the tag
//    exists and holds exactly that type (String and Text name one type); otherwise it answers
//    false and writes nothing. A path that is malformed, a bad handle or an index argument out of
//    range fail the call. Null pointers are skipped.
//  - A set by path replaces the value of the tag the path names, or adds a tag of that label at
//    the end of its group, making the groups of the earlier steps that are missing. A set by
//    index replaces the value of an existing tag and keeps its label. An insert adds an unlabelled
//    tag before the index (index == count: at the end).
//  - Float values are kept in float precision (the float complex type too); a complex value
//    comes as 16 bytes (two doubles) and goes back the same way.
//  - A tag group stored as a value is the node itself, not a copy; one that would contain itself
//    is refused. A tag group read back carries one count for the caller and is part of the tree.
//  - An array tag holds a copy of an image's elements and their element type; a get copies them
//    into the given image, which must have the same element type and count.
#include <cstring>
#include <vector>

#include "ModelSupport.h"

namespace StandIn {
namespace {

using Model::fail;

enum class Part {
    Boolean,
    Short,
    UInt16,
    Long,
    ULong,
    Float,
    Double,
    RGB,
    Complex,
    Text,
    Group,
    Array
};

const char* partType(Part part) {
    switch (part) {
        case Part::Boolean: return "Boolean";
        case Part::Short: return "short";
        case Part::UInt16: return "uint16";
        case Part::Long: return "long";
        case Part::ULong: return "ulong";
        case Part::Float: return "float";
        case Part::Double: return "double";
        case Part::RGB: return "RGB";
        case Part::Complex: return "complex";
        case Part::Text: return "qz_string";
        case Part::Group: return "TagGroup";
        case Part::Array: return "ImageRef";
    }
    return "?";
}

struct ValueForm {
    const char* suffix;  // "Long" in TagGroupGetTagAsLong
    TagType type;
    Part part;
    int parts;                   // parameters of the value
    const char* indexType;       // of the indexed forms: "long", or "ulong" for arrays
    const char* indexedGetName;  // the name of the indexed get, when it is not the usual one
};

const ValueForm kForms[] = {
    {"Boolean", TagType::Boolean, Part::Boolean, 1, "long", nullptr},
    {"Short", TagType::Short, Part::Short, 1, "long", nullptr},
    {"UInt16", TagType::UInt16, Part::UInt16, 1, "long", nullptr},
    {"Long", TagType::Long, Part::Long, 1, "long", nullptr},
    {"UInt32", TagType::UInt32, Part::ULong, 1, "long", nullptr},
    {"Float", TagType::Float, Part::Float, 1, "long", nullptr},
    {"Double", TagType::Double, Part::Double, 1, "long", nullptr},
    {"FloatComplex", TagType::FloatComplex, Part::Complex, 1, "long", nullptr},
    {"DoubleComplex", TagType::DoubleComplex, Part::Complex, 1, "long", nullptr},
    {"EightBitColor", TagType::EightBitColor, Part::RGB, 1, "long", nullptr},
    {"FloatPoint", TagType::FloatPoint, Part::Float, 2, "long", nullptr},
    {"ShortPoint", TagType::ShortPoint, Part::Short, 2, "long", nullptr},
    {"LongPoint", TagType::LongPoint, Part::Long, 2, "long", nullptr},
    {"FloatRect", TagType::FloatRect, Part::Float, 4, "long", nullptr},
    {"ShortRect", TagType::ShortRect, Part::Short, 4, "long", nullptr},
    {"LongRect", TagType::LongRect, Part::Long, 4, "long", nullptr},
    // The indexed get of this type carries the name of the labelled one.
    {"RGBUInt16", TagType::RGBUInt16, Part::UInt16, 3, "long", "TagGroupGetTagAsRGBUInt16"},
    {"String", TagType::String, Part::Text, 1, "long", nullptr},
    {"Text", TagType::String, Part::Text, 1, "long", nullptr},
    {"TagGroup", TagType::Group, Part::Group, 1, "long", nullptr},
    {"Array", TagType::Array, Part::Array, 1, "ulong", nullptr},
};

std::string signature(const std::string& result, const std::string& name,
                      const std::vector<std::string>& params) {
    std::string text = result + " " + name + "(";
    for (std::size_t i = 0; i < params.size(); ++i) text += (i ? ", " : " ") + params[i];
    return text + " )";
}

// The parameter types of a form: "float, float" for a value, "float *, float *" for a get.
// An array get takes the image to fill, not a pointer.
std::vector<std::string> valueParams(const ValueForm& f, bool out) {
    std::string type = partType(f.part);
    if (out && f.part != Part::Array) type += " *";
    return std::vector<std::string>(static_cast<std::size_t>(f.parts), type);
}

std::vector<std::string> join(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Through memory: on a 32-bit x87 build a float kept in a register would keep its extra bits.
double roundToFloat(double v) {
    volatile float single = static_cast<float>(v);
    return single;
}

// Reads the value of form `f` from the parameters starting at `first`.
TagValue readValue(NativeCall& c, const ValueForm& f, std::size_t first) {
    TagValue v;
    v.type = f.type;
    for (int k = 0; k < f.parts; ++k) {
        std::size_t i = first + static_cast<std::size_t>(k);
        double& n = v.numbers[static_cast<std::size_t>(k)];
        switch (f.part) {
            case Part::Boolean: n = c.boolean(i) ? 1.0 : 0.0; break;
            case Part::Short: n = c.int16(i); break;
            case Part::UInt16: n = c.uint16(i); break;
            case Part::Long: n = c.int32(i); break;
            case Part::ULong: n = c.uint32(i); break;
            case Part::Float: n = c.float32(i); break;
            case Part::Double: n = c.float64(i); break;
            case Part::RGB: n = c.uint32(i); break;
            case Part::Complex: {
                std::complex<double> z = Model::complexParam(c, i);
                v.numbers[0] = z.real();
                v.numbers[1] = z.imag();
                break;
            }
            case Part::Text: v.text = Model::stringParam(c, i); break;
            case Part::Group: v.group = Model::tagGroupNodeParam(c, i); break;
            case Part::Array: {
                const ImageData& image = Model::imageParam(c, i);
                auto array = std::make_shared<TagArray>();
                array->type = image.type;
                array->count = image.elementCount();
                array->bytes = image.bytes;
                v.array = std::move(array);
                break;
            }
        }
    }
    if (f.type == TagType::FloatComplex) {
        for (double& n : v.numbers) n = roundToFloat(n);
    }
    return v;
}

template <typename T>
void put(NativeCall& c, std::size_t i, T value) {
    if (T* p = c.pointerTo<T>(i)) *p = value;
}

// Writes a stored value through the get's pointers (or, for an array, into its image).
void writeValue(NativeCall& c, const ValueForm& f, std::size_t first, const TagValue& v,
                const std::string& path) {
    Host::State& s = c.host().state();
    for (int k = 0; k < f.parts; ++k) {
        std::size_t i = first + static_cast<std::size_t>(k);
        double n = v.numbers[static_cast<std::size_t>(k)];
        switch (f.part) {
            case Part::Boolean: put<unsigned char>(c, i, n != 0.0 ? 1 : 0); break;
            case Part::Short: put(c, i, static_cast<std::int16_t>(n)); break;
            case Part::UInt16: put(c, i, static_cast<std::uint16_t>(n)); break;
            case Part::Long: put(c, i, static_cast<std::int32_t>(n)); break;
            case Part::ULong:
            case Part::RGB: put(c, i, static_cast<std::uint32_t>(n)); break;
            case Part::Float: put(c, i, static_cast<float>(n)); break;
            case Part::Double: put(c, i, n); break;
            case Part::Complex: {
                if (auto* p = c.pointerTo<unsigned char>(i)) {
                    const double parts[2] = {v.numbers[0], v.numbers[1]};
                    std::memcpy(p, parts, sizeof parts);
                }
                break;
            }
            case Part::Text:
                Model::storeOut(c, i, [&] { return Model::newString(s, v.text); });
                break;
            case Part::Group:
                Model::storeOut(c, i, [&] { return Model::nodeHandle(s, v.group); });
                break;
            case Part::Array: {
                ImageData& image = Model::imageParam(c, i);
                const TagArray& a = *v.array;
                if (image.type != a.type || image.elementCount() != a.count) {
                    fail(c, "the array tag '" + path + "' holds " + std::to_string(a.count) + " " +
                                elementTypeName(a.type) + " elements; the image has " +
                                std::to_string(image.elementCount()) + " " +
                                elementTypeName(image.type) + " elements.");
                }
                std::memcpy(image.bytes.data(), a.bytes.data(), a.bytes.size());
                ++image.dataChangedCount;
                break;
            }
        }
    }
}

std::vector<TagStep> pathParam(NativeCall& c, std::size_t i) {
    try {
        return parseTagPath(c.text(i));
    } catch (const TagPathError& e) {
        fail(c, std::string(e.what()) + ".");
    }
}

// A tag group stored into `target` must not contain it.
void checkNoCycle(NativeCall& c, const TagValue& v, const TagNode& target) {
    if (v.type == TagType::Group && reaches(*v.group, &target))
        fail(c, "a tag group cannot be stored inside itself.");
}

void defineGets(Host& host, const ValueForm& f) {
    const std::string suffix = f.suffix;
    host.define(signature("Boolean", "TagGroupGetTagAs" + suffix,
                          join({"TagGroup", "string"}, valueParams(f, true))),
                [f](NativeCall& c) {
                    TagNode& root = Model::tagGroupParam(c, 0);
                    std::vector<TagStep> steps = pathParam(c, 1);
                    std::optional<TagSpot> spot = findTag(root, steps);
                    const TagValue* v = nullptr;
                    if (spot && spot->index) v = &spot->node->entries[*spot->index].value;
                    bool found = v && v->type == f.type;
                    if (found) writeValue(c, f, 2, *v, tagPathText(steps));
                    c.setResultBoolean(found);
                });
    std::string indexedName =
        f.indexedGetName ? f.indexedGetName : "TagGroupGetIndexedTagAs" + suffix;
    host.define(
        signature("Boolean", indexedName, join({"TagGroup", f.indexType}, valueParams(f, true))),
        [f](NativeCall& c) {
            TagNode& node = Model::tagGroupParam(c, 0);
            std::size_t index = Model::indexParam(c, 1, node.entries.size());
            const TagValue& v = node.entries[index].value;
            bool found = v.type == f.type;
            if (found) writeValue(c, f, 2, v, "[" + std::to_string(index) + "]");
            c.setResultBoolean(found);
        });
}

void defineSets(Host& host, const ValueForm& f) {
    const std::string suffix = f.suffix;
    host.define(signature("void", "TagGroupSetTagAs" + suffix,
                          join({"TagGroup", "string"}, valueParams(f, false))),
                [f](NativeCall& c) {
                    TagNode& root = Model::tagGroupParam(c, 0);
                    std::vector<TagStep> steps = pathParam(c, 1);
                    TagValue v = readValue(c, f, 2);
                    checkNoCycle(c, v, deepestExisting(root, steps));
                    TagSpot spot;
                    try {
                        spot = makeTagPath(root, steps);
                    } catch (const TagPathError& e) {
                        fail(c, std::string(e.what()) + ".");
                    }
                    if (spot.index) {
                        spot.node->entries[*spot.index].value = std::move(v);
                    } else if (steps.back().isIndex) {
                        fail(c, "the tag path '" + tagPathText(steps) + "' names no tag: index " +
                                    std::to_string(steps.back().index) + " is out of range for " +
                                    std::to_string(spot.node->entries.size()) + " tags.");
                    } else {
                        spot.node->entries.push_back({steps.back().label, std::move(v)});
                    }
                    spot.node->touch();
                });
    host.define(signature("void", "TagGroupSetIndexedTagAs" + suffix,
                          join({"TagGroup", f.indexType}, valueParams(f, false))),
                [f](NativeCall& c) {
                    TagNode& node = Model::tagGroupParam(c, 0);
                    std::size_t index = Model::indexParam(c, 1, node.entries.size());
                    TagValue v = readValue(c, f, 2);
                    checkNoCycle(c, v, node);
                    node.entries[index].value = std::move(v);
                    node.touch();
                });
    host.define(signature("void", "TagGroupInsertTagAs" + suffix,
                          join({"TagGroup", f.indexType}, valueParams(f, false))),
                [f](NativeCall& c) {
                    TagNode& node = Model::tagGroupParam(c, 0);
                    std::size_t index = Model::indexParam(c, 1, node.entries.size(), true);
                    TagValue v = readValue(c, f, 2);
                    checkNoCycle(c, v, node);
                    node.entries.insert(node.entries.begin() + static_cast<std::ptrdiff_t>(index),
                                        TagEntry{std::string(), std::move(v)});
                    node.touch();
                });
}

}  // namespace

void installTagValueFunctions(Host& host) {
    for (const ValueForm& f : kForms) {
        defineGets(host, f);
        defineSets(host, f);
    }
}

}  // namespace StandIn
