// The fixed inputs on which every build of the module must give the same bits, and the checksums
// of the results it must give.
//
// Each case is an image made from a seeded 32-bit linear congruential sequence (no library random
// numbers, whose distributions differ between standard libraries) and one call of HoughTransform
// or shiftImage. The results are compared through a 64-bit FNV-1a checksum of their bytes against
// the golden values below, which the native 64-bit Linux build produced. The 32-bit build, the
// Windows builds and the native build all compare against the same values, so any difference in
// floating-point evaluation, in the padding of non-square images or in the conversion of integer
// elements between targets shows up as a failed case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ModuleCheck {

enum class Operation { Hough, Shift };

// The element types an input is made of (those the module accepts).
enum class Element { Float32, Float64, Int8, UInt8, Int16, UInt16, Int32, UInt32 };

struct Case {
    Operation operation;
    Element element;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t seed;
    unsigned zeroPercent;  // share of zero pixels: sparse and dense columns of the Hough path
    float dx = 0.0f;       // shiftImage only
    float dy = 0.0f;
};

// Every case, in a fixed order.
const std::vector<Case>& Cases();

// "hough float32 33x17 #5" or "shift int16 13x7 (2.9,-2.9) #3": unique per case.
std::string Name(const Case& c);

std::size_t ElementSize(Element element);
const char* ElementName(Element element);

// The input's elements as the host holds them (little-endian, row after row).
std::vector<unsigned char> InputBytes(const Case& c);
// The same elements converted to float by value, as the module converts them.
std::vector<float> InputAsFloat(const Case& c);

// Width and height of the result: the padded square for the transform, the input's for the shift.
std::uint32_t ResultWidth(const Case& c);
std::uint32_t ResultHeight(const Case& c);

// 64-bit FNV-1a over the bytes of the floats.
std::uint64_t Checksum(const float* values, std::size_t count);

// The checksum every build must give for case `index` of Cases().
std::uint64_t Golden(std::size_t index);

}  // namespace ModuleCheck
