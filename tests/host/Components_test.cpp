// Components: the order and parents of children, the tree's refusals, what a removed component
// becomes, bounding rectangles, clones and text attributes. Displays serve as components.
#include "ViewsTestSupport.h"

namespace ViewsTest {
namespace {

class Components : public ViewsTest {
  protected:
    void SetUp() override {
        ViewsTest::SetUp();
        image = FloatImage("page", 8, 8);
        doc = image.GetOrCreateImageDocument();
        root = doc.GetRootComponent();
        display = image.GetImageDisplay(0);
    }
    void TearDown() override {
        display = ImageDisplay();
        root = Component();
        doc = ImageDocument();
        image = ImageRef();
        ViewsTest::TearDown();
    }
    Component Annotation(const Component& parent, std::int32_t type) {
        return parent.AddNewComponent(type, 0, 0, 1, 1);
    }
    std::vector<Handle> Children(const Component& c) {
        std::vector<Handle> out;
        for (std::int32_t i = 0; i < c.CountChildren(); ++i) out.push_back(c.GetChild(i).get());
        return out;
    }

    ImageRef image;
    ImageDocument doc;
    Component root;
    ImageDisplay display;
};

TEST_F(Components, ChildrenKeepTheirPlaceAndHaveOneParent) {
    EXPECT_EQ(root.GetType(), StandIn::kComponentPage);
    EXPECT_EQ(Component(display).GetType(), StandIn::kComponentImageDisplay);
    Component box = Annotation(root, StandIn::kComponentBox);
    Component text = Annotation(root, StandIn::kComponentText);
    Component line = Annotation(root, StandIn::kComponentLine);
    EXPECT_EQ(Children(root),
              (std::vector<Handle>{display.get(), box.get(), text.get(), line.get()}));
    root.AddChildBefore(line, box);
    root.AddChildAfter(display, text);
    root.AddChildAtBeginning(text);
    EXPECT_EQ(Children(root),
              (std::vector<Handle>{text.get(), line.get(), box.get(), display.get()}));
    EXPECT_EQ(root.CountChildrenOfType(StandIn::kComponentImageDisplay), 1);
    EXPECT_EQ(root.GetNthChildOfType(StandIn::kComponentImageDisplay, 0).get(), display.get());
    EXPECT_THROW_MESSAGE(root.GetNthChildOfType(StandIn::kComponentBox, 1), HostError,
                         "ComponentGetNthChildOfType: index 1 is out of range for 1 child of "
                         "type 3.");
    EXPECT_THROW_MESSAGE(root.GetChild(-1), HostError,
                         "ComponentGetChild: index -1 is out of range for 4 children.");

    // An annotation on the image: a child of the display.
    Component(display).AddChildAtEnd(box);
    EXPECT_EQ(root.CountChildren(), 3) << "moved, not copied";
    EXPECT_EQ(box.GetParentComponent().get(), display.get());
    EXPECT_EQ(box.GetParentImageDisplay().get(), display.get());
    EXPECT_EQ(box.GetImageDocument().get(), doc.get());
    EXPECT_EQ(root.GetChildByID(box.GetID()).get(), 0u) << "not a child of the root";
    EXPECT_EQ(root.GetDescendentByID(box.GetID()).get(), box.get());
    EXPECT_EQ(doc.GetComponentByID(box.GetID()).get(), box.get());
    EXPECT_EQ(doc.GetComponentByID(root.GetID()).get(), root.get());
    EXPECT_EQ(root.GetParentComponent().get(), 0u);
    EXPECT_EQ(root.GetParentImageDisplay().get(), 0u);
}

TEST_F(Components, TheTreeRefusesLoopsRootsAndStrangers) {
    Component group = Annotation(root, StandIn::kComponentGroup);
    Component inner = Annotation(group, StandIn::kComponentGroup);
    EXPECT_THROW_MESSAGE(inner.AddChildAtEnd(group), HostError,
                         "ComponentAddChildAtEnd: the component " + Hex(group.get()) +
                             " cannot be put inside itself.");
    EXPECT_THROW_MESSAGE(group.AddChildAtBeginning(group), HostError,
                         "ComponentAddChildAtBeginning: the component " + Hex(group.get()) +
                             " cannot be put inside itself.");
    ImageRef other = FloatImage("other", 2, 2);
    Component otherRoot = other.GetOrCreateImageDocument().GetRootComponent();
    EXPECT_THROW_MESSAGE(group.AddChildAtEnd(otherRoot), HostError,
                         "ComponentAddChildAtEnd: the root component " + Hex(otherRoot.get()) +
                             " of a document cannot be a child.");
    EXPECT_THROW_MESSAGE(root.AddChildBefore(group, inner), HostError,
                         "ComponentAddChildBefore: the component " + Hex(inner.get()) +
                             " is no child of " + Hex(root.get()) + ".");
    EXPECT_THROW_MESSAGE(root.AddChildAfter(group, group), HostError,
                         "ComponentAddChildAfter: the component " + Hex(group.get()) +
                             " cannot be placed next to itself.");
    EXPECT_THROW_MESSAGE(root.AddNewComponent(StandIn::kComponentImageDisplay, 0, 0, 1, 1),
                         HostError,
                         "ComponentAddNewComponent: component type 20 is no annotation "
                         "(1 to 6).");
    EXPECT_THROW_MESSAGE(root.AddNewComponent(StandIn::kComponentBox, 0, 0, -1, 1), HostError,
                         "ComponentAddNewComponent: the bottom (-1) lies above the top (0).");
    EXPECT_EQ(inner.GetParentComponent().get(), group.get()) << "nothing moved";
    EXPECT_EQ(root.CountChildren(), 2);
    Posing<Component> aDocument(doc.get());
    EXPECT_FALSE(aDocument->IsValid());
    EXPECT_THROW_MESSAGE(aDocument->CountChildren(), HostError,
                         "ComponentCountChildren: the component " + Hex(doc.get()) +
                             " is not valid: it is an image document.");
}

TEST_F(Components, ARemovedComponentEndsUnlessThePlugInHoldsIt) {
    Handle dropped = Annotation(root, StandIn::kComponentBox).get();
    EXPECT_TRUE(host().isAlive(dropped)) << "its parent holds it";
    Component(dropped).RemoveFromParent();
    EXPECT_FALSE(host().isAlive(dropped));

    Component group = Annotation(root, StandIn::kComponentGroup);
    Component child = Annotation(group, StandIn::kComponentText);
    Handle grouped = Annotation(group, StandIn::kComponentLine).get();
    group.RemoveFromParent();
    group.RemoveFromParent();  // once out, nothing to do
    EXPECT_TRUE(host().isAlive(grouped)) << "the group still holds it";
    group = Component();
    EXPECT_FALSE(host().isAlive(grouped)) << "ended with the group";
    EXPECT_TRUE(host().isAlive(child.get()));
    EXPECT_EQ(child.GetParentComponent().get(), 0u) << "orphaned";
    EXPECT_EQ(child.GetImageDocument().get(), 0u);
}

TEST_F(Components, TheBoundingRectangleCoversTheDescendants) {
    Component group = root.AddNewComponent(StandIn::kComponentGroup, 0, 0, 10, 10);
    Component child = group.AddNewComponent(StandIn::kComponentBox, 5, -5, 20, 8);
    child.AddNewComponent(StandIn::kComponentText, 1, 2, 3, 30);
    float t, l, b, r;
    group.GetBoundingRect(&t, &l, &b, &r);
    EXPECT_EQ(std::vector<float>({t, l, b, r}), std::vector<float>({0, -5, 20, 30}));
    group.GetRect(&t, &l, &b, &r);
    EXPECT_EQ(std::vector<float>({t, l, b, r}), std::vector<float>({0, 0, 10, 10}));
    Component(display).GetRect(&t, &l, &b, &r);
    EXPECT_EQ(std::vector<float>({t, l, b, r}), std::vector<float>({0, 0, 8, 8}))
        << "a display covers its image";
}

TEST_F(Components, ClonesCopyAttributesAndADeepCloneItsDescendants) {
    Component group = root.AddNewComponent(StandIn::kComponentGroup, 1, 2, 3, 4);
    group.SetFontInfo(qz_string("Mono"), 2, 9);
    group.SetSelected(true);
    Component child = Annotation(group, StandIn::kComponentArrow);
    Component shallow = group.Clone(false);
    EXPECT_EQ(shallow.GetType(), StandIn::kComponentGroup);
    EXPECT_EQ(Text(shallow.GetFontFaceName()), "Mono");
    EXPECT_TRUE(shallow.IsSelected());
    EXPECT_NE(shallow.GetID(), group.GetID());
    EXPECT_EQ(shallow.CountChildren(), 0);
    EXPECT_EQ(shallow.GetParentComponent().get(), 0u);
    Component deep = group.Clone(true);
    ASSERT_EQ(deep.CountChildren(), 1);
    EXPECT_NE(deep.GetChild(0).get(), child.get());
    EXPECT_EQ(deep.GetChild(0).GetType(), StandIn::kComponentArrow);
    EXPECT_EQ(root.Clone(false).GetType(), StandIn::kComponentGroup) << "a root's copy";

    // A display's copy shows the same image and holds copies of its ROIs.
    StandIn::RoiSpec spec;
    spec.points = {{1, 1}, {4, 3}};
    Handle roi = host().makeRoi(spec);
    host().addRoi(display.get(), roi);
    host().drop(roi);
    Component copy = Component(display).Clone(false);
    EXPECT_EQ(host().kindOf(copy.get()), host().kindOf(display.get()));
    ImageDisplay copied(copy.get());
    EXPECT_EQ(copied.GetImage().get(), image.get());
    EXPECT_EQ(image.CountImageDisplays(), 2);
    ASSERT_EQ(copied.CountROIs(), 1);
    EXPECT_NE(copied.GetROI(0).get(), roi);
    EXPECT_EQ(host().roi(copied.GetROI(0).get()).points, spec.points);
}

TEST_F(Components, TheFontFaceComesBackThroughAReference) {
    Component text = Annotation(root, StandIn::kComponentText);
    qz_string face("old");
    Handle old = face.get();
    std::int32_t attributes = -1, size = -1;
    QZ::ComponentGetFontInfo(text, &face, &attributes, &size);
    EXPECT_EQ(Text(face), "Sans");
    EXPECT_EQ(attributes, 0);
    EXPECT_EQ(size, 12);
    EXPECT_FALSE(host().isAlive(old)) << "the reference's old string went back";
    QZ::ComponentGetFontInfo(text, nullptr, &attributes, &size);  // no reference: none made

    EXPECT_THROW_MESSAGE(text.SetFontInfo(qz_string("Serif"), 1, 0), HostError,
                         "ComponentSetFontInfo: a font size of 0 is not positive.");
    EXPECT_EQ(Text(text.GetFontFaceName()), "Sans") << "nothing set";
    text.SetFontFaceName(qz_string("Serif"));
    text.SetFontSize(14);
    EXPECT_EQ(Text(text.GetFontFaceName()), "Serif");
    EXPECT_EQ(text.GetFontSize(), 14);
}

}  // namespace
}  // namespace ViewsTest
