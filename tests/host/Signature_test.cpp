// Signature parsing: the three accepted forms, record counts and widths, strict rejection, and the
// free spacing of registrations.
#include "Signature.h"

#include <gtest/gtest.h>

#include "ExpectThrow.h"

using namespace StandIn;

namespace {

constexpr std::size_t kPtr = sizeof(void*);

std::vector<std::size_t> widths(const Signature& s) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < s.recordCount(); ++i) out.push_back(s.recordWidth(i));
    return out;
}

TEST(SignatureParse, CatalogueFormGivesNameTypesAndWidths) {
    Signature s = parseSignature("uint32 ImageGetDimensionSize( ImageRef, uint32 )");
    EXPECT_EQ(s.style, SignatureStyle::Catalogue);
    EXPECT_EQ(s.name, "ImageGetDimensionSize");
    EXPECT_EQ(s.result.kind, ValueKind::ULong);
    ASSERT_EQ(s.params.size(), 2u);
    EXPECT_EQ(s.params[0].kind, ValueKind::Object);
    EXPECT_EQ(s.params[0].objectKind, ObjectKind::Image);
    EXPECT_EQ(s.recordCount(), 3u);
    EXPECT_EQ(widths(s), (std::vector<std::size_t>{4, 4, 4}));
}

TEST(SignatureParse, EmptyParameterListNeedsTwoSpaces) {
    Signature s = parseSignature("void Beep(  )");
    EXPECT_EQ(s.recordCount(), 0u);
    EXPECT_THROW(parseSignature("void Beep( )"), SignatureError);
    EXPECT_THROW(parseSignature("void Beep()x"), SignatureError);
    EXPECT_EQ(parseSignature("ImageRef GetFrontImage(  )").recordCount(), 1u);
}

TEST(SignatureParse, WidthsFollowTheScriptTypes) {
    Signature s = parseSignature(
        "void F( Boolean, char, short, uint16, long, float, double, complex, RGB, string, "
        "stringbuffer, void *, "
        "PFFileReference, long *, Boolean *, ImageRef *, qz_string )");
    EXPECT_EQ(widths(s), (std::vector<std::size_t>{1, 1, 2, 2, 4, 4, 8, 16, 4, kPtr, kPtr, kPtr, 4,
                                                   kPtr, kPtr, kPtr, 4}));
    EXPECT_TRUE(s.params[13].pointer);
    EXPECT_EQ(s.params[13].spelling(), "long *");
}

TEST(SignatureParse, AddressCarryingLongsArePointerWide) {
    EXPECT_EQ(parseSignature("long GetDataPtr( ImageRef )").recordWidth(0), kPtr);
    EXPECT_EQ(parseSignature("long GetDepth( ImageRef )").recordWidth(0), 4u);
    Signature menu = parseSignature("long RegisterCustomMenu( long )");
    EXPECT_EQ(widths(menu), (std::vector<std::size_t>{4, kPtr}));
    Signature tool = parseSignature("long RegisterCustomTool( string, long )");
    EXPECT_EQ(widths(tool), (std::vector<std::size_t>{4, kPtr, kPtr}));
    EXPECT_TRUE(tool.params[1].carriesAddress);
}

TEST(SignatureParse, CompactRegistrationForm) {
    Signature s = parseSignature("RealImagePtr shiftImage(ImageRef *,float,float)");
    EXPECT_EQ(s.style, SignatureStyle::Compact);
    EXPECT_EQ(s.name, "shiftImage");
    EXPECT_EQ(widths(s), (std::vector<std::size_t>{4, kPtr, 4, 4}));
    EXPECT_EQ(parseSignature("RealImagePtr HoughTransform(ImageRef *)").params.size(), 1u);
    EXPECT_EQ(parseSignature("void f()").recordCount(), 0u);
}

TEST(SignatureParse, NamedLockSignatures) {
    Signature lock = parseSignature("void *ImageLockData( Image *im, uint32 lock_flags )");
    EXPECT_EQ(lock.style, SignatureStyle::Named);
    EXPECT_TRUE(lock.hasResult());
    EXPECT_EQ(lock.params[0].name, "im");
    EXPECT_EQ(lock.params[0].kind, ValueKind::Image);
    EXPECT_EQ(widths(lock), (std::vector<std::size_t>{kPtr, kPtr, 4}));

    Signature get = parseSignature(
        "void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, uint32 "
        "*act_num_dim, "
        "uint32 *data_type, uint32 *pack_style, long *dimension_info... )");
    EXPECT_TRUE(get.variadic);
    EXPECT_EQ(get.recordCount(), 17u);
    EXPECT_EQ(get.recordWidth(3), 4u);  // des_num_dim
    for (std::size_t r = 7; r < 17; ++r) EXPECT_EQ(get.recordWidth(r), kPtr) << r;

    Signature unlock =
        parseSignature("void ImageUnlockData( Image *im, void *locked_data, uint32 unlock_flags )");
    EXPECT_FALSE(unlock.hasResult());
    EXPECT_EQ(unlock.recordCount(), 3u);
}

TEST(SignatureParse, RequiredStyleIsEnforced) {
    EXPECT_NO_THROW(parseSignature("void Beep(  )", SignatureStyle::Catalogue));
    EXPECT_THROW(parseSignature("void f()", SignatureStyle::Catalogue), SignatureError);
}

class MalformedSignature : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedSignature, IsRejected) {
    EXPECT_THROW(parseSignature(GetParam()), SignatureError) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    Strictness, MalformedSignature,
    ::testing::Values(
        "", " void Beep(  )", "void  Beep(  )", "void Beep (  )", "void Beep(", "void Beep(  ) ",
        "void Beep(   )", "voidBeep(  )", "void 1Beep(  )", "void F( long,long )",
        "void F( long , long )", "void F(long )", "void F( long)", "void F( long,  long )",
        "void F( long* )", "void F( long  * )", "void F( long **, long )", "void F( long, )",
        "void F( , long )", "void F( Image )", "void F( string * )", "void F( void )",
        "void F( Unknown )", "long * F( long )", "long *F( long x )", "string F( long )",
        "void F(long, long)", "void F(long,)", "void F(long x)", "void *F(  )", "void *F( long )",
        "void F( long x, long )", "void F( long, long y )", "void F( long *x... , long y )",
        "void F( long x..., long y )", "void F( long... )", "void F( Image *im )x",
        "RealImagePtr shiftImage(ImageRef*,float)", "void F( long )\n", "void F(\tlong )"));

TEST(SignatureParse, ErrorNamesPositionAndText) {
    try {
        parseSignature("void F( long,long )");
        FAIL();
    } catch (const SignatureError& e) {
        std::string what = e.what();
        EXPECT_NE(what.find("void F( long,long )"), std::string::npos) << what;
        EXPECT_NE(what.find("at 13"), std::string::npos) << what;
    }
}

TEST(SignatureParse, EmbeddedZeroByteIsRejected) {
    EXPECT_THROW(parseSignature(std::string("void F(  )\0x", 12)), SignatureError);
    EXPECT_THROW(parseRegistrationSignature(std::string("void F()\0", 9)), SignatureError);
}

// ---- Registrations: the spacing a person writes ------------------------------------------------

TEST(RegistrationSignature, EverySpacingOfOneListGivesTheSameParametersAndKeepsItsText) {
    const Signature reference = parseSignature("RealImagePtr shiftImage(ImageRef *,float,float)");
    for (const char* text : {
             "RealImagePtr shiftImage(ImageRef *, float, float)",
             "RealImagePtr shiftImage( ImageRef *, float, float )",
             "RealImagePtr shiftImage(ImageRef *,float,float)",
             "RealImagePtr shiftImage(ImageRef*,float,float)",
             "RealImagePtr shiftImage (ImageRef * , float,float )",
             "  RealImagePtr   shiftImage(ImageRef  *,float , float)  ",
         }) {
        const Signature s = parseRegistrationSignature(text);
        EXPECT_EQ(s.text, text);
        EXPECT_EQ(s.name, "shiftImage") << text;
        EXPECT_EQ(widths(s), widths(reference)) << text;
        ASSERT_EQ(s.params.size(), 3u) << text;
        EXPECT_EQ(s.params[0].spelling(), "ImageRef *") << text;
        EXPECT_EQ(s.params[0].objectKind, ObjectKind::Image) << text;
    }
    EXPECT_EQ(parseRegistrationSignature("void f( )").recordCount(), 0u);
    EXPECT_EQ(parseRegistrationSignature("long GetDataPtr(ImageRef)").recordWidth(0), kPtr)
        << "the same address-carrying longs";
}

TEST(RegistrationSignature, TheStrictFormsParseAsBeforeAndStayStrictElsewhere) {
    EXPECT_EQ(parseRegistrationSignature("uint32 F( ImageRef, uint32 )").style,
              SignatureStyle::Catalogue);
    EXPECT_EQ(parseRegistrationSignature("RealImagePtr F(ImageRef *)").style,
              SignatureStyle::Compact);
    EXPECT_EQ(parseRegistrationSignature("void *ImageLockData( Image *im, uint32 lock_flags )")
                  .params[0]
                  .name,
              "im");
    EXPECT_EQ(parseRegistrationSignature("long F(long,  short)").style, SignatureStyle::Compact);
    EXPECT_THROW(parseSignature("RealImagePtr F(ImageRef *, float)"), SignatureError);
}

class MalformedRegistration : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedRegistration, IsRejected) {
    EXPECT_THROW(parseRegistrationSignature(GetParam()), SignatureError) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(WhatSpacingDoesNotMend, MalformedRegistration,
                         ::testing::Values("", "   ", "longF(long)", "long F(long", "long F(long))",
                                           "long F(long,)", "long F(,long)", "long F(long x)",
                                           "long F(long * *)", "long F(Unknown)", "void *F()",
                                           "long F(string *)", "long F(\tlong)", "long\tF(long)",
                                           "long F(long) x", "long F(Image *)"));

TEST(RegistrationSignature, ErrorsNameThePositionInTheTextAsGiven) {
    EXPECT_THROW_MESSAGE(parseRegistrationSignature("long  F(long, Unknown )"), SignatureError,
                         "bad signature \"long  F(long, Unknown )\" at 22: unknown parameter type "
                         "\"Unknown\"");
    EXPECT_THROW_MESSAGE(parseRegistrationSignature("long F(long x)"), SignatureError,
                         "bad signature \"long F(long x)\" at 12: expected ',' or ')' after a "
                         "parameter");
}

}  // namespace
