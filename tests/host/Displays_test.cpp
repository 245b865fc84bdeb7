// Image displays: their kinds by display type, the displays of an image, contrast limits
// surveyed from the data, displayed layers, and the three special displays' own settings.
#include <cmath>

#include "ViewsTestSupport.h"

namespace ViewsTest {
namespace {

using StandIn::ObjectKind;

class Displays : public ViewsTest {};

TEST_F(Displays, TheDisplayTypeDecidesTheKind) {
    ImageRef square = FloatImage("square", 4, 4);
    ImageRef row = FloatImage("row", 16, 1);
    struct Case {
        const ImageRef& image;
        std::int32_t type;
        std::int32_t reported;
        ObjectKind kind;
    };
    const Case cases[] = {
        {square, StandIn::kDisplayTypeDefault, StandIn::kDisplayTypeRaster,
         ObjectKind::RasterImageDisplay},
        {row, StandIn::kDisplayTypeDefault, StandIn::kDisplayTypeLinePlot,
         ObjectKind::LinePlotImageDisplay},
        {square, StandIn::kDisplayTypeSurfacePlot, StandIn::kDisplayTypeSurfacePlot,
         ObjectKind::SurfacePlotImageDisplay},
        {square, StandIn::kDisplayTypeTable, StandIn::kDisplayTypeTable, ObjectKind::ImageDisplay},
    };
    for (const Case& c : cases) {
        ImageDisplay display = c.image.CreateImageDisplay(c.type);
        EXPECT_EQ(display.GetDisplayType(), c.reported);
        EXPECT_EQ(host().kindOf(display.get()), c.kind);
        EXPECT_TRUE(display.IsValid());
        EXPECT_EQ(display.GetImage().get(), c.image.get());
    }
    EXPECT_THROW_MESSAGE(square.CreateImageDisplay(-1), HostError,
                         "ImageCreateImageDisplay: display type -1 is none of 0 (default), 1 "
                         "(raster), 2 (surface plot), 3 (line plot), 4 (table).");

    // Changing the type changes the kind; references of the display's new class count it.
    ImageDisplay display = square.CreateImageDisplay(StandIn::kDisplayTypeRaster);
    display.ChangeDisplayType(StandIn::kDisplayTypeLinePlot);
    EXPECT_EQ(host().kindOf(display.get()), ObjectKind::LinePlotImageDisplay);
    LinePlotImageDisplay plot(display.get());
    EXPECT_EQ(plot.CountSlices(), 4);
    EXPECT_THROW_MESSAGE(display.ChangeDisplayType(9), HostError,
                         "ImageDisplayChangeDisplayType: display type 9 is none of 0 (default), "
                         "1 (raster), 2 (surface plot), 3 (line plot), 4 (table).");
    EXPECT_EQ(display.GetDisplayType(), StandIn::kDisplayTypeLinePlot) << "unchanged";
}

TEST_F(Displays, AnImageKnowsItsLiveDisplaysInTheOrderTheyWereMade) {
    ImageRef image = FloatImage("image", 3, 3);
    EXPECT_EQ(image.CountImageDisplays(), 0);
    EXPECT_THROW_MESSAGE(image.GetImageDisplay(0), HostError,
                         "ImageGetImageDisplay: index 0 is out of range for 0 displays.");
    ImageDisplay first = image.CreateImageDisplay(0);
    Handle second = image.CreateImageDisplay(0).get();  // released at once: gone
    ImageDisplay third = image.CreateImageDisplay(StandIn::kDisplayTypeSurfacePlot);
    EXPECT_FALSE(host().isAlive(second));
    ASSERT_EQ(image.CountImageDisplays(), 2);
    EXPECT_EQ(image.GetImageDisplay(0).get(), first.get());
    EXPECT_EQ(image.GetImageDisplay(1).get(), third.get());

    // A display holds its image.
    Handle held = image.get();
    image = ImageRef();
    EXPECT_TRUE(host().isAlive(held));
    EXPECT_EQ(first.GetImage().get(), held);
    first = ImageDisplay();
    third = ImageDisplay();
    EXPECT_FALSE(host().isAlive(held));
}

TEST_F(Displays, ContrastLimitsFollowTheDataUntilTheyAreSet) {
    const float nan = std::nanf("");
    ImageRef image = FloatImage("values", 3, 2, {4.0f, -2.5f, nan, 7.0f, 0.0f, 1.0f});
    ImageDisplay display = image.CreateImageDisplay(0);
    float low = 0, high = 0;
    display.GetContrastLimits(&low, &high);
    EXPECT_EQ(low, -2.5f) << "not-a-number values are passed over";
    EXPECT_EQ(high, 7.0f);
    EXPECT_TRUE(display.GetDoAutoSurvey());
    const float changed = 9.0f;  // the data change; the survey follows
    std::memcpy(host().imageData(image.get()) + 3 * sizeof(float), &changed, sizeof changed);
    display.GetContrastLimits(&low, &high);
    EXPECT_EQ(high, 9.0f);

    display.SetContrastLimits(1.0f, 2.0f);
    EXPECT_FALSE(display.GetDoAutoSurvey());
    display.GetContrastLimits(&low, &high);
    EXPECT_EQ(low, 1.0f);
    EXPECT_EQ(high, 2.0f);
    display.SetDoAutoSurvey(true);
    display.GetContrastLimits(&low, &high);
    EXPECT_EQ(high, 9.0f);

    // A line plot surveys each limit on its own.
    ImageRef levels = QZ::CreateInteger2DImage("levels", 2, true, 4, 1);
    const std::int16_t values[] = {-300, 12, 5, 40};
    std::memcpy(host().imageData(levels.get()), values, sizeof values);
    LinePlotImageDisplay plot(levels.CreateImageDisplay(0).get());
    plot.SetContrastLimits(-1000.0f, 1000.0f);
    plot.SetDoAutoSurvey(false, true);
    bool surveyLow = true, surveyHigh = false;
    plot.GetDoAutoSurvey(&surveyLow, &surveyHigh);
    EXPECT_FALSE(surveyLow);
    EXPECT_TRUE(surveyHigh);
    plot.GetContrastLimits(&low, &high);
    EXPECT_EQ(low, -1000.0f);
    EXPECT_EQ(high, 40.0f);
}

TEST_F(Displays, DisplayedLayersLieWithinTheImage) {
    ImageRef flat = FloatImage("flat", 2, 2);
    ImageDisplay display = flat.CreateImageDisplay(0);
    display.SetDisplayedLayers(0, 0);
    EXPECT_THROW_MESSAGE(display.SetDisplayedLayers(0, 1), HostError,
                         "ImageDisplaySetDisplayedLayers: layers 0 to 1 are not within 0 to 0.");
    EXPECT_THROW_MESSAGE(display.SetDisplayedLayers(1, 0), HostError,
                         "ImageDisplaySetDisplayedLayers: layers 1 to 0 are not within 0 to 0.");
    std::int32_t first = -1, last = -1;
    display.GetDisplayedLayers(&first, &last);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 0);
    float t, l, b, r;
    display.GetImageRect(&t, &l, &b, &r);
    EXPECT_EQ(std::vector<float>({t, l, b, r}), std::vector<float>({0, 0, 2, 2}));
    EXPECT_THROW_MESSAGE(display.SetImageRect(0, 0, NAN, 1), HostError,
                         "ImageDisplaySetImageRect: parameter 4 is not a finite number (nan).");
}

TEST_F(Displays, LinePlotsKeepSettingsPerSlice) {
    ImageRef rows = FloatImage("rows", 8, 3);
    LinePlotImageDisplay plot(rows.CreateImageDisplay(StandIn::kDisplayTypeLinePlot).get());
    EXPECT_EQ(plot.CountSlices(), 3);
    plot.SetSlice(2);
    EXPECT_EQ(plot.GetSlice(), 2);
    EXPECT_THROW_MESSAGE(plot.SetSlice(3), HostError,
                         "LinePlotImageDisplaySetSlice: index 3 is out of range for 3 slices.");
    plot.SetSliceDrawingStyle(1, 2);
    plot.SetSliceComponentColor(1, 0, 0.25, 0.5, 1.0);
    EXPECT_EQ(plot.GetSliceDrawingStyle(1), 2);
    EXPECT_EQ(plot.GetSliceDrawingStyle(0), 1) << "the default for the other slices";
    double r = -1, g = -1, b = -1;
    plot.GetSliceComponentColor(1, 0, &r, &g, &b);
    EXPECT_EQ(std::vector<double>({r, g, b}), std::vector<double>({0.25, 0.5, 1.0}));
    plot.GetSliceComponentColor(0, 0, &r, &g, &b);
    EXPECT_EQ(std::vector<double>({r, g, b}), std::vector<double>({0, 0, 0}));
    EXPECT_THROW_MESSAGE(plot.GetSliceComponentColor(1, 2, &r, &g, &b), HostError,
                         "LinePlotImageDisplayGetSliceComponentColor: index 2 is out of range for "
                         "2 colour components.");
    float first = -1, last = -1;
    plot.GetDisplayedChannels(&first, &last);
    EXPECT_EQ(last, 8.0f) << "the whole row";
    EXPECT_THROW_MESSAGE(plot.SetDisplayedChannels(5, 4), HostError,
                         "LinePlotImageDisplaySetDisplayedChannels: the last channel lies before "
                         "the first.");
    plot.SetGridOn(false);
    EXPECT_FALSE(plot.IsGridOn());
    EXPECT_TRUE(plot.IsFrameOn());
}

TEST_F(Displays, SpecialDisplayFunctionsTakeTheirOwnKindOnly) {
    ImageRef image = FloatImage("image", 4, 4);
    ImageDisplay rasterDisplay = image.CreateImageDisplay(StandIn::kDisplayTypeRaster);
    RasterImageDisplay raster(rasterDisplay.get());
    raster.SetThresholdLimits(0.25f, 0.75f);
    raster.SetThresholdOn(true);
    float low = 0, high = 0;
    raster.GetThresholdLimits(&low, &high);
    EXPECT_EQ(low, 0.25f);
    EXPECT_TRUE(raster.IsThresholdOn());
    SurfacePlotImageDisplay surface(
        image.CreateImageDisplay(StandIn::kDisplayTypeSurfacePlot).get());
    surface.SetCubeAxes(1, 2, 3, 4, 5);
    float axes[5];
    surface.GetCubeAxes(&axes[0], &axes[1], &axes[2], &axes[3], &axes[4]);
    EXPECT_EQ(std::vector<float>(axes, axes + 5), std::vector<float>({1, 2, 3, 4, 5}));

    Posing<LinePlotImageDisplay> notAPlot(raster.get());
    EXPECT_THROW_MESSAGE(notAPlot->CountSlices(), HostError,
                         "LinePlotImageDisplayCountSlices: the line-plot display " +
                             Hex(raster.get()) + " is not valid: it is a raster display.");
    Posing<RasterImageDisplay> notARaster(surface.get());
    EXPECT_THROW_MESSAGE(notARaster->IsThresholdOn(), HostError,
                         "RasterImageDisplayIsThresholdOn: the raster display " +
                             Hex(surface.get()) + " is not valid: it is a surface-plot display.");
    Posing<ImageDisplay> anImage(image.get());
    EXPECT_FALSE(anImage->IsValid());
    EXPECT_THROW_MESSAGE(anImage->CountROIs(), HostError,
                         "ImageDisplayCountROIs: the image display " + Hex(image.get()) +
                             " is not valid: it is an image.");
    ImageDisplay empty;
    EXPECT_THROW_MESSAGE(empty.GetImage(), HostError,
                         "ImageDisplayGetImage: the image display 0x0 is not valid: an empty "
                         "reference (handle 0).");
    Handle bare = host().makeObject(ObjectKind::ImageDisplay);
    EXPECT_THROW_MESSAGE(ImageDisplay(bare).GetImage(), HostError,
                         "ImageDisplayGetImage: the display " + Hex(bare) + " shows no image.");
    EXPECT_EQ(ImageDisplay(bare).GetDisplayType(), StandIn::kDisplayTypeTable);
    host().drop(bare);
}

}  // namespace
}  // namespace ViewsTest
