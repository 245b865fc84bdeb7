// Tag groups through the framework's member operations: trees made by paths, shared nodes and
// their handles, every value type, lists, copies, cycles, arrays, seeds, parsed paths, and the
// failures of bad input. The fixture checks after each test that nothing is left counted.
#include <climits>
#include <cstring>
#include <utility>

#include "ModelTestSupport.h"

namespace ModelTest {
namespace {

class TagGroups : public ModelTest {};

TEST_F(TagGroups, PathsMakeGroupsThatAreSharedNodesUnderOneHandle) {
    TagGroup root = NewGroup();
    root.SetTagAsLong("Acquisition:Exposure", 250);
    root.SetTagAsString("Acquisition:Camera name", qz_string("Q-1"));
    EXPECT_EQ(root.CountTags(), 1);
    EXPECT_TRUE(root.DoesTagExist("Acquisition"));
    EXPECT_TRUE(root.DoesTagExist("Acquisition:Camera name"));
    EXPECT_FALSE(root.DoesTagExist("Acquisition:camera name")) << "labels compare exactly";
    EXPECT_EQ(Text(root.GetTagLabel(0)), "Acquisition");

    TagGroup acquisition;
    ASSERT_TRUE(root.GetTagAsTagGroup("Acquisition", &acquisition));
    EXPECT_EQ(acquisition.CountTags(), 2);
    EXPECT_EQ(Count(acquisition.get()), 1) << "one count, the reference's";
    acquisition.SetTagAsFloat("Gain", 1.5f);
    float gain = 0;
    EXPECT_TRUE(root.GetTagAsFloat("Acquisition:Gain", &gain)) << "the child is part of the tree";
    EXPECT_EQ(gain, 1.5f);

    TagGroup again;
    ASSERT_TRUE(root.GetTagAsTagGroup("Acquisition", &again));
    EXPECT_EQ(again.get(), acquisition.get()) << "a node is handed out under one handle";
    EXPECT_EQ(Count(acquisition.get()), 2);
    ASSERT_TRUE(root.GetIndexedTagAsTagGroup(0, &again));
    EXPECT_EQ(Count(acquisition.get()), 2) << "the count the reused reference held is given back";
    std::int32_t exposure = 0;
    EXPECT_TRUE(root.GetTagAsLong("[0]:[0]", &exposure));
    EXPECT_EQ(exposure, 250);
}

TEST_F(TagGroups, EveryValueTypeRoundTripsByLabelAndByIndex) {
    TagGroup g = NewGroup();
    g.SetTagAsBoolean("b", true);
    g.SetTagAsShort("s", -7);
    g.SetTagAsUInt16("u16", 65535);
    g.SetTagAsLong("l", INT32_MIN);
    g.SetTagAsUInt32("u32", 4000000000u);
    g.SetTagAsFloat("f", 0.1f);
    g.SetTagAsDouble("d", 0.1);
    g.SetTagAsFloatComplex("fc", complex(0.1, -2.0));
    g.SetTagAsDoubleComplex("dc", complex(0.1, -2.0));
    g.SetTagAsEightBitColor("c", 0x00FF8001u);
    g.SetTagAsFloatPoint("fp", 1.5f, -2.5f);
    g.SetTagAsShortPoint("sp", -1, 2);
    g.SetTagAsLongPoint("lp", INT32_MAX, -3);
    g.SetTagAsFloatRect("fr", 1, 2, 3, 4);
    g.SetTagAsShortRect("sr", -1, -2, 3, 4);
    g.SetTagAsLongRect("lr", 10, 20, 30, 40);
    g.SetTagAsRGBUInt16("rgb", 1, 2, 65535);
    g.SetTagAsText("t", qz_string("caf\xE9"));
    ASSERT_EQ(g.CountTags(), 18);

    bool b = false;
    std::int16_t s = 0, s2 = 0, s3 = 0, s4 = 0;
    std::uint16_t u16 = 0, r = 0, gr = 0, bl = 0;
    std::int32_t l = 0, l2 = 0, l3 = 0, l4 = 0;
    std::uint32_t u32 = 0, color = 0;
    float f = 0, f2 = 0, f3 = 0, f4 = 0;
    double d = 0;
    complex z;
    EXPECT_TRUE(g.GetTagAsBoolean("b", &b) && b);
    EXPECT_TRUE(g.GetTagAsShort("s", &s) && s == -7);
    EXPECT_TRUE(g.GetTagAsUInt16("u16", &u16) && u16 == 65535);
    EXPECT_TRUE(g.GetTagAsLong("l", &l) && l == INT32_MIN);
    EXPECT_TRUE(g.GetTagAsUInt32("u32", &u32) && u32 == 4000000000u);
    EXPECT_TRUE(g.GetTagAsFloat("f", &f) && f == 0.1f);
    EXPECT_TRUE(g.GetTagAsDouble("d", &d) && d == 0.1);
    EXPECT_TRUE(g.GetTagAsFloatComplex("fc", &z));
    EXPECT_EQ(z, complex(static_cast<double>(0.1f), -2.0)) << "kept in float precision";
    EXPECT_TRUE(g.GetTagAsDoubleComplex("dc", &z));
    EXPECT_EQ(z, complex(0.1, -2.0));
    EXPECT_FALSE(g.GetTagAsDoubleComplex("fc", &z)) << "float and double complex are two types";
    EXPECT_TRUE(g.GetTagAsEightBitColor("c", &color) && color == 0x00FF8001u);
    EXPECT_TRUE(g.GetTagAsFloatPoint("fp", &f, &f2) && f == 1.5f && f2 == -2.5f);
    EXPECT_TRUE(g.GetTagAsShortPoint("sp", &s, &s2) && s == -1 && s2 == 2);
    EXPECT_TRUE(g.GetTagAsLongPoint("lp", &l, &l2) && l == INT32_MAX && l2 == -3);
    EXPECT_TRUE(g.GetTagAsFloatRect("fr", &f, &f2, &f3, &f4));
    EXPECT_EQ((std::vector<float>{f, f2, f3, f4}), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_TRUE(g.GetTagAsShortRect("sr", &s, &s2, &s3, &s4));
    EXPECT_EQ((std::vector<int>{s, s2, s3, s4}), (std::vector<int>{-1, -2, 3, 4}));
    EXPECT_TRUE(g.GetTagAsLongRect("lr", &l, &l2, &l3, &l4));
    EXPECT_EQ((std::vector<int>{l, l2, l3, l4}), (std::vector<int>{10, 20, 30, 40}));
    EXPECT_TRUE(g.GetTagAsRGBUInt16("rgb", &r, &gr, &bl) && r == 1 && gr == 2 && bl == 65535);
    qz_string text;
    EXPECT_TRUE(g.GetTagAsString("t", &text)) << "String and Text are one type";
    EXPECT_EQ(Text(text), "caf\xE9");

    // The indexed forms read the same tags, the RGB one under the labelled name.
    EXPECT_TRUE(g.GetIndexedTagAsLong(3, &l) && l == INT32_MIN);
    EXPECT_TRUE(g.GetTagAsRGBUInt16(16, &r, &gr, &bl) && bl == 65535);
    EXPECT_TRUE(g.GetIndexedTagAsText(17, &text));
    g.SetIndexedTagAsDouble(6, -4.25);
    EXPECT_TRUE(g.GetTagAsDouble("d", &d) && d == -4.25);
    EXPECT_EQ(Text(g.GetTagLabel(6)), "d") << "a set by index keeps the label";
    g.SetTagAsLong("d", 9);
    EXPECT_FALSE(g.GetTagAsDouble("d", &d)) << "a set replaces the type";
    EXPECT_EQ(g.CountTags(), 18);
}

TEST_F(TagGroups, AGetThatFindsNoTagOfItsTypeAnswersFalseAndWritesNothing) {
    TagGroup g = NewGroup();
    g.SetTagAsLong("n", 5);
    g.CreateNewLabeledTag("empty");
    std::int32_t v = 77;
    EXPECT_FALSE(g.GetTagAsLong("missing", &v));
    EXPECT_FALSE(g.GetTagAsLong("n:below", &v)) << "a path through a value";
    EXPECT_FALSE(g.GetTagAsLong("missing:n", &v));
    EXPECT_FALSE(g.GetTagAsLong("empty", &v)) << "a tag made without a value";
    EXPECT_FALSE(g.GetTagAsLong("[9]", &v));
    EXPECT_EQ(v, 77);
    float f = 3;
    EXPECT_FALSE(g.GetTagAsFloat("n", &f));
    EXPECT_FALSE(g.GetIndexedTagAsFloat(0, &f));
    EXPECT_EQ(f, 3);
    for (bool before : {false, true}) {
        bool b = before;
        EXPECT_FALSE(g.GetTagAsBoolean("n", &b));
        EXPECT_EQ(b, before);
    }
    TagGroup held = NewGroup();
    Handle heldHandle = held.get();
    EXPECT_FALSE(g.GetTagAsTagGroup("n", &held));
    EXPECT_EQ(held.get(), heldHandle);
    qz_string keep("keep");
    EXPECT_FALSE(g.GetTagAsString("n", &keep));
    EXPECT_EQ(Text(keep), "keep");
}

TEST_F(TagGroups, MalformedPathsFailWithTheirReason) {
    TagGroup g = NewGroup();
    const std::pair<const char*, const char*> cases[] = {
        {"", "the tag path is empty."},
        {"a::b", "the tag path 'a::b' is malformed: an empty step at position 3."},
        {":a", "the tag path ':a' is malformed: an empty step at position 1."},
        {"a:", "the tag path 'a:' is malformed: an empty step at position 3."},
        {"a[", "the tag path 'a[' is malformed: '[' without ']' at position 2."},
        {"a[]", "the tag path 'a[]' is malformed: an empty index at position 2."},
        {"a[x]",
         "the tag path 'a[x]' is malformed: an index that is not a decimal number at "
         "position 2."},
        {"a]b", "the tag path 'a]b' is malformed: a stray ']' at position 2."},
        {"]", "the tag path ']' is malformed: a stray ']' at position 1."},
        {"a[1]b", "the tag path 'a[1]b' is malformed: a stray 'b' at position 5."},
        {"[1234567890]",
         "the tag path '[1234567890]' is malformed: an index of too many digits at position 1."},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        EXPECT_THROW_MESSAGE(g.DoesTagExist(path), Failure,
                             std::string("TagGroupDoesTagExist: ") + reason);
        EXPECT_THROW_MESSAGE(g.SetTagAsLong(path, 1), Failure,
                             std::string("TagGroupSetTagAsLong: ") + reason);
    }
    EXPECT_EQ(g.CountTags(), 0);
    // Labels may hold spaces and other punctuation; indexes may follow a label directly.
    g.SetTagAsLong("Points of interest (px)", 1);
    TagGroup list = g.CreateNewLabeledList("Points");
    list.InsertTagAsLong(0, 10);
    list.InsertTagAsLong(1, 11);
    std::int32_t v = 0;
    EXPECT_TRUE(g.GetTagAsLong("Points[1]", &v) && v == 11);
    EXPECT_TRUE(g.GetTagAsLong("Points:[0]", &v) && v == 10);
    EXPECT_TRUE(g.GetTagAsLong("Points of interest (px)", &v) && v == 1);
}

TEST_F(TagGroups, BadHandlesIndexesAndTargetsFailTheCallAndChangeNothing) {
    TagGroup none;
    EXPECT_THROW_MESSAGE(none.CountTags(), Failure,
                         "TagGroupCountTags: no tag group was given (handle 0).");
    ImageRef image = NewImage({StandIn::ElementType::Float32, {2, 2}, "img"});
    TagGroup wrong(image.get(), kAdopt);  // borrowed: released below, never counted
    EXPECT_THROW_MESSAGE(wrong.CountTags(), Failure,
                         "TagGroupCountTags: " + Hex(image.get()) +
                             " is not a valid tag group (its kind is Image).");
    wrong.release();
    EXPECT_FALSE(QZ::TagGroupIsValid(none));

    TagGroup g = NewGroup();
    g.SetTagAsLong("n", 1);
    TagGroup list = g.CreateNewLabeledList("list");
    std::int32_t v = 0;
    EXPECT_THROW_MESSAGE(g.GetIndexedTagAsLong(2, &v), Failure,
                         "TagGroupGetIndexedTagAsLong: index 2 is out of range for a tag group of "
                         "2 tags.");
    EXPECT_THROW_MESSAGE(g.DeleteTagWithIndex(-1), Failure,
                         "TagGroupDeleteTagWithIndex: index -1 is out of range for a tag group of "
                         "2 tags.");
    EXPECT_THROW_MESSAGE(g.InsertTagAsLong(3, 0), Failure,
                         "TagGroupInsertTagAsLong: index 3 is out of range for a tag group of 2 "
                         "tags (0 to 2 to insert).");
    EXPECT_THROW_MESSAGE(g.DeleteTagWithLabel("nope"), Failure,
                         "TagGroupDeleteTagWithLabel: the tag group has no tag 'nope'.");
    EXPECT_THROW_MESSAGE(g.SetTagAsLong("n:x", 1), Failure,
                         "TagGroupSetTagAsLong: the tag path 'n:x' passes through 'n', which is a "
                         "long tag, not a tag group.");
    EXPECT_THROW_MESSAGE(list.SetTagAsLong("x", 1), Failure,
                         "TagGroupSetTagAsLong: the tag path 'x' ends in the label 'x' inside a "
                         "list, whose tags have no labels.");
    EXPECT_THROW_MESSAGE(g.SetTagAsLong("[5]", 1), Failure,
                         "TagGroupSetTagAsLong: the tag path '[5]' names no tag: index 5 is out "
                         "of range for 2 tags.");
    EXPECT_THROW_MESSAGE(g.SetTagAsLong("new:more[0]", 1), Failure,
                         "TagGroupSetTagAsLong: the tag path 'new:more:[0]' has no tag "
                         "'new:more:[0]': the group 'new:more' would be new and empty.");
    EXPECT_THROW_MESSAGE(g.SetTagAsString("fresh:s", qz_string()), Failure,
                         "TagGroupSetTagAsString: no string was given (handle 0).");
    EXPECT_THROW_MESSAGE(g.CreateNewLabeledGroup("list"), Failure,
                         "TagGroupCreateNewLabeledGroup: the tag group already has a tag 'list'.");
    EXPECT_THROW_MESSAGE(g.CreateNewLabeledGroup("a:b"), Failure,
                         "TagGroupCreateNewLabeledGroup: the tag label 'a:b' contains ':', '[' or "
                         "']', which separate the steps of tag paths.");
    EXPECT_THROW_MESSAGE(list.CreateNewLabeledTag("x"), Failure,
                         "TagGroupCreateNewLabeledTag: the tags of a list have no labels ('x').");
    EXPECT_EQ(g.CountTags(), 2) << "no group was made on the way to a failure";
    EXPECT_EQ(list.CountTags(), 0);
}

TEST_F(TagGroups, TagsAreMadeAtTheirPlaceInGroupsAndLists) {
    TagGroup list = NewGroup().CreateNewLabeledList("list");
    EXPECT_TRUE(list.IsList());
    EXPECT_EQ(list.CreateNewTagAtEnd(), 0);
    TagGroup first = list.CreateGroupTagAtBeginning();
    TagGroup second = list.CreateListTagAfter(0);
    EXPECT_EQ(list.CreateNewTagBefore(3), 3) << "before the count: at the end";
    list.InsertTagAsLong(0, 42);
    ASSERT_EQ(list.CountTags(), 5);
    TagGroup at;
    ASSERT_TRUE(list.GetIndexedTagAsTagGroup(1, &at));
    EXPECT_EQ(at.get(), first.get());
    EXPECT_FALSE(first.IsList());
    ASSERT_TRUE(list.GetIndexedTagAsTagGroup(2, &at));
    EXPECT_TRUE(second.IsList() && at.get() == second.get());
    EXPECT_EQ(Text(list.GetTagLabel(1)), "");

    TagGroup g = NewGroup();
    TagGroup other = NewGroup();
    TagGroup added = g.AddLabeledTagGroup("other", other);
    EXPECT_EQ(added.get(), other.get()) << "the node itself, not a copy";
    other.SetTagAsLong("v", 3);
    std::int32_t v = 0;
    EXPECT_TRUE(g.GetTagAsLong("other:v", &v) && v == 3);
    TagGroup made = g.GetOrCreateTagGroup("a:b");
    EXPECT_EQ(g.GetOrCreateTagGroup("a:b").get(), made.get());
    EXPECT_THROW_MESSAGE(g.GetOrCreateTagList("a:b"), Failure,
                         "TagGroupGetOrCreateTagList: the tag 'a:b' is a group, not a list.");
    g.DeleteTagWithLabel("a:b");
    EXPECT_FALSE(g.DoesTagExist("a:b"));
    EXPECT_TRUE(g.DoesTagExist("a"));
    g.DeleteAllTags();
    EXPECT_EQ(g.CountTags(), 0);
    EXPECT_EQ(other.CountTags(), 1) << "a deleted tag's node lives on under its handle";
}

TEST_F(TagGroups, ClonesAreDeepAndCopiesMergeByLabel) {
    TagGroup src = NewGroup();
    src.SetTagAsLong("a", 1);
    src.SetTagAsLong("sub:x", 2);
    TagGroup clone = src.Clone();
    clone.SetTagAsLong("sub:x", 20);
    std::int32_t v = 0;
    EXPECT_TRUE(src.GetTagAsLong("sub:x", &v) && v == 2);

    TagGroup dst = NewGroup();
    dst.SetTagAsLong("a", 9);
    dst.SetTagAsLong("b", 3);
    dst.CopyTagsFrom(src);
    EXPECT_EQ(dst.CountTags(), 3);
    EXPECT_TRUE(dst.GetTagAsLong("a", &v) && v == 1) << "the tag of the same label is replaced";
    dst.SetTagAsLong("sub:x", 5);
    EXPECT_TRUE(src.GetTagAsLong("sub:x", &v) && v == 2) << "copies are deep";
    src.CopyTagsFrom(src);
    EXPECT_EQ(src.CountTags(), 2);
    EXPECT_EQ(dst.CopyTag(src, 1), 2) << "merged into the tag 'sub' at index 2";

    TagGroup list = dst.CreateNewLabeledList("list");
    list.CopyTagToIndex(0, src, 0);
    EXPECT_EQ(Text(list.GetTagLabel(0)), "") << "a list's copy loses its label";
    EXPECT_THROW_MESSAGE(dst.CopyTagToIndex(0, src, 0), Failure,
                         "TagGroupCopyTagToIndex: the tag group already has a tag 'a'.");
    dst.ReplaceTagsWithCopy(src);
    EXPECT_EQ(dst.CountTags(), 2);
    EXPECT_FALSE(dst.DoesTagExist("list"));
}

TEST_F(TagGroups, AGroupCannotBeStoredInsideItself) {
    TagGroup g = NewGroup();
    TagGroup child = g.CreateNewLabeledGroup("child");
    EXPECT_THROW_MESSAGE(g.SetTagAsTagGroup("self", g), Failure,
                         "TagGroupSetTagAsTagGroup: a tag group cannot be stored inside itself.");
    EXPECT_THROW_MESSAGE(child.SetTagAsTagGroup("new:loop", g), Failure,
                         "TagGroupSetTagAsTagGroup: a tag group cannot be stored inside itself.");
    EXPECT_THROW_MESSAGE(
        child.InsertTagAsTagGroup(0, g), Failure,
        "TagGroupInsertTagAsTagGroup: a tag group cannot be stored inside itself.");
    EXPECT_THROW_MESSAGE(child.AddTagGroupAtEnd(g), Failure,
                         "TagGroupAddTagGroupAtEnd: a tag group cannot be added inside itself.");
    EXPECT_FALSE(child.DoesTagExist("new"));
    // The same node under two labels is no cycle.
    g.SetTagAsTagGroup("again", child);
    child.SetTagAsLong("v", 8);
    std::int32_t v = 0;
    EXPECT_TRUE(g.GetTagAsLong("again:v", &v) && v == 8);
}

TEST_F(TagGroups, ArrayTagsHoldACopyOfAnImagesElements) {
    ImageRef image = NewImage({StandIn::ElementType::Float32, {2, 2}, "img"});
    std::vector<float> pixels{1.5f, -2, 3, 4};
    std::memcpy(host().imageData(image.get()), pixels.data(), 16);
    TagGroup g = NewGroup();
    g.SetTagAsArray("data", image);
    host().imageData(image.get())[0] = 0;
    ImageRef into = NewImage({StandIn::ElementType::Float32, {4}, "into"});
    EXPECT_TRUE(g.GetTagAsArray("data", into));
    EXPECT_EQ(host().imagePixels<float>(into.get()), pixels);
    EXPECT_FALSE(g.GetTagAsArray("none", into));
    ImageRef bytes = NewImage({StandIn::ElementType::UInt8, {4}, "bytes"});
    EXPECT_THROW_MESSAGE(g.GetTagAsArray("data", bytes), Failure,
                         "TagGroupGetTagAsArray: the array tag 'data' holds 4 float32 elements; "
                         "the image has 4 uint8 elements.");
    g.InsertTagAsArray(0, bytes);
    EXPECT_TRUE(g.GetIndexedTagAsArray(0, bytes));
}

TEST_F(TagGroups, SeedsTellChangesAnywhereBelow) {
    TagGroup g = NewGroup();
    TagGroup deep = g.GetOrCreateTagGroup("a:b");
    std::int32_t seed = g.GetSeeds();
    EXPECT_FALSE(g.HasChangedSince(seed));
    deep.SetTagAsBoolean("flag", false);
    EXPECT_TRUE(g.HasChangedSince(seed));
    seed = g.GetSeeds();
    g.ReleaseSeeds(seed);
    g.DeleteTagWithLabel("a");
    EXPECT_TRUE(g.HasChangedSince(seed)) << "a deletion is a change though the tree shrinks";
    seed = deep.GetSeeds();
    deep.MarkAsChanged();
    EXPECT_TRUE(deep.HasChangedSince(seed));
}

TEST_F(TagGroups, ParsedPathsAnswerTheHoldingGroupAndTheLastStep) {
    TagGroup g = NewGroup();
    g.SetTagAsLong("a:b", 1);
    TagGroup holder;
    qz_string last;
    EXPECT_EQ(g.ParseTagPath(qz_string("a:b"), &holder, &last), 0);
    EXPECT_EQ(holder.CountTags(), 1);
    EXPECT_EQ(Text(last), "b");
    EXPECT_EQ(g.ParseTagPath(qz_string("a:[3]"), &holder, &last), -1) << "no such tag";
    EXPECT_EQ(Text(last), "[3]");
    TagGroup untouched;
    EXPECT_EQ(g.ParseTagPath(qz_string("x:y"), &untouched, &last), -1);
    EXPECT_TRUE(untouched.empty()) << "an earlier step is missing: nothing written";
    EXPECT_EQ(g.ParseAndCreateTagPath(qz_string("x:y"), &untouched, &last), -1);
    EXPECT_TRUE(g.DoesTagExist("x"));
    EXPECT_FALSE(untouched.empty());
    EXPECT_THROW_MESSAGE(g.ParseTagPath(qz_string("x::y"), &holder, &last), Failure,
                         "TagGroupParseTagPath: the tag path 'x::y' is malformed: an empty step at "
                         "position 3.");
}

TEST_F(TagGroups, EachImageHasItsOwnTagGroupAndClonesCopyIt) {
    ImageRef image = NewImage({StandIn::ElementType::UInt16, {3}, "img"});
    TagGroup tags = image.GetTagGroup();
    EXPECT_EQ(image.GetTagGroup().get(), tags.get());
    tags.SetTagAsText("Origin", qz_string("bench"));
    ImageRef copy = image.Clone();
    TagGroup copied = copy.GetTagGroup();
    EXPECT_NE(copied.get(), tags.get());
    qz_string text;
    EXPECT_TRUE(copied.GetTagAsText("Origin", &text));
    EXPECT_EQ(Text(text), "bench");
    copied.SetTagAsText("Origin", qz_string("copy"));
    EXPECT_TRUE(tags.GetTagAsText("Origin", &text));
    EXPECT_EQ(Text(text), "bench");
}

TEST_F(TagGroups, EveryTagGroupRowIsAnsweredButTheLeftOutOnes) {
    std::vector<std::string> defined, missing;
    SplitCatalogue(
        host(), [](const std::string& name) { return StartsWith(name, "TagGroup"); }, defined,
        missing);
    EXPECT_EQ(missing,
              (std::vector<std::string>{
                  "void TagGroupExecuteScriptGroup( TagGroup, string )",
                  "long TagGroupGetTagSize( TagGroup, long )",
                  "long TagGroupGetTagType( TagGroup, long, long )",
                  "long TagGroupGetTagTypeLength( TagGroup, long )",
                  "Boolean TagGroupLoadFromFile( TagGroup, qz_string )",
                  "Boolean TagGroupLoadFromFileWithLabel( TagGroup, qz_string, qz_string * )",
                  "Window TagGroupOpenBrowserWindow( TagGroup, Boolean )",
                  "void TagGroupSaveToFile( TagGroup, qz_string )",
                  "void TagGroupSaveToFileWithLabel( TagGroup, qz_string, qz_string )",
                  "void TagGroupSetTagRGBBitmap( TagGroup, string, ImageRef )",
              }));
    EXPECT_EQ(defined.size(), 148u);
}

}  // namespace
}  // namespace ModelTest
