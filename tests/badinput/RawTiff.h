// TIFF files whose directory says whatever a test wants, whatever the data: for headers that
// declare more (or other) than the file holds.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace BadInput {

struct TiffEntry {
    std::uint16_t tag;
    std::uint16_t type;  // 3: short, 4: long
    std::uint32_t value;
};

// Stands for the offset of the data in an entry's value.
constexpr std::uint32_t kDataOffset = 0xFFFFFFFFu;

// A little-endian TIFF of one directory holding these entries (one value each), then `data`.
inline std::vector<unsigned char> RawTiffWith(std::vector<TiffEntry> entries,
                                              const std::vector<unsigned char>& data) {
    std::sort(entries.begin(), entries.end(),
              [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    const auto count = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t dataOffset = 8 + 2 + 12 * count + 4;
    std::vector<unsigned char> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
    auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    put(count, 2);
    for (const TiffEntry& e : entries) {
        put(e.tag, 2);
        put(e.type, 2);
        put(1, 4);
        put(e.value == kDataOffset ? dataOffset : e.value, 4);  // a short sits in the first two
    }
    put(0, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// One strip of `data` for a w x h image of `bits`-bit samples in `format`.
inline std::vector<unsigned char> RawTiff(std::uint32_t w, std::uint32_t h, std::uint16_t bits,
                                          std::uint16_t format,
                                          const std::vector<unsigned char>& data,
                                          std::uint16_t compression = COMPRESSION_NONE) {
    const auto bytes = static_cast<std::uint32_t>(data.size());
    return RawTiffWith({{256, 4, w},
                        {257, 4, h},
                        {258, 3, bits},
                        {259, 3, compression},
                        {262, 3, 1},
                        {273, 4, kDataOffset},
                        {277, 3, 1},
                        {278, 4, h},
                        {279, 4, bytes},
                        {339, 3, format}},
                       data);
}

// One tile of `data` for a w x h image in tiles of tw x th.
inline std::vector<unsigned char> RawTiledTiff(std::uint32_t w, std::uint32_t h, std::uint32_t tw,
                                               std::uint32_t th, std::uint16_t bits,
                                               std::uint16_t format,
                                               const std::vector<unsigned char>& data,
                                               std::uint16_t compression = COMPRESSION_NONE) {
    const auto bytes = static_cast<std::uint32_t>(data.size());
    return RawTiffWith({{256, 4, w},
                        {257, 4, h},
                        {258, 3, bits},
                        {259, 3, compression},
                        {262, 3, 1},
                        {277, 3, 1},
                        {322, 4, tw},
                        {323, 4, th},
                        {324, 4, kDataOffset},
                        {325, 4, bytes},
                        {339, 3, format}},
                       data);
}

}  // namespace BadInput
