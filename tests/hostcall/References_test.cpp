// Counted references: every operation's exact effect on the host's counts.
#include "hostcall/References.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LinkedHost.h"

namespace {

using namespace Vorna;
using StandIn::InterfaceKind;
using TestSupport::LinkedHostTest;

class ReferencesTest : public LinkedHostTest {
  protected:
    int countCalls() {
        return host().countSlotCalls(InterfaceKind::ClassInterface, 6) +
               host().countSlotCalls(InterfaceKind::ClassInterface, 7);
    }
};

TEST_F(ReferencesTest, EmptyReferencesMakeNoHostCall) {
    host().clearCallLog();
    {
        qz_string empty;
        qz_string zero(Handle{0});
        qz_string adoptedZero(0, kAdopt);
        qz_string copy(empty);
        copy = empty;
        copy.adopt(0);
        EXPECT_EQ(0u, copy.release());
    }
    EXPECT_EQ(0, countCalls());
}

TEST_F(ReferencesTest, AddAdoptCopyAssignAndReleaseCountExactly) {
    const Handle h = host().makeString("counted");
    const Handle other = host().makeString("other");
    {
        qz_string added(h);
        EXPECT_EQ(1, host().moduleReferences(h));
        qz_string copy(added);
        EXPECT_EQ(2, host().moduleReferences(h));
        copy = copy;  // add comes before drop
        EXPECT_EQ(2, host().moduleReferences(h));
        copy = other;
        EXPECT_EQ(1, host().moduleReferences(h));
        EXPECT_EQ(1, host().moduleReferences(other));
        copy = Handle{0};
        EXPECT_EQ(0, host().moduleReferences(other));

        host().clearCallLog();
        qz_string moved(std::move(added));
        EXPECT_EQ(0, countCalls()) << "a move changes no count";
        EXPECT_TRUE(added.empty());

        Handle released = moved.release();
        EXPECT_EQ(h, released);
        EXPECT_TRUE(moved.empty());
        EXPECT_EQ(1, host().moduleReferences(h)) << "the count went to the caller";
        qz_string adopted(released, kAdopt);
        EXPECT_EQ(1, host().moduleReferences(h));
    }
    EXPECT_EQ(0, host().moduleReferences(h));
    host().drop(h);
    host().drop(other);
}

TEST_F(ReferencesTest, AddressLetsTheHostFillTheReference) {
    const Handle h = host().makeString("written through the address");
    {
        qz_string out;
        qz_string source(h);
        *out.address() = source.release();  // as a host out-parameter does, with its count
        host().drop(h);
        EXPECT_EQ(h, out.get());
    }
    EXPECT_FALSE(host().isAlive(h)) << "whatever the word held at destruction was dropped";
}

TEST_F(ReferencesTest, FunctionCacheAssignmentIgnoresTheHandleItHolds) {
    host().define("void Nop(  )", [](StandIn::NativeCall&) {});
    Vorna::HostEnvironment* env = host().environment();
    const Handle f = env->table->findScriptFunction(env, 0, "void Nop(  )");
    {
        Function cache(f, kAdopt);
        host().clearCallLog();
        cache = f;
        EXPECT_EQ(0, countCalls());
        EXPECT_EQ(1, host().moduleReferences(f));
    }
    EXPECT_FALSE(host().isAlive(f));
}

TEST_F(ReferencesTest, ClassInterfacesAreFetchedOncePerEnvironment) {
    host().clearCallLog();
    TestSupport::RelinkTheHost();
    EXPECT_EQ(kObjectKindCount, host().countSlotCalls(InterfaceKind::Environment, 4));
    for (int k = 0; k < kObjectKindCount; ++k)
        EXPECT_EQ(1, host().classInterfaceReferences(TypeKey(static_cast<ObjectKind>(k))))
            << TypeKey(static_cast<ObjectKind>(k));
}

TEST_F(ReferencesTest, AReferenceIsDroppedThroughTheInterfaceInstalledSinceItWasMade) {
    const Handle h = host().makeString("outlives a relink");
    {
        qz_string held(h);
        QZPlugIn_Link_2(nullptr);
        PlugInStartup();  // stand-by interfaces now
        { qz_string nothing(h); }
        EXPECT_EQ(1, host().moduleReferences(h)) << "stand-by interfaces count nothing";
        TestSupport::RelinkTheHost();
    }
    EXPECT_EQ(0, host().moduleReferences(h));
    host().drop(h);
}

TEST_F(ReferencesTest, AnImageDisplayServesAsAComponent) {
    const Handle h = host().makeObject(StandIn::ObjectKind::ImageDisplay);
    ImageDisplay display(h);
    Component copy(display);
    EXPECT_EQ(2, host().moduleReferences(h));
    Component adopted(std::move(display));
    EXPECT_EQ(2, host().moduleReferences(h));
    EXPECT_EQ(h, adopted.get());
    copy = Handle{0};
    adopted = Handle{0};
    host().drop(h);
}

TEST_F(ReferencesTest, StringsCopyTheirTextWithinTheGivenCapacity) {
    qz_string text("Hello, host");
    char buffer[32] = {};
    EXPECT_EQ(11u, text.CopyText(kEncodingNarrow, nullptr, 0));
    EXPECT_EQ(5u, text.CopyText(kEncodingNarrow, buffer, 5));
    EXPECT_EQ("Hello", std::string(buffer));
    std::string grown;
    EXPECT_EQ(11u, text.CopyTextToBuffer(kEncodingNarrow, grown));
    EXPECT_EQ("Hello, host", grown);

    char16_t units[4] = {};
    EXPECT_EQ(3u, text.CopyTextUTF16(units, 3));
    EXPECT_EQ(u"Hel", std::u16string(units, 3));
    std::u16string wide;
    EXPECT_EQ(11u, text.CopyTextUTF16ToBuffer(wide));
    EXPECT_EQ(u"Hello, host", wide);

    qz_string fromWide;
    fromWide.MakeStringUTF16(u"\u00e9t\u00e9", 3);
    EXPECT_EQ(u"\u00e9t\u00e9", host().readStringUTF16(fromWide.get()));
    EXPECT_EQ(0u, qz_string().CopyText(kEncodingNarrow, buffer, 32)) << "no text lent for 0";
}

}  // namespace
