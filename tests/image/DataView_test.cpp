// Data views, orientation codes and the integer functions: pure computations, no host involved.
#include "image/DataView.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ImageTestSupport.h"

namespace {

using ImageTest::Message;
using ImageTest::RaisedBy;
using Vorna::DataView;
using Vorna::kMaxDataViewDimensions;

constexpr std::uint32_t kWidth = 4;
constexpr std::uint32_t kHeight = 3;

// A 4 × 3 plane of bytes whose value is 16 × y + x, and views of it.
class DataViewTest : public ::testing::Test {
  protected:
    DataViewTest() {
        for (std::uint32_t y = 0; y < kHeight; ++y)
            for (std::uint32_t x = 0; x < kWidth; ++x) fPlane.push_back(std::uint8_t(16 * y + x));
    }

    DataView Plane() {
        DataView view;
        view.fData = fPlane.data();
        view.fDimensionCount = 2;
        view.fDataType = 6;
        view.fDimensions[0] = {kWidth, 1};
        view.fDimensions[1] = {kHeight, static_cast<std::int32_t>(kWidth)};
        return view;
    }

    static std::uint8_t At(const DataView& view, std::uint32_t x, std::uint32_t y) {
        return *(view.Data<std::uint8_t>() + static_cast<std::ptrdiff_t>(x) * view.Stride(0) +
                 static_cast<std::ptrdiff_t>(y) * view.Stride(1));
    }

    // Every element of a two-dimensional view, row by row.
    static std::vector<int> Elements(const DataView& view) {
        std::vector<int> out;
        for (std::uint32_t y = 0; y < view.Size(1); ++y)
            for (std::uint32_t x = 0; x < view.Size(0); ++x) out.push_back(At(view, x, y));
        return out;
    }

    // The whole view in one comparable line: data offset, type, count, then every dimension as
    // its accessors read it.
    std::string Describe(const DataView& view) const {
        std::string out = std::to_string(view.Data<std::uint8_t>() - fPlane.data()) + " type " +
                          std::to_string(view.DataType()) + " count " +
                          std::to_string(view.DimensionCount()) + ":";
        for (std::uint32_t i = 0; i < kMaxDataViewDimensions; ++i)
            out += " " + std::to_string(view.Size(i)) + "/" + std::to_string(view.Stride(i));
        return out;
    }

    std::vector<std::uint8_t> fPlane;
};

TEST_F(DataViewTest, DimensionsBeyondTheCountReadAsUnitWhateverIsStored) {
    DataView view = Plane();
    view.fDimensions[2] = {7, 99};  // stale pair beyond the count
    EXPECT_EQ("0 type 6 count 2: 4/1 3/4 1/0 1/0 1/0", Describe(view));
    EXPECT_EQ(12, view.Extent(1));
    EXPECT_EQ(0, view.Extent(2));
    EXPECT_EQ(1u, view.Size(0xFFFFFFFFu));  // beyond the capacity: no stray read
}

TEST_F(DataViewTest, FlipTwiceRestoresAndFlipBeyondTheCountChangesNothing) {
    const DataView original = Plane();
    for (std::uint32_t dimension : {0u, 1u, 2u, kMaxDataViewDimensions + 3}) {
        DataView view = original;
        view.FlipDimension(dimension);
        if (dimension < 2) {
            EXPECT_NE(Describe(original), Describe(view));
        }
        view.FlipDimension(dimension);
        EXPECT_EQ(Describe(original), Describe(view)) << "dimension " << dimension;
    }
    DataView view = original;
    view.fDimensions[1].fStride = std::numeric_limits<std::int32_t>::min();
    view.FlipDimension(1);  // the most negative stride negates without overflow
    EXPECT_EQ(std::numeric_limits<std::int32_t>::min(), view.Stride(1));
}

TEST_F(DataViewTest, EachOrientationCodeMapsTheElementsAsDocumented) {
    // Orient: reverse 0 (bit 0), then reverse 1 (bit 1), then exchange (bit 2).
    const std::vector<std::vector<int>> expected = {
        {0, 1, 2, 3, 16, 17, 18, 19, 32, 33, 34, 35},  // 0
        {3, 2, 1, 0, 19, 18, 17, 16, 35, 34, 33, 32},  // 1
        {32, 33, 34, 35, 16, 17, 18, 19, 0, 1, 2, 3},  // 2
        {35, 34, 33, 32, 19, 18, 17, 16, 3, 2, 1, 0},  // 3
        {0, 16, 32, 1, 17, 33, 2, 18, 34, 3, 19, 35},  // 4
        {3, 19, 35, 2, 18, 34, 1, 17, 33, 0, 16, 32},  // 5
        {32, 16, 0, 33, 17, 1, 34, 18, 2, 35, 19, 3},  // 6
        {35, 19, 3, 34, 18, 2, 33, 17, 1, 32, 16, 0},  // 7
    };
    const DataView original = Plane();
    for (std::uint32_t code = 0; code < 8; ++code) {
        DataView view = original;
        view.Orient(code);
        EXPECT_EQ(expected[code], Elements(view)) << "code " << code;
        DataView inverted = view;
        view.OrientInverse(code);
        EXPECT_EQ(Describe(original), Describe(view)) << "code " << code;
        inverted.Orient(Vorna::InvertOrientation(code));
        EXPECT_EQ(Describe(original), Describe(inverted)) << "code " << code;
    }
}

TEST(OrientationCodes, InvertAndCompose) {
    EXPECT_EQ(6u, Vorna::InvertOrientation(5));
    EXPECT_EQ(5u, Vorna::InvertOrientation(6));
    EXPECT_EQ(3u, Vorna::InvertOrientation(3));
    EXPECT_EQ(7u, Vorna::InvertOrientation(7));
    EXPECT_EQ(4u, Vorna::InvertOrientation(4 | 8));  // bits above 2 are dropped with bit 2
    EXPECT_EQ(5u, Vorna::ComposeOrientation(4, 1));
    EXPECT_EQ(2u, Vorna::ComposeOrientation(4, 5));
    EXPECT_EQ(4u, Vorna::ComposeOrientation(1, 5));
    EXPECT_EQ(0u, Vorna::ComposeOrientation(6, 5));
}

TEST_F(DataViewTest, SwapWithADimensionBeyondTheCountKeepsTheElements) {
    DataView line = Plane();
    line.fDimensionCount = 1;
    line.fDimensions[1] = {55, 66};  // stale pair beyond the count
    line.SwapDimensions(1, 0);       // the line becomes a column
    EXPECT_EQ("0 type 6 count 2: 1/0 4/1 1/0 1/0 1/0", Describe(line));

    DataView far = Plane();
    far.SwapDimensions(0, 3);
    EXPECT_EQ("0 type 6 count 4: 1/0 3/4 1/0 4/1 1/0", Describe(far));

    const DataView original = Plane();
    DataView view = original;
    view.SwapDimensions(3, 4);  // two unit dimensions
    EXPECT_EQ(Describe(original), Describe(view));
    EXPECT_EQ(Message("Too many dimensions."),
              RaisedBy([&] { view.SwapDimensions(0, kMaxDataViewDimensions); }));
    EXPECT_EQ(Describe(original), Describe(view));
}

TEST_F(DataViewTest, Reshape) {
    DataView source = Plane();
    source.fDimensionCount = 4;
    source.fDimensions[2] = {1, 12};
    source.fDimensions[3] = {1, 12};
    DataView view;
    view.ReshapeView(2, source);  // drops unit dimensions
    EXPECT_EQ("0 type 6 count 2: 4/1 3/4 1/0 1/0 1/0", Describe(view));
    view.fDimensions[3] = {9, 9};
    view.ReshapeView(5, view);  // adds unit dimensions, in place
    EXPECT_EQ("0 type 6 count 5: 4/1 3/4 1/0 1/0 1/0", Describe(view));
    EXPECT_EQ(1u, view.fDimensions[3].fSize);

    const DataView original = view;
    EXPECT_EQ(Message("The source data has too many dimensions."),
              RaisedBy([&] { view.ReshapeView(1, Plane()); }));
    EXPECT_EQ(Message("Too many dimensions."), RaisedBy([&] { view.ReshapeView(6, Plane()); }));
    EXPECT_EQ(Describe(original), Describe(view));
}

TEST_F(DataViewTest, ExtendCopiesAndNeverShrinks) {
    const DataView original = Plane();
    DataView target;
    original.ExtendView(4, target);
    EXPECT_EQ("0 type 6 count 4: 4/1 3/4 1/0 1/0 1/0", Describe(target));
    EXPECT_EQ(0, target.fDimensions[3].fStride);

    DataView self = original;
    self.fDimensions[2] = {8, 8};  // stale pair that extension must reset
    self.ExtendView(3, self);
    self.ExtendView(1, self);
    EXPECT_EQ("0 type 6 count 3: 4/1 3/4 1/0 1/0 1/0", Describe(self));

    EXPECT_EQ(Message("Too many dimensions."), RaisedBy([&] { original.ExtendView(6, self); }));
    EXPECT_EQ("0 type 6 count 3: 4/1 3/4 1/0 1/0 1/0", Describe(self));
}

TEST_F(DataViewTest, PlaneViewSelectsOnePlane) {
    DataView volume = Plane();  // read as 4 × 1 × 3: rows become planes along dimension 2
    volume.fDimensionCount = 3;
    volume.fDimensions[2] = volume.fDimensions[1];
    volume.fDimensions[1] = {1, 0};
    DataView row;
    volume.PlaneView(2, 2, row);
    EXPECT_EQ((std::vector<int>{32, 33, 34, 35}), Elements(row));
    EXPECT_EQ(2u, row.DimensionCount());

    DataView inPlace = Plane();
    inPlace.PlaneView(1, 1, inPlace);
    EXPECT_EQ("4 type 6 count 1: 4/1 1/0 1/0 1/0 1/0", Describe(inPlace));

    EXPECT_EQ(Message("The source data has too many dimensions."),
              RaisedBy([&] { Plane().PlaneView(0, 0, inPlace); }));
    EXPECT_EQ(Message("Too many dimensions."),
              RaisedBy([&] { Plane().PlaneView(kMaxDataViewDimensions, 0, inPlace); }));
    EXPECT_EQ(Message("Too many dimensions."),
              RaisedBy([&] { Plane().PlaneView(0xFFFFFFFFu, 0, inPlace); }));
    EXPECT_EQ("4 type 6 count 1: 4/1 1/0 1/0 1/0 1/0", Describe(inPlace));
}

// ---- Integer functions -------------------------------------------------------------------------

std::uint32_t NaiveFloorLog2(std::uint32_t n) {
    std::uint32_t log = 0;
    while (n > 1) {
        n >>= 1;
        ++log;
    }
    return log;
}

TEST(IntegerFunctions, Edges) {
    EXPECT_EQ(0u, Vorna::FloorLog2(0));
    EXPECT_EQ(0u, Vorna::FloorLog2(1));
    EXPECT_EQ(31u, Vorna::FloorLog2(0x80000000u));
    EXPECT_EQ(31u, Vorna::FloorLog2(0xFFFFFFFFu));
    EXPECT_EQ(0u, Vorna::CeilLog2(0));
    EXPECT_EQ(0u, Vorna::CeilLog2(1));
    EXPECT_EQ(3u, Vorna::CeilLog2(5));
    EXPECT_EQ(32u, Vorna::CeilLog2(0xFFFFFFFFu));
    EXPECT_EQ(0u, Vorna::FloorPowerOfTwo(0));
    EXPECT_EQ(0x80000000u, Vorna::FloorPowerOfTwo(0xFFFFFFFFu));
    EXPECT_EQ(0u, Vorna::CeilPowerOfTwo(0));
    EXPECT_EQ(1u, Vorna::CeilPowerOfTwo(1));
    EXPECT_EQ(2u, Vorna::CeilPowerOfTwo(2));
    EXPECT_EQ(8u, Vorna::CeilPowerOfTwo(5));
    EXPECT_EQ(0x80000000u, Vorna::CeilPowerOfTwo(0x80000000u));
    EXPECT_EQ(0u, Vorna::CeilPowerOfTwo(0x80000001u));  // no 32-bit answer
}

TEST(IntegerFunctions, AroundEveryPowerOfTwo) {
    for (std::uint32_t bit = 0; bit < 32; ++bit) {
        const std::uint32_t power = std::uint32_t{1} << bit;
        for (std::uint32_t n : {power - 1, power, power + 1}) {
            if (n == 0) continue;
            const std::uint32_t floorLog = NaiveFloorLog2(n);
            const bool exact = (n & (n - 1)) == 0;
            EXPECT_EQ(floorLog, Vorna::FloorLog2(n)) << n;
            EXPECT_EQ(std::uint32_t{1} << floorLog, Vorna::FloorPowerOfTwo(n)) << n;
            EXPECT_EQ(exact ? floorLog : floorLog + 1, Vorna::CeilLog2(n)) << n;
            const std::uint64_t ceiling = std::uint64_t{1} << (exact ? floorLog : floorLog + 1);
            EXPECT_EQ(static_cast<std::uint32_t>(ceiling), Vorna::CeilPowerOfTwo(n)) << n;
        }
    }
}

}  // namespace
