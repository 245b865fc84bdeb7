// Image documents and windows: a result shown and named end to end, what keeps documents and
// their images alive, the images a document shows, window bounds and order, the front image, and
// the host's refusals.
#include <climits>

#include "ViewsTestSupport.h"

namespace ViewsTest {
namespace {

class Documents : public ViewsTest {};

TEST_F(Documents, AResultIsShownNamedAndFoundAgain) {
    ImageRef result = FloatImage("result", 4, 3);
    ImageDocument doc = result.GetOrCreateImageDocument();
    EXPECT_EQ(result.GetOrCreateImageDocument().get(), doc.get()) << "the image's own document";
    EXPECT_EQ(Text(doc.GetName()), "result") << "named after its image";
    doc.SetName(qz_string("Hough transform"));
    Window window = doc.Show();

    EXPECT_EQ(Text(window.GetTitle()), "Hough transform");
    EXPECT_TRUE(window.IsOpen());
    EXPECT_TRUE(window.IsShown());
    EXPECT_EQ(doc.GetWindow().get(), window.get());
    ASSERT_EQ(doc.CountImages(), 1);
    EXPECT_EQ(doc.GetImage(0).get(), result.get());
    ASSERT_EQ(result.CountImageDisplays(), 1);
    ImageDisplay display = result.GetImageDisplay(0);
    EXPECT_EQ(display.GetImage().get(), result.get());
    EXPECT_EQ(Component(display).GetImageDocument().get(), doc.get());
    EXPECT_EQ(QZ::GetFrontImage().get(), result.get());

    std::vector<StandIn::DocumentInfo> shown = host().shownDocuments();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].document, doc.get());
    EXPECT_EQ(shown[0].name, "Hough transform");
    EXPECT_EQ(shown[0].title, "Hough transform");
    EXPECT_EQ(shown[0].images, std::vector<Handle>{result.get()});

    window.SetTitle(qz_string("Accumulator"));
    doc.SetName(qz_string("renamed"));
    EXPECT_EQ(Text(window.GetTitle()), "Accumulator") << "a title set stays";
    doc.Close(true);
    EXPECT_FALSE(window.IsOpen());
    EXPECT_FALSE(window.IsShown());
    EXPECT_TRUE(host().shownDocuments().empty());
}

TEST_F(Documents, TheUserInterfaceHoldsShownDocumentsAndDocumentsHoldTheirImages) {
    Handle image, doc, window, root;
    {
        ImageRef result = FloatImage("kept", 2, 2);
        ImageDocument d = result.GetOrCreateImageDocument();
        Window w = d.Show();
        image = result.get();
        doc = d.get();
        window = w.get();
        root = d.GetRootComponent().get();
    }
    EXPECT_TRUE(host().isAlive(image)) << "shown, the plug-in's references gone";
    EXPECT_TRUE(host().isAlive(doc));
    EXPECT_EQ(host().moduleReferences(doc), 0);
    ImageDocument(doc).Close(false);
    for (Handle h : {image, doc, window, root}) EXPECT_FALSE(host().isAlive(h)) << Hex(h);

    // Never shown: the document ends with the plug-in's last reference, and its image with it.
    {
        ImageRef unshown = FloatImage("unshown", 2, 2);
        image = unshown.get();
        doc = unshown.GetOrCreateImageDocument().get();
        EXPECT_FALSE(host().isAlive(doc));
    }
    EXPECT_FALSE(host().isAlive(image));
}

TEST_F(Documents, ADocumentShowsTheImagesOfTheDisplaysUnderItsRoot) {
    ImageRef first = FloatImage("first", 3, 3);
    ImageRef second = FloatImage("second", 5, 1);
    ImageDocument doc = first.GetOrCreateImageDocument();
    doc.AddImage(second);
    ImageDisplay plot = doc.AddImageDisplay(first, StandIn::kDisplayTypeLinePlot);
    EXPECT_EQ(host().kindOf(plot.get()), StandIn::ObjectKind::LinePlotImageDisplay);

    ASSERT_EQ(doc.CountImages(), 2) << "each image once";
    EXPECT_EQ(doc.GetImage(0).get(), first.get());
    EXPECT_EQ(doc.GetImage(1).get(), second.get());
    EXPECT_EQ(QZ::ImageCountImageDisplaysInImageDocument(first, doc), 2);
    EXPECT_EQ(QZ::ImageGetImageDisplayInImageDocument(first, doc, 1).get(), plot.get());
    EXPECT_EQ(second.GetImageDisplay(0).GetDisplayType(), StandIn::kDisplayTypeLinePlot)
        << "a one-row image is plotted by default";
    EXPECT_EQ(doc.GetRootComponent().CountChildren(), 3);

    // A display made on its own joins the document when put under the root.
    ImageRef third = FloatImage("third", 2, 2);
    ImageDisplay loose = third.CreateImageDisplay(StandIn::kDisplayTypeRaster);
    EXPECT_EQ(Component(loose).GetImageDocument().get(), 0u);
    doc.GetRootComponent().AddChildAtEnd(loose);
    EXPECT_EQ(doc.CountImages(), 3);

    doc.DeleteImage(first);
    EXPECT_EQ(doc.CountImages(), 2);
    EXPECT_EQ(doc.GetImage(0).get(), second.get());
    EXPECT_EQ(Component(plot).GetParentComponent().get(), 0u) << "its displays left the tree";
    EXPECT_EQ(first.CountImageDisplays(), 1) << "the plug-in's display lives on, in no document";
    EXPECT_THROW_MESSAGE(doc.DeleteImage(first), HostError,
                         "ImageDocumentDeleteImage: the image " + Hex(first.get()) +
                             " is not in the document " + Hex(doc.get()) + ".");
    EXPECT_THROW_MESSAGE(doc.GetImage(2), HostError,
                         "ImageDocumentGetImage: index 2 is out of range for 2 images.");
}

TEST_F(Documents, ImageModeShowsTheChosenDisplayWhileItIsInTheDocument) {
    ImageRef a = FloatImage("a", 2, 2);
    ImageRef b = FloatImage("b", 2, 2);
    ImageDocument doc = a.GetOrCreateImageDocument();
    ImageDisplay second = doc.AddImageDisplay(b, 0);
    EXPECT_TRUE(doc.IsInImageMode());
    EXPECT_EQ(doc.GetImageModeDisplay().get(), a.GetImageDisplay(0).get()) << "the first";
    doc.SwitchToPageMode();
    EXPECT_TRUE(doc.IsInPageMode());
    doc.SwitchToImageMode(second);
    EXPECT_FALSE(doc.IsInPageMode());
    EXPECT_EQ(doc.GetImageModeDisplay().get(), second.get());
    doc.DeleteImage(b);
    EXPECT_EQ(doc.GetImageModeDisplay().get(), a.GetImageDisplay(0).get());
    EXPECT_THROW_MESSAGE(doc.SwitchToImageMode(second), HostError,
                         "ImageDocumentSwitchToImageMode: the display " + Hex(second.get()) +
                             " is not in the document " + Hex(doc.get()) + ".");
    EXPECT_FALSE(doc.HasBeenPlacedOnPage());
    doc.EnsurePlacedOnPage();
    EXPECT_TRUE(doc.HasBeenPlacedOnPage());
}

TEST_F(Documents, WindowBoundsFrameTheContent) {
    ImageRef image = FloatImage("bounds", 300, 200);
    ImageDocument doc = image.GetOrCreateImageDocument();
    Window window = doc.Show();
    std::int32_t w = 0, h = 0;
    window.GetContentSize(&w, &h);
    EXPECT_EQ(w, 300) << "a new window fits its image";
    EXPECT_EQ(h, 200);

    window = doc.ShowAtRect(50, 10, 150, 210);
    std::int32_t t, l, b, r;
    window.GetContentBounds(&t, &l, &b, &r);
    EXPECT_EQ(std::vector<std::int32_t>({t, l, b, r}),
              std::vector<std::int32_t>({50, 10, 150, 210}));
    window.GetFrameBounds(&t, &l, &b, &r);
    EXPECT_EQ(
        std::vector<std::int32_t>({t, l, b, r}),
        std::vector<std::int32_t>({50 - StandIn::kWindowTitleBarHeight, 10 - StandIn::kWindowBorder,
                                   150 + StandIn::kWindowBorder, 210 + StandIn::kWindowBorder}));
    window.SetFramePosition(0, 0);
    std::int32_t x, y;
    window.GetContentPosition(&x, &y);
    EXPECT_EQ(x, StandIn::kWindowBorder);
    EXPECT_EQ(y, StandIn::kWindowTitleBarHeight);
    window.SetFrameSize(100, 80);
    window.GetContentSize(&w, &h);
    EXPECT_EQ(w, 100 - 2 * StandIn::kWindowBorder);
    EXPECT_EQ(h, 80 - StandIn::kWindowTitleBarHeight - StandIn::kWindowBorder);
    window.GetFramePosition(&x, &y);
    EXPECT_EQ(x, 0) << "resizing keeps the position";
    EXPECT_EQ(y, 0);

    EXPECT_THROW_MESSAGE(window.SetContentSize(-1, 10), HostError,
                         "WindowSetContentSize: a size of -1 x 10 is negative.");
    EXPECT_THROW_MESSAGE(window.SetFrameSize(100, 10), HostError,
                         "WindowSetFrameSize: a frame of 100 x 10 leaves no room for the title "
                         "bar and the border.");
    EXPECT_THROW_MESSAGE(window.SetContentBounds(10, 0, 5, 0), HostError,
                         "WindowSetContentBounds: the bottom (5) lies above the top (10).");
    EXPECT_THROW_MESSAGE(window.SetFramePosition(0, INT32_MAX), HostError,
                         "WindowSetFramePosition: parameter 3 (2147483647) lies beyond 16777216 "
                         "pixels from 0.");
    doc.Close(false);
    EXPECT_THROW_MESSAGE(doc.ShowAtPosition(INT32_MIN, 0), HostError,
                         "ImageDocumentShowAtPosition: parameter 2 (-2147483648) lies beyond "
                         "16777216 pixels from 0.");
    EXPECT_FALSE(window.IsOpen()) << "a refused call shows nothing";
    EXPECT_THROW_MESSAGE(doc.ShowAtRect(0, 10, 5, 5), HostError,
                         "ImageDocumentShowAtRect: the right side (5) lies left of the left side "
                         "(10).");
}

TEST_F(Documents, TheFrontImageIsTheImageOfTheFrontmostShownWindow) {
    ImageRef none;
    EXPECT_FALSE(QZ::GetFrontImage(&none));
    EXPECT_EQ(none.get(), 0u);
    EXPECT_THROW_MESSAGE(QZ::GetFrontImage(), HostError,
                         "GetFrontImage: no window shows an image.");

    ImageRef a = FloatImage("a", 2, 2);
    ImageRef b = FloatImage("b", 2, 2);
    Window wa = a.GetOrCreateImageDocument().Show();
    Window wb = b.GetOrCreateImageDocument().Show();
    ImageRef front = a;  // the reference's old image goes back when the host stores another
    ASSERT_TRUE(QZ::GetFrontImage(&front));
    EXPECT_EQ(front.get(), b.get());
    EXPECT_EQ(host().moduleReferences(a.get()), 1);
    wa.Select();
    EXPECT_EQ(QZ::GetFrontImage().get(), a.get());
    wa.SendBehind(wb);
    EXPECT_EQ(QZ::GetFrontImage().get(), b.get());
    wb.Hide();
    EXPECT_EQ(QZ::GetFrontImage().get(), a.get()) << "hidden windows are passed over";
    wb.Show();
    EXPECT_EQ(QZ::GetFrontImage().get(), b.get());
    wb.Close(false);
    EXPECT_EQ(QZ::GetFrontImage().get(), a.get());
    EXPECT_THROW_MESSAGE(wb.Show(), HostError,
                         "WindowShow: the window " + Hex(wb.get()) + " is closed.");
    EXPECT_THROW_MESSAGE(wa.SendBehind(wa), HostError,
                         "WindowSendBehind: a window cannot go behind itself.");
}

TEST_F(Documents, TheHostShowsAnImageAsTheApplicationOpensOne) {
    StandIn::ImageSpec spec;
    spec.sizes = {3, 2};
    spec.name = "opened";
    Handle image = host().createImage(spec);
    Handle display = host().showImage(image);
    EXPECT_EQ(host().kindOf(display), StandIn::ObjectKind::RasterImageDisplay);
    EXPECT_EQ(host().showImage(image), display) << "shown again: the same document";
    ASSERT_EQ(host().shownDocuments().size(), 1u);
    EXPECT_EQ(host().shownDocuments()[0].title, "opened");
    EXPECT_EQ(host().moduleReferences(display), 0);
    EXPECT_EQ(QZ::GetFrontImage().get(), image);
    host().drop(image);
    EXPECT_TRUE(host().isAlive(image)) << "its document holds it";
    EXPECT_THROW_MESSAGE(host().showImage(display), std::invalid_argument,
                         Hex(display) + " is no live image");
}

TEST_F(Documents, BadHandlesAreRefusedWithTheirKind) {
    ImageRef image = FloatImage("image", 2, 2);
    ImageDocument doc = image.GetOrCreateImageDocument();
    Window window = doc.Show();
    ImageDocument empty;
    EXPECT_THROW_MESSAGE(empty.CountImages(), HostError,
                         "ImageDocumentCountImages: the image document 0x0 is not valid: an "
                         "empty reference (handle 0).");
    Posing<ImageDocument> aWindow(window.get());
    EXPECT_THROW_MESSAGE(aWindow->Show(), HostError,
                         "ImageDocumentShow: the image document " + Hex(window.get()) +
                             " is not valid: it is a window.");
    EXPECT_FALSE(aWindow->IsValid());
    Posing<Window> aDocument(doc.get());
    EXPECT_THROW_MESSAGE(
        aDocument->GetTitle(), HostError,
        "WindowGetTitle: the window " + Hex(doc.get()) + " is not valid: it is an image document.");
    EXPECT_FALSE(aDocument->IsValid());
    Posing<ImageRef> foreign(0x7fff1234u);
    EXPECT_THROW_MESSAGE(doc.AddImage(*foreign), HostError,
                         "ImageDocumentAddImage: the image 0x7fff1234"
                         " is not valid: not a handle of this host.");
    EXPECT_THROW_MESSAGE(doc.AddImageDisplay(image, 7), HostError,
                         "ImageDocumentAddImageDisplay: display type 7 is none of 0 (default), "
                         "1 (raster), 2 (surface plot), 3 (line plot), 4 (table).");
    EXPECT_THROW_MESSAGE(doc.SetName(qz_string()), HostError,
                         "ImageDocumentSetName: the string 0x0 is not valid: an empty reference "
                         "(handle 0).");
    EXPECT_TRUE(doc.IsValid());
    EXPECT_TRUE(window.IsValid());
    EXPECT_EQ(doc.CountImages(), 1) << "nothing changed";
}

}  // namespace
}  // namespace ViewsTest
