// Regions of interest: a plug-in reading the region on an image's display, shapes and what each
// answers, vertex edits, the point test, clones, and the ROIs and selections of displays.
#include <cmath>

#include "ViewsTestSupport.h"

namespace ViewsTest {
namespace {

using StandIn::RoiPoint;
using StandIn::RoiShape;
using StandIn::RoiSpec;

class Rois : public ViewsTest {
  protected:
    // An ROI the host made, held by the plug-in only.
    ROI Made(const RoiSpec& spec) {
        Handle h = host().makeRoi(spec);
        ROI roi(h);
        host().drop(h);
        return roi;
    }
    static RoiSpec Spec(RoiShape shape, std::vector<RoiPoint> points, bool closed = false) {
        RoiSpec spec;
        spec.shape = shape;
        spec.points = std::move(points);
        spec.closed = closed;
        return spec;
    }
    static std::vector<float> Rectangle(const ROI& roi) {
        float t = -1, l = -1, b = -1, r = -1;
        roi.GetRectangle(&t, &l, &b, &r);
        return {t, l, b, r};
    }
    static std::vector<float> Vertices(const ROI& roi) {
        std::vector<float> out;
        for (std::int32_t i = 0; i < roi.CountVertices(); ++i) {
            float x, y;
            roi.GetVertex(i, &x, &y);
            out.insert(out.end(), {x, y});
        }
        return out;
    }
};

TEST_F(Rois, APlugInReadsTheRegionOnTheImagesDisplay) {
    ImageRef image = FloatImage("cells", 8, 6);
    RoiSpec spec = Spec(RoiShape::Rectangle, {{2, 1}, {6, 4}});
    spec.label = "cell";
    spec.name = "first";
    spec.deletable = false;
    spec.green = 1.0f;
    Handle display = host().showImage(image.get());
    Handle made = host().makeRoi(spec);
    host().addRoi(display, made);
    host().drop(made);

    ImageDisplay shown = image.GetImageDisplay(0);
    EXPECT_EQ(shown.get(), display);
    ASSERT_EQ(shown.CountROIs(), 1);
    ROI roi = shown.GetROI(0);
    EXPECT_TRUE(roi.IsRectangle());
    EXPECT_EQ(Rectangle(roi), std::vector<float>({1, 2, 4, 6}));
    EXPECT_EQ(Text(roi.GetLabel()), "cell");
    EXPECT_FALSE(roi.GetDeletable());
    EXPECT_TRUE(roi.GetMoveable());
    float r, g, b;
    roi.GetColor(&r, &g, &b);
    EXPECT_EQ(std::vector<float>({r, g, b}), std::vector<float>({1, 1, 0}));
    EXPECT_TRUE(shown.DoesROIExist("first"));
    EXPECT_FALSE(shown.DoesROIExist("second"));
    EXPECT_EQ(shown.LookupROI("first").get(), roi.get());
    EXPECT_EQ(shown.LookupROI("second").get(), 0u);
    EXPECT_EQ(shown.LookupROIByID(roi.GetID()).get(), roi.get());
    EXPECT_EQ(host().roi(roi.get()).label, "cell");
    EXPECT_THROW_MESSAGE(shown.GetROI(1), HostError,
                         "ImageDisplayGetROI: index 1 is out of range for 1 ROI.");
}

TEST_F(Rois, EachShapeAnswersForItself) {
    ROI roi = Made(Spec(RoiShape::Rectangle, {{2, 1}, {6, 4}}));
    EXPECT_EQ(Vertices(roi), std::vector<float>({2, 1, 6, 1, 6, 4, 2, 4})) << "clockwise";
    EXPECT_TRUE(roi.IsClosed());
    EXPECT_THROW_MESSAGE(roi.SetIsClosed(false), HostError,
                         "ROISetIsClosed: the ROI is a rectangle, not a curve.");

    roi.SetLine(0, 5, 3, 1);
    EXPECT_TRUE(roi.IsLine());
    EXPECT_FALSE(roi.IsRectangle());
    EXPECT_FALSE(roi.IsClosed());
    float x0, y0, x1, y1;
    roi.GetLine(&x0, &y0, &x1, &y1);
    EXPECT_EQ(std::vector<float>({x0, y0, x1, y1}), std::vector<float>({0, 5, 3, 1}));
    EXPECT_EQ(Rectangle(roi), std::vector<float>({1, 0, 5, 3})) << "the bounding rectangle";
    EXPECT_THROW_MESSAGE(roi.GetPoint(&x0, &y0), HostError,
                         "ROIGetPoint: the ROI is a line, not a point.");
    roi.SetVertex(1, 9, 9);
    EXPECT_TRUE(roi.IsLine()) << "moving an end keeps a line";
    EXPECT_EQ(Vertices(roi), std::vector<float>({0, 5, 9, 9}));

    roi.SetPoint(1, 2);
    EXPECT_TRUE(roi.IsPoint());
    roi.GetPoint(&x0, &y0);
    EXPECT_EQ(std::vector<float>({x0, y0}), std::vector<float>({1, 2}));
    EXPECT_EQ(roi.CountVertices(), 1);

    roi.SetRange(2, 5);
    EXPECT_TRUE(roi.IsRange());
    roi.GetRange(&x0, &x1);
    EXPECT_EQ(std::vector<float>({x0, x1}), std::vector<float>({2, 5}));
    EXPECT_EQ(roi.CountVertices(), 0);
    EXPECT_THROW_MESSAGE(roi.GetRectangle(&x0, &y0, &x1, &y1), HostError,
                         "ROIGetRectangle: a range has no rectangle.");

    EXPECT_THROW_MESSAGE(roi.SetRectangle(4, 0, 1, 0), HostError,
                         "ROISetRectangle: the bottom (1) lies above the top (4).");
    EXPECT_THROW_MESSAGE(roi.SetRange(5, 2), HostError,
                         "ROISetRange: the range ends before it starts.");
    EXPECT_THROW_MESSAGE(roi.SetPoint(NAN, 0), HostError,
                         "ROISetPoint: parameter 2 is not a finite number (nan).");
    EXPECT_THROW_MESSAGE(roi.ContainsPoint(0, INFINITY), HostError,
                         "ROIContainsPoint: parameter 3 is not a finite number (inf).");
    EXPECT_TRUE(roi.IsRange()) << "refused calls change nothing";
}

TEST_F(Rois, EditingVerticesMakesACurve) {
    ROI roi = Made(Spec(RoiShape::Rectangle, {{0, 0}, {2, 2}}));
    roi.AddVertex(1, 3);
    EXPECT_FALSE(roi.IsRectangle());
    EXPECT_TRUE(roi.IsClosed()) << "a rectangle's corners stay a closed outline";
    EXPECT_EQ(Vertices(roi), std::vector<float>({0, 0, 2, 0, 2, 2, 0, 2, 1, 3}));
    roi.InsertVertex(5, 7, 7);  // just after the last
    roi.InsertVertex(0, -1, -1);
    EXPECT_THROW_MESSAGE(roi.InsertVertex(8, 0, 0), HostError,
                         "ROIInsertVertex: index 8 is out of range for 7 vertices.");
    roi.DeleteVertex(1);
    EXPECT_EQ(Vertices(roi), std::vector<float>({-1, -1, 2, 0, 2, 2, 0, 2, 1, 3, 7, 7}));
    EXPECT_EQ(Rectangle(roi), std::vector<float>({-1, -1, 7, 7}));
    roi.SetIsClosed(false);
    EXPECT_FALSE(roi.IsClosed());
    roi.ClearVertices();
    EXPECT_EQ(roi.CountVertices(), 0);
    float x, y;
    EXPECT_THROW_MESSAGE(roi.GetVertex(0, &x, &y), HostError,
                         "ROIGetVertex: index 0 is out of range for 0 vertices.");
    EXPECT_THROW_MESSAGE(roi.GetRectangle(&x, &y, &x, &y), HostError,
                         "ROIGetRectangle: a curve without vertices has no rectangle.");

    ROI point = Made(Spec(RoiShape::Point, {{4, 4}}));
    point.AddVertex(5, 5);
    EXPECT_FALSE(point.IsClosed()) << "a point becomes an open polyline";
    EXPECT_EQ(Vertices(point), std::vector<float>({4, 4, 5, 5}));
}

TEST_F(Rois, ContainsPointFollowsTheShape) {
    ROI rect = Made(Spec(RoiShape::Rectangle, {{0, 0}, {4, 2}}));
    EXPECT_TRUE(rect.ContainsPoint(0, 0)) << "edges at the top left belong";
    EXPECT_TRUE(rect.ContainsPoint(3.99f, 1.99f));
    EXPECT_FALSE(rect.ContainsPoint(4, 1)) << "the right and bottom edges do not";
    EXPECT_FALSE(rect.ContainsPoint(1, 2));
    ROI oval = Made(Spec(RoiShape::Oval, {{0, 0}, {4, 2}}));
    EXPECT_TRUE(oval.ContainsPoint(2, 1));
    EXPECT_TRUE(oval.ContainsPoint(3.9f, 1));
    EXPECT_FALSE(oval.ContainsPoint(0.2f, 0.2f)) << "outside the ellipse, inside its rectangle";
    EXPECT_TRUE(oval.IsClosed());
    EXPECT_FALSE(oval.IsRectangle());
    const std::vector<RoiPoint> ell = {{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 4}, {0, 4}};
    ROI closed = Made(Spec(RoiShape::Curve, ell, true));
    EXPECT_TRUE(closed.ContainsPoint(0.5f, 3));
    EXPECT_TRUE(closed.ContainsPoint(3, 0.5f));
    EXPECT_FALSE(closed.ContainsPoint(3, 3)) << "the notch of the L";
    ROI open = Made(Spec(RoiShape::Curve, ell, false));
    EXPECT_FALSE(open.ContainsPoint(0.5f, 3)) << "an open polyline encloses nothing";
    ROI line = Made(Spec(RoiShape::Line, {{0, 0}, {4, 4}}));
    EXPECT_FALSE(line.ContainsPoint(2, 2));
    ROI range = Made(Spec(RoiShape::Range, {{2, 0}, {5, 0}}));
    EXPECT_TRUE(range.ContainsPoint(2, 1000));
    EXPECT_FALSE(range.ContainsPoint(5, 0));
}

TEST_F(Rois, ACloneIsAnIndependentCopyOnNoDisplay) {
    ImageRef image = FloatImage("image", 4, 4);
    ImageDisplay display = image.CreateImageDisplay(0);
    RoiSpec spec = Spec(RoiShape::Rectangle, {{0, 0}, {2, 2}});
    spec.label = "original";
    ROI roi = Made(spec);
    display.AddROI(roi);
    ROI copy = roi.Clone();
    EXPECT_NE(copy.GetID(), roi.GetID());
    EXPECT_EQ(Text(copy.GetLabel()), "original");
    copy.SetRectangle(1, 1, 3, 3);
    copy.SetLabel(qz_string("copy"));
    EXPECT_EQ(Rectangle(roi), std::vector<float>({0, 0, 2, 2}));
    EXPECT_EQ(Text(roi.GetLabel()), "original");
    EXPECT_EQ(display.CountROIs(), 1);
    EXPECT_TRUE(copy.IsValid());
    EXPECT_FALSE(Posing<ROI>(image.get())->IsValid());
}

TEST_F(Rois, DisplaysHoldTheirRoisEachWithItsOwnSelection) {
    ImageRef image = FloatImage("image", 4, 4);
    ImageDisplay one = image.CreateImageDisplay(0);
    ImageDisplay two = image.CreateImageDisplay(StandIn::kDisplayTypeSurfacePlot);
    Handle shared;
    {
        ROI roi = Made(Spec(RoiShape::Point, {{1, 1}}));
        shared = roi.get();
        one.AddROI(roi);
        one.AddROI(roi);
        two.AddROI(roi);
        EXPECT_EQ(one.CountROIs(), 1) << "once per display";
        one.SetROISelected(roi, true);
        two.SetROISelectionStyle(roi, 3);
        EXPECT_TRUE(one.IsROISelected(roi));
        EXPECT_FALSE(two.IsROISelected(roi));
        EXPECT_EQ(two.GetROISelectionStyle(roi), 3);
        EXPECT_EQ(one.GetROISelectionStyle(roi), 0);
    }
    EXPECT_TRUE(host().isAlive(shared)) << "the displays hold it";
    ROI roi(shared);
    one.DeleteROI(roi);
    EXPECT_EQ(one.CountROIs(), 0);
    EXPECT_EQ(two.CountROIs(), 1);
    EXPECT_THROW_MESSAGE(
        one.IsROISelected(roi), HostError,
        "ImageDisplayIsROISelected: the ROI " + Hex(shared) + " is not on this display.");
    EXPECT_THROW_MESSAGE(
        one.DeleteROI(roi), HostError,
        "ImageDisplayDeleteROI: the ROI " + Hex(shared) + " is not on this display.");
    roi = ROI();
    two = ImageDisplay();
    EXPECT_FALSE(host().isAlive(shared)) << "ended with its last display";
    EXPECT_THROW_MESSAGE(one.AddROI(ROI()), HostError,
                         "ImageDisplayAddROI: the ROI 0x0 is not valid: an empty reference "
                         "(handle 0).");
}

TEST_F(Rois, TheHostRefusesRoisThatDoNotFitTheirShape) {
    EXPECT_THROW_MESSAGE(host().makeRoi(Spec(RoiShape::Line, {{0, 0}})), std::invalid_argument,
                         "an ROI of shape line has 2 points, not 1");
    EXPECT_THROW_MESSAGE(host().makeRoi(Spec(RoiShape::Oval, {{3, 0}, {1, 1}})),
                         std::invalid_argument,
                         "an oval's second corner lies above or left of its first");
    EXPECT_THROW_MESSAGE(host().makeRoi(Spec(RoiShape::Point, {{NAN, 0}})), std::invalid_argument,
                         "an ROI's points are finite numbers");
    Handle text = host().makeString("no display");
    EXPECT_THROW_MESSAGE(host().addRoi(text, 0), std::invalid_argument,
                         Hex(text) + " is no live display");
    host().drop(text);
}

}  // namespace
}  // namespace ViewsTest
