// The golden cases: inputs, names, checksums.
#include "GoldenCases.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace ModuleCheck {
namespace {

// Numerical Recipes' 32-bit linear congruential generator: the same sequence on every target.
class Sequence {
  public:
    explicit Sequence(std::uint32_t seed) : fState(seed) {}
    std::uint32_t Next() {
        fState = fState * 1664525u + 1013904223u;
        return fState;
    }

  private:
    std::uint32_t fState;
};

Case Hough(Element element, std::uint32_t width, std::uint32_t height, std::uint32_t seed,
           unsigned zeroPercent = 33) {
    return Case{Operation::Hough, element, width, height, seed, zeroPercent};
}

Case Shift(Element element, std::uint32_t width, std::uint32_t height, float dx, float dy,
           std::uint32_t seed) {
    return Case{Operation::Shift, element, width, height, seed, 10, dx, dy};
}

template <class T>
void Store(std::vector<unsigned char>& bytes, std::size_t index, T value) {
    std::memcpy(bytes.data() + index * sizeof(T), &value, sizeof(T));
}

template <class T>
T Load(const std::vector<unsigned char>& bytes, std::size_t index) {
    T value;
    std::memcpy(&value, bytes.data() + index * sizeof(T), sizeof(T));
    return value;
}

// Checksums of the native 64-bit build, in the order of Cases(). Regenerate with
// `photarion-module-check --print-golden MODULE` only when a change of the results is intended.
const std::uint64_t kGolden[] = {
#include "Golden.inc"
};

}  // namespace

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = [] {
        std::vector<Case> c;
        std::uint32_t seed = 1;
        // Squares of float32, odd and even sides, the one-pixel image and sides beyond one block
        // of angles; then a wholly dense and a nearly empty one.
        for (std::uint32_t n : {1u, 2u, 3u, 7u, 8u, 16u, 31u, 32u, 33u, 64u, 65u, 100u, 128u, 256u})
            c.push_back(Hough(Element::Float32, n, n, seed++));
        c.push_back(Hough(Element::Float32, 40, 40, seed++, 0));
        c.push_back(Hough(Element::Float32, 50, 50, seed++, 95));
        // Non-square images, padded to their square.
        for (auto [w, h] : {std::pair{7u, 4u},
                            {4u, 7u},
                            {33u, 17u},
                            {17u, 33u},
                            {1u, 5u},
                            {16u, 1u},
                            {100u, 37u}})
            c.push_back(Hough(Element::Float32, w, h, seed++));
        // Every other element type, converted to float by value.
        c.push_back(Hough(Element::Float64, 24, 24, seed++));
        c.push_back(Hough(Element::Int8, 21, 21, seed++));
        c.push_back(Hough(Element::UInt8, 20, 20, seed++));
        c.push_back(Hough(Element::Int16, 19, 23, seed++));
        c.push_back(Hough(Element::UInt16, 30, 18, seed++));
        c.push_back(Hough(Element::Int32, 25, 25, seed++));
        c.push_back(Hough(Element::UInt32, 18, 18, seed++));
        // Shifts: truncated offsets, negative ones, offsets beyond the size, one-pixel images.
        c.push_back(Shift(Element::Float32, 13, 7, 2.9f, -2.9f, seed++));
        c.push_back(Shift(Element::Float32, 100, 1, -1.0f, 0.0f, seed++));
        c.push_back(Shift(Element::Float32, 64, 64, 65.0f, -130.5f, seed++));
        c.push_back(Shift(Element::Float32, 1, 1, 3.0f, 3.0f, seed++));
        c.push_back(Shift(Element::Int16, 13, 7, -3.5f, 7.0f, seed++));
        c.push_back(Shift(Element::UInt8, 9, 11, 4.0f, 0.0f, seed++));
        c.push_back(Shift(Element::Float64, 8, 8, 1.0f, 1.0f, seed++));
        c.push_back(Shift(Element::Int32, 5, 9, -6.0f, -10.0f, seed++));
        return c;
    }();
    return cases;
}

std::size_t ElementSize(Element element) {
    switch (element) {
        case Element::Int8:
        case Element::UInt8: return 1;
        case Element::Int16:
        case Element::UInt16: return 2;
        case Element::Float32:
        case Element::Int32:
        case Element::UInt32: return 4;
        case Element::Float64: return 8;
    }
    throw std::logic_error("unknown element type");
}

const char* ElementName(Element element) {
    switch (element) {
        case Element::Float32: return "float32";
        case Element::Float64: return "float64";
        case Element::Int8: return "int8";
        case Element::UInt8: return "uint8";
        case Element::Int16: return "int16";
        case Element::UInt16: return "uint16";
        case Element::Int32: return "int32";
        case Element::UInt32: return "uint32";
    }
    throw std::logic_error("unknown element type");
}

std::string Name(const Case& c) {
    const std::size_t index = static_cast<std::size_t>(&c - Cases().data());
    std::string name = c.operation == Operation::Hough ? "hough " : "shift ";
    name += ElementName(c.element);
    name += " " + std::to_string(c.width) + "x" + std::to_string(c.height);
    if (c.operation == Operation::Shift) {
        char offsets[64];
        std::snprintf(offsets, sizeof offsets, " (%g,%g)", static_cast<double>(c.dx),
                      static_cast<double>(c.dy));
        name += offsets;
    }
    if (index < Cases().size()) name += " #" + std::to_string(index);
    return name;
}

std::vector<unsigned char> InputBytes(const Case& c) {
    const std::size_t count = std::size_t{c.width} * c.height;
    std::vector<unsigned char> bytes(count * ElementSize(c.element));
    Sequence sequence(c.seed);
    for (std::size_t i = 0; i < count; ++i) {
        const bool zero = (sequence.Next() >> 8) % 100 < c.zeroPercent;
        const std::uint32_t s = zero ? 0u : sequence.Next();
        switch (c.element) {
            case Element::Float32:
                // Multiples of 1/256 in (-128, 128): exact in float.
                Store(
                    bytes, i,
                    zero ? 0.0f
                         : static_cast<float>(static_cast<std::int32_t>(s >> 16) - 32768) / 256.0f);
                break;
            case Element::Float64:
                // 24 significant bits and a fraction: rounded when converted to float.
                Store(bytes, i,
                      zero ? 0.0
                           : (static_cast<double>(static_cast<std::int32_t>(s >> 8) - 0x800000) /
                                  65536.0 +
                              1.0 / 3.0));
                break;
            case Element::Int8: Store(bytes, i, static_cast<std::int8_t>(s >> 24)); break;
            case Element::UInt8: Store(bytes, i, static_cast<std::uint8_t>(s >> 24)); break;
            case Element::Int16: Store(bytes, i, static_cast<std::int16_t>(s >> 16)); break;
            case Element::UInt16: Store(bytes, i, static_cast<std::uint16_t>(s >> 16)); break;
            case Element::Int32: Store(bytes, i, static_cast<std::int32_t>(s)); break;
            case Element::UInt32: Store(bytes, i, s); break;
        }
    }
    return bytes;
}

std::vector<float> InputAsFloat(const Case& c) {
    const std::vector<unsigned char> bytes = InputBytes(c);
    const std::size_t count = std::size_t{c.width} * c.height;
    std::vector<float> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        switch (c.element) {
            case Element::Float32: out[i] = Load<float>(bytes, i); break;
            case Element::Float64: out[i] = static_cast<float>(Load<double>(bytes, i)); break;
            case Element::Int8: out[i] = static_cast<float>(Load<std::int8_t>(bytes, i)); break;
            case Element::UInt8: out[i] = static_cast<float>(Load<std::uint8_t>(bytes, i)); break;
            case Element::Int16: out[i] = static_cast<float>(Load<std::int16_t>(bytes, i)); break;
            case Element::UInt16: out[i] = static_cast<float>(Load<std::uint16_t>(bytes, i)); break;
            case Element::Int32: out[i] = static_cast<float>(Load<std::int32_t>(bytes, i)); break;
            case Element::UInt32: out[i] = static_cast<float>(Load<std::uint32_t>(bytes, i)); break;
        }
    }
    return out;
}

std::uint32_t ResultWidth(const Case& c) {
    return c.operation == Operation::Hough ? std::max(c.width, c.height) : c.width;
}

std::uint32_t ResultHeight(const Case& c) {
    return c.operation == Operation::Hough ? std::max(c.width, c.height) : c.height;
}

std::uint64_t Checksum(const float* values, std::size_t count) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(values);
    for (std::size_t i = 0; i < count * sizeof(float); ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

std::uint64_t Golden(std::size_t index) {
    constexpr std::size_t known = sizeof(kGolden) / sizeof(kGolden[0]);
    if (Cases().size() != known)
        throw std::logic_error("the golden table has " + std::to_string(known) + " checksums for " +
                               std::to_string(Cases().size()) + " cases");
    return kGolden[index];
}

}  // namespace ModuleCheck
