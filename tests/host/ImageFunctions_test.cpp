// Images through the framework's stubs and member operations: every creation function and
// overload, the data-type queries over every element kind, names and texts, calibration, IDs,
// seeds and copies, and the failures of bad input.
#include <cstring>
#include <tuple>
#include <utility>

#include "ModelTestSupport.h"

namespace ModelTest {
namespace {

using StandIn::ElementType;

class Images : public ModelTest {
  protected:
    StandIn::ImageInfo Info(const ImageRef& image) { return host().image(image.get()); }
};

TEST_F(Images, EveryCreationFunctionMakesItsKindAndSize) {
    struct Made {
        ImageRef image;
        ElementType type;
        std::vector<std::uint32_t> sizes;
    };
    Made made[] = {
        {QZ::RealImage("r", 8, 3, 2), ElementType::Float64, {3, 2}},
        {QZ::RealImage("r", 4, 5), ElementType::Float32, {5}},
        {QZ::IntegerImage("i", 2, false, 4), ElementType::UInt16, {4}},
        {QZ::IntegerImage("i", 1, true, 2, 3, 4), ElementType::Int8, {2, 3, 4}},
        {QZ::ComplexImage("c", 16, 2, 2, 2), ElementType::Complex128, {2, 2, 2}},
        {QZ::ComplexImage("c", 8, 7), ElementType::Complex64, {7}},
        {QZ::RGBImage("rgb", 4, 5, 1), ElementType::RGB, {5, 1}},
        {QZ::BinaryImage("b", 3, 3, 3), ElementType::Binary, {3, 3, 3}},
        {QZ::NewImage("n", 5, 1, 2, 3, 4), ElementType::Int32, {1, 2, 3, 4}},
        {QZ::NewImage("n", 12, 6), ElementType::RGB, {6}},
    };
    for (const Made& m : made) {
        StandIn::ImageInfo info = Info(m.image);
        SCOPED_TRACE(StandIn::elementTypeName(m.type));
        EXPECT_EQ(info.type, m.type);
        EXPECT_EQ(info.sizes, m.sizes);
        EXPECT_EQ(info.bytes, std::vector<unsigned char>(info.bytes.size(), 0));
        EXPECT_EQ(m.image.GetNumDimensions(), m.sizes.size());
        EXPECT_EQ(Count(m.image.get()), 1) << "the result carries the caller's count";
    }
    EXPECT_EQ(Text(made[0].image.GetName()), "r");
}

TEST_F(Images, BadSizesAndKindsFailWithTheirReason) {
    EXPECT_THROW_MESSAGE(QZ::RealImage("r", 4, -1, 4), Failure,
                         "RealImage: invalid image size -1 x 4: every dimension needs at least 1 "
                         "pixel.");
    EXPECT_THROW_MESSAGE(QZ::BinaryImage("b", 0), Failure,
                         "BinaryImage: invalid image size 0: every dimension needs at least 1 "
                         "pixel.");
    EXPECT_THROW_MESSAGE(QZ::RealImage("r", 2, 4, 4), Failure,
                         "RealImage: real images have 4 or 8 bytes per element, not 2.");
    EXPECT_THROW_MESSAGE(QZ::IntegerImage("i", 8, true, 4), Failure,
                         "IntegerImage: integer images have 1, 2 or 4 bytes per element, not 8.");
    EXPECT_THROW_MESSAGE(QZ::ComplexImage("c", 4, 4), Failure,
                         "ComplexImage: complex images have 8 or 16 bytes per element, not 4.");
    EXPECT_THROW_MESSAGE(QZ::RGBImage("c", 3, 4), Failure,
                         "RGBImage: RGB images have 4 bytes per element, not 3.");
    EXPECT_THROW_MESSAGE(QZ::NewImage("n", 13, 4), Failure,
                         "NewImage: unknown image data type 13 (the types are 1 to 12).");
    EXPECT_THROW_MESSAGE(QZ::NewImage("n", 1, 65536, 65536), Failure,
                         "NewImage: cannot make the image: image too large for the stand-in host.");
}

TEST_F(Images, DataTypeQueriesAgreeForEveryElementKind) {
    // real, integer, signed, unsigned, binary, complex, RGB, float; bytes
    struct Row {
        ElementType type;
        bool real, integer, isSigned, isUnsigned, binary, cplx, rgb, flt;
        std::uint32_t bytes;
    };
    const Row rows[] = {
        {ElementType::Float32, 1, 0, 0, 0, 0, 0, 0, 1, 4},
        {ElementType::Float64, 1, 0, 0, 0, 0, 0, 0, 1, 8},
        {ElementType::Int8, 1, 1, 1, 0, 0, 0, 0, 0, 1},
        {ElementType::Int16, 1, 1, 1, 0, 0, 0, 0, 0, 2},
        {ElementType::Int32, 1, 1, 1, 0, 0, 0, 0, 0, 4},
        {ElementType::UInt8, 1, 1, 0, 1, 0, 0, 0, 0, 1},
        {ElementType::UInt16, 1, 1, 0, 1, 0, 0, 0, 0, 2},
        {ElementType::UInt32, 1, 1, 0, 1, 0, 0, 0, 0, 4},
        {ElementType::Binary, 1, 0, 0, 0, 1, 0, 0, 0, 1},
        {ElementType::Complex64, 0, 0, 0, 0, 0, 1, 0, 0, 8},
        {ElementType::Complex128, 0, 0, 0, 0, 0, 1, 0, 0, 16},
        {ElementType::RGB, 0, 0, 0, 0, 0, 0, 1, 0, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(StandIn::elementTypeName(row.type));
        ImageRef image = NewImage({row.type, {2, 1, 1, 1, 2}, "img"});
        EXPECT_EQ(image.IsDataTypeReal(), row.real);
        EXPECT_EQ(image.IsDataTypeInteger(), row.integer);
        EXPECT_EQ(image.IsDataTypeSignedInteger(), row.isSigned);
        EXPECT_EQ(image.IsDataTypeUnsignedInteger(), row.isUnsigned);
        EXPECT_EQ(image.IsDataTypeBinary(), row.binary);
        EXPECT_EQ(image.IsDataTypeComplex(), row.cplx);
        EXPECT_EQ(image.IsDataTypeRGB(), row.rgb);
        EXPECT_EQ(image.IsDataTypeFloat(), row.flt);
        EXPECT_FALSE(image.IsDataTypePackedComplex());
        EXPECT_EQ(image.GetDataElementByteSize(), row.bytes);
        EXPECT_EQ(image.GetDataElementBitSize(), 8 * row.bytes);
        EXPECT_EQ(QZ::GetDepth(image), static_cast<std::int32_t>(row.bytes));
        EXPECT_EQ(image.GetDataType(), static_cast<std::uint32_t>(row.type));
        EXPECT_EQ(image.GetNumDimensions(), 5u);
    }
    StandIn::ImageSpec packed{ElementType::Complex64, {4, 4}, "packed"};
    packed.packedComplex = true;
    EXPECT_TRUE(NewImage(packed).IsDataTypePackedComplex());
}

TEST_F(Images, NamesLabelsAndDescriptionsInEveryForm) {
    StandIn::ImageSpec spec{ElementType::UInt8, {2}, "first"};
    spec.label = "A";
    ImageRef image = NewImage(spec);
    image.SetName(qz_string("r\xE9sultat"));
    EXPECT_EQ(Info(image).name, "r\xE9sultat");
    EXPECT_EQ(Text(image.GetName()), "r\xE9sultat");
    EXPECT_EQ(Text(QZ::GetName(image)), "r\xE9sultat");
    EXPECT_EQ(Text(image.GetLabel()), "A");
    EXPECT_EQ(Text(QZ::GetLabel(image)), "A");
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    QZ::GetName(image, buffer);
    EXPECT_EQ(std::string(buffer, 10), std::string("r\xE9sultat\0#", 10))
        << "the text and its zero, nothing more";
    QZ::GetLabel(image, buffer);
    EXPECT_STREQ(buffer, "A");
    EXPECT_THROW_MESSAGE(QZ::GetName(image, nullptr), Failure,
                         "GetName: no buffer was given (a null pointer).");
    EXPECT_EQ(Text(image.GetDescriptionText()), "");
    image.SetDescriptionText(qz_string("two pixels"));
    EXPECT_EQ(Text(image.GetDescriptionText()), "two pixels");
}

TEST_F(Images, CalibrationsOfEachDimensionAndOfTheIntensity) {
    ImageRef image = NewImage({ElementType::Float32, {4, 3}, "img"});
    image.SetDimensionCalibration(1, 2.0f, 0.5f, qz_string("nm"), 0);
    image.SetDimensionOrigin(0, -1.0f);
    image.SetDimensionScale(0, 0.25f);
    image.SetDimensionUnitInfo(0, qz_string("\xB5m"), 2);
    image.SetIntensityOrigin(10.0f);
    image.SetIntensityScale(3.0f);
    image.SetIntensityUnitString(qz_string("counts"));
    StandIn::ImageInfo info = Info(image);
    EXPECT_EQ(info.dimensionCalibrations[0], (StandIn::Calibration{-1.0f, 0.25f, "\xB5m", true}));
    EXPECT_EQ(info.dimensionCalibrations[1], (StandIn::Calibration{2.0f, 0.5f, "nm", false}));
    EXPECT_EQ(info.intensityCalibration, (StandIn::Calibration{10.0f, 3.0f, "counts", true}));

    EXPECT_EQ(image.GetDimensionOrigin(1), 2.0f);
    EXPECT_EQ(image.GetDimensionScale(1), 0.5f);
    EXPECT_EQ(Text(image.GetDimensionUnitString(1)), "nm");
    qz_string unit;
    std::int32_t power = 0;
    image.GetDimensionUnitInfo(0, &unit, &power);
    EXPECT_EQ(Text(unit), "\xB5m");
    EXPECT_EQ(power, 2);
    image.GetIntensityUnitInfo(&unit, &power);
    EXPECT_EQ(Text(unit), "counts");
    EXPECT_EQ(power, 1);
    EXPECT_EQ(image.GetIntensityOrigin(), 10.0f);
    EXPECT_EQ(image.GetIntensityScale(), 3.0f);

    float origin = 0, scale = 0;
    image.GetDimensionCalibration(1, &origin, &scale, &unit, 0);
    EXPECT_EQ(std::make_pair(origin, scale), std::make_pair(2.0f, 0.5f));
    image.GetDimensionCalibration(1, &origin, &scale, &unit, 1);
    EXPECT_EQ(std::make_pair(origin, scale), std::make_pair(0.0f, 1.0f))
        << "as views show it: not displayed";
    EXPECT_EQ(Text(unit), "");
    EXPECT_FALSE(image.IsDimensionCalibrationDisplayed(1));
    image.SetDimensionCalibrationDisplayed(1, true);
    EXPECT_TRUE(image.IsDimensionCalibrationDisplayed(1));
    image.SetIntensityCalibrationDisplayed(false);
    EXPECT_FALSE(image.IsIntensityCalibrationDisplayed());

    ImageRef cube = NewImage({ElementType::Float32, {2, 2, 2}, "cube"});
    cube.CopyCalibrationFrom(image);
    info = Info(cube);
    EXPECT_EQ(info.dimensionCalibrations[0].unit, "\xB5m");
    EXPECT_EQ(info.dimensionCalibrations[2], StandIn::Calibration{}) << "no such dimension there";
    EXPECT_EQ(info.intensityCalibration.unit, "counts");
    cube.GetDimensionUnitInfo(0, &unit, &power);
    EXPECT_EQ(power, 2);

    EXPECT_THROW_MESSAGE(image.GetDimensionOrigin(2), Failure,
                         "ImageGetDimensionOrigin: dimension 2 is out of range for an image of 2 "
                         "dimensions.");
    EXPECT_THROW_MESSAGE(image.SetDimensionScale(-1, 1.0f), Failure,
                         "ImageSetDimensionScale: dimension -1 is out of range for an image of 2 "
                         "dimensions.");
    EXPECT_THROW_MESSAGE(image.IsDimensionCalibrationDisplayed(4000000000u), Failure,
                         "ImageIsDimensionCalibrationDisplayed: dimension 4000000000 is out of "
                         "range for an image of 2 dimensions.");
    EXPECT_THROW_MESSAGE(image.SetIntensityUnitString(qz_string()), Failure,
                         "ImageSetIntensityUnitString: no string was given (handle 0).");
}

TEST_F(Images, ClonesAreWholeCopiesAndIDsAndSeedsIdentifyImages) {
    StandIn::ImageSpec spec{ElementType::Int16, {3}, "src"};
    spec.label = "L";
    spec.intensityCalibration = {1.0f, 2.0f, "e", false};
    ImageRef src = NewImage(spec);
    std::vector<std::int16_t> values{-1, 2, -3};
    std::memcpy(host().imageData(src.get()), values.data(), 6);
    src.SetDescriptionText(qz_string("d"));
    ImageRef copy = src.Clone();
    EXPECT_NE(copy.get(), src.get());
    StandIn::ImageInfo a = Info(src), b = Info(copy);
    EXPECT_EQ(b.bytes, a.bytes);
    EXPECT_EQ(std::make_tuple(b.type, b.sizes, b.name, b.label, b.intensityCalibration),
              std::make_tuple(a.type, a.sizes, a.name, a.label, a.intensityCalibration));
    EXPECT_EQ(Text(copy.GetDescriptionText()), "d");
    host().imageData(copy.get())[0] = 9;
    EXPECT_EQ(host().imagePixels<std::int16_t>(src.get()), values);

    std::uint32_t id = src.GetID();
    EXPECT_NE(id, 0u);
    EXPECT_EQ(src.GetID(), id);
    EXPECT_NE(copy.GetID(), id);
    std::uint32_t seed = src.GetDataSeed();
    EXPECT_EQ(src.GetDataSeed(), seed);
    src.DataChanged();
    EXPECT_NE(src.GetDataSeed(), seed);
    QZ::SetEstimatedMinMax(src, -3.0f, 2.0f);
}

TEST_F(Images, BadImageHandlesFailAndQueriesOfValidityDoNot) {
    ImageRef none;
    EXPECT_THROW_MESSAGE(none.GetName(), Failure, "ImageGetName: no image was given (handle 0).");
    qz_string text("x");
    ImageRef wrong(text.get(), kAdopt);  // borrowed: released below, never counted
    EXPECT_THROW_MESSAGE(
        wrong.IsDataTypeReal(), Failure,
        "ImageIsDataTypeReal: " + Hex(text.get()) + " is not a valid image (its kind is String).");
    EXPECT_FALSE(wrong.IsValid());
    wrong.release();
    ImageRef gone = NewImage({ElementType::UInt8, {1}, "gone"});
    Handle dead = gone.get();
    gone = ImageRef();
    ImageRef stale(dead, kAdopt);
    EXPECT_THROW_MESSAGE(stale.Clone(), Failure,
                         "ImageClone: " + Hex(dead) + " is not a valid image.");
    EXPECT_THROW_MESSAGE(stale.GetTagGroup(), Failure,
                         "ImageGetTagGroup: " + Hex(dead) + " is not a valid image.");
    stale.release();
}

TEST_F(Images, EveryImageRowOfTheModelIsAnsweredButTheLeftOutOnes) {
    std::vector<std::string> defined, missing;
    auto mine = [](const std::string& name) {
        for (const char* other : {"ImageDisplay", "ImageDocument", "ImageWindow", "ImageData_"})
            if (StartsWith(name, other)) return false;
        for (const char* prefix : {"Image", "RealImage", "IntegerImage", "ComplexImage", "RGBImage",
                                   "BinaryImage", "NewImage", "Create"})
            if (StartsWith(name, prefix)) return true;
        return name == "GetDepth" || name == "GetSize" || name == "IsRGBDataType" ||
               name == "SetEstimatedMinMax";
    };
    SplitCatalogue(host(), mine, defined, missing);
    EXPECT_EQ(missing, (std::vector<std::string>{
                           "void ImageCalculateHistogram( ImageRef, ImageRef, long, float, float )",
                           "void ImageCalculateMinMax( ImageRef, long, long, float *, float * )",
                           "long ImageGetDimensionSizes( ImageRef, long, long *, long )",
                           "ScriptObject ImageGetUniqueID( ImageRef )",
                       }));
    // The links to displays and documents are the views' (Displays.cpp, Documents.cpp).
    EXPECT_EQ(defined.size(), 82u);
}

}  // namespace
}  // namespace ModelTest
