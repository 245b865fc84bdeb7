// The generated stubs against a fake host: what reaches the host in each record, what comes back,
// and which host counts change. The stubs here come from test_catalogue.txt, whose rows together
// use every script type, generated into Vorna::TestStubs.
//
// Byte patterns are little-endian, as on every target of the module.
#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "hostcall/TestStubs.h"

namespace HostcallTest {
namespace {

using namespace Vorna;
using Bytes = std::vector<unsigned char>;

constexpr std::int32_t kFailed = 5;

class StubMarshalling : public ::testing::Test {
  protected:
    // The one call the host received, checked for its signature and record count.
    const RecordedCall& OnlyCall(const char* signature, std::int32_t count) {
        EXPECT_EQ(host.fCalls.size(), 1u);
        const RecordedCall& call = host.LastCall();
        EXPECT_EQ(call.signature, signature);
        EXPECT_EQ(call.function, FakeHost::HandleFor(signature));
        EXPECT_EQ(call.count, count);
        EXPECT_EQ(call.records.size(), static_cast<std::size_t>(count));
        return call;
    }
    // Lets the host answer every call by writing `value` into record 0, after filling the rest
    // of the record with a pattern that must not be read.
    template <class T>
    void AnswerWith(const T& value) {
        host.fOnCall = [value](ScriptArgRecord* records, std::int32_t) {
            std::memset(records[0].bytes, 0xEE, sizeof records[0].bytes);
            Store(records[0], value);
        };
    }

    FakeHost host;
};

// ---- Parameters ----------------------------------------------------------------------------

TEST_F(StubMarshalling, EmptyParameterListCallsWithNoRecordsUnderTwoSpaces) {
    TestStubs::Beep();
    const RecordedCall& call = OnlyCall("void Beep(  )", 0);
    EXPECT_TRUE(call.recordsNull);
}

TEST_F(StubMarshalling, ValueParametersFillTheirOwnWidthInSignatureOrder) {
    PoisonStack();
    TestStubs::TakeValues(-2, 0x89ABCDEFu, 0x01020304u, -3, 0xBEEF, true, 'x', 1.5f, -2.25,
                          0x00112233u);
    const RecordedCall& call = OnlyCall(
        "void TakeValues( long, ulong, uint32, short, uint16, Boolean, char, float, double, RGB )",
        10);
    EXPECT_EQ(Prefix(call.records[0], 4), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Prefix(call.records[1], 4), (Bytes{0xEF, 0xCD, 0xAB, 0x89}));
    EXPECT_EQ(Prefix(call.records[2], 4), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(Prefix(call.records[3], 2), (Bytes{0xFD, 0xFF}));
    EXPECT_EQ(Prefix(call.records[4], 2), (Bytes{0xEF, 0xBE}));
    EXPECT_EQ(Prefix(call.records[5], 1), (Bytes{0x01}));
    EXPECT_EQ(Prefix(call.records[6], 1), (Bytes{'x'}));
    EXPECT_EQ(Prefix(call.records[7], 4), (Bytes{0x00, 0x00, 0xC0, 0x3F}));
    EXPECT_EQ(Prefix(call.records[8], 8), (Bytes{0, 0, 0, 0, 0, 0, 0x02, 0xC0}));
    EXPECT_EQ(Prefix(call.records[9], 4), (Bytes{0x33, 0x22, 0x11, 0x00}));

    TestStubs::TakeValues(0, 0, 0, 0, 0, false, '\0', 0.0f, 0.0, 0);
    EXPECT_EQ(Prefix(host.LastCall().records[5], 1), (Bytes{0x00}));
}

TEST_F(StubMarshalling, ComplexIsCopiedWhole) {
    PoisonStack();
    TestStubs::TakeComplex(complex(1.5, -0.125));
    const RecordedCall& call = OnlyCall("void TakeComplex( complex )", 1);
    Bytes expected = BytesOf(1.5);
    Bytes imaginary = BytesOf(-0.125);
    expected.insert(expected.end(), imaginary.begin(), imaginary.end());
    EXPECT_EQ(Prefix(call.records[0], 16), expected);
}

TEST_F(StubMarshalling, TextsAndUntypedPointersPassTheirAddresses) {
    const char* text = "abc";
    char buffer[16] = "";
    int anything = 0;
    host.fOnCall = [](ScriptArgRecord* records, std::int32_t) {
        std::strcpy(Load<char*>(records[1]), "filled");
    };
    PoisonStack();
    TestStubs::TakeTexts(text, buffer, &anything);
    const RecordedCall& call = OnlyCall("void TakeTexts( string, stringbuffer, void * )", 3);
    EXPECT_EQ(Prefix(call.records[0], sizeof(void*)), BytesOf(text));
    EXPECT_EQ(Prefix(call.records[1], sizeof(void*)), BytesOf(&buffer[0]));
    EXPECT_EQ(Prefix(call.records[2], sizeof(void*)), BytesOf(static_cast<void*>(&anything)));
    EXPECT_STREQ(buffer, "filled");
}

TEST_F(StubMarshalling, TokensTravelAsFourBytes) {
    TestStubs::TakeTokens(0x11223344u, 0x55667788u, 0x99AABBCCu);
    const RecordedCall& call =
        OnlyCall("void TakeTokens( PFFileReference, Handle, External32BitType )", 3);
    EXPECT_EQ(Prefix(call.records[0], 4), (Bytes{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(Prefix(call.records[1], 4), (Bytes{0x88, 0x77, 0x66, 0x55}));
    EXPECT_EQ(Prefix(call.records[2], 4), (Bytes{0xCC, 0xBB, 0xAA, 0x99}));
}

TEST_F(StubMarshalling, PointerParametersLetTheHostWriteThroughThem) {
    std::int32_t l = 0;
    std::uint32_t ul = 0;
    std::int16_t s = 0;
    std::uint16_t us = 0;
    float f = 0;
    double d = 0;
    complex c;
    RGBColor rgb = 0;
    host.fOnCall = [](ScriptArgRecord* r, std::int32_t) {
        *Load<std::int32_t*>(r[0]) = -7;
        *Load<std::uint32_t*>(r[1]) = 0xFFFFFFF9u;
        *Load<std::int16_t*>(r[2]) = -8;
        *Load<std::uint16_t*>(r[3]) = 0xFFF8;
        *Load<float*>(r[4]) = 0.5f;
        *Load<double*>(r[5]) = 0.25;
        *Load<complex*>(r[6]) = complex(3, 4);
        *Load<RGBColor*>(r[7]) = 0x00A0B0C0u;
    };
    PoisonStack();
    TestStubs::TakePointers(&l, &ul, &s, &us, &f, &d, &c, &rgb);
    const RecordedCall& call = OnlyCall(
        "void TakePointers( long *, ulong *, short *, uint16 *, float *, double *, complex *, RGB "
        "* )",
        8);
    EXPECT_EQ(Prefix(call.records[0], sizeof(void*)), BytesOf(&l));
    EXPECT_EQ(Prefix(call.records[6], sizeof(void*)), BytesOf(&c));
    EXPECT_EQ(Prefix(call.records[7], sizeof(void*)), BytesOf(&rgb));
    EXPECT_EQ(l, -7);
    EXPECT_EQ(ul, 0xFFFFFFF9u);
    EXPECT_EQ(s, -8);
    EXPECT_EQ(us, 0xFFF8);
    EXPECT_EQ(f, 0.5f);
    EXPECT_EQ(d, 0.25);
    EXPECT_EQ(c, complex(3, 4));
    EXPECT_EQ(rgb, 0x00A0B0C0u);
}

// ---- Boolean out-parameters ----------------------------------------------------------------

TEST_F(StubMarshalling, BooleanPointersGoThroughOneByteCopiesWrittenBackAsZeroOrOne) {
    bool a = true;
    bool b = false;
    unsigned char seenA = 0xFF;
    unsigned char seenB = 0xFF;
    host.fOnCall = [&](ScriptArgRecord* r, std::int32_t) {
        auto* tempA = Load<unsigned char*>(r[1]);
        auto* tempB = Load<unsigned char*>(r[3]);
        seenA = *tempA;
        seenB = *tempB;
        *tempA = 0;
        *tempB = 0x80;  // any non-zero byte reads as true
        r[0].bytes[0] = 1;
    };
    EXPECT_TRUE(TestStubs::TakeBooleanPointers(&a, 9, &b));
    const RecordedCall& call =
        OnlyCall("Boolean TakeBooleanPointers( Boolean *, long, Boolean * )", 4);
    EXPECT_NE(Prefix(call.records[1], sizeof(void*)), BytesOf(&a));  // a copy, not the bool
    EXPECT_EQ(seenA, 1);
    EXPECT_EQ(seenB, 0);
    EXPECT_FALSE(a);
    unsigned char byteOfB;
    std::memcpy(&byteOfB, &b, 1);
    EXPECT_EQ(byteOfB, 1);
}

TEST_F(StubMarshalling, BooleanPointersKeepTheirValuesWhenTheCallFails) {
    bool a = true;
    bool b = false;
    host.fStatus = kFailed;
    host.fOnCall = [](ScriptArgRecord* r, std::int32_t) {
        *Load<unsigned char*>(r[1]) = 0;
        *Load<unsigned char*>(r[3]) = 1;
    };
    EXPECT_THROW(TestStubs::TakeBooleanPointers(&a, 0, &b), std::exception);
    EXPECT_TRUE(a);
    EXPECT_FALSE(b);
}

TEST_F(StubMarshalling, NullBooleanPointerReachesTheHostAsNull) {
    bool b = false;
    host.fOnCall = [](ScriptArgRecord* r, std::int32_t) { *Load<unsigned char*>(r[3]) = 1; };
    PoisonStack();
    TestStubs::TakeBooleanPointers(nullptr, 0, &b);
    EXPECT_EQ(Prefix(host.LastCall().records[1], sizeof(void*)), BytesOf<void*>(nullptr));
    EXPECT_TRUE(b);
}

// ---- Host objects --------------------------------------------------------------------------

TEST_F(StubMarshalling, ReferenceParametersAreBorrowed) {
    ImageRef image(0x501, kAdopt), real(0x502, kAdopt), cplx(0x503, kAdopt), rgb(0x504, kAdopt);
    TestStubs::TakeImages(image, real, cplx, rgb);
    const RecordedCall& images =
        OnlyCall("void TakeImages( ImageRef, RealImagePtr, ComplexImagePtr, RGBImagePtr )", 4);
    for (Handle h = 0x501; h <= 0x504; ++h) {
        EXPECT_EQ(Prefix(images.records[h - 0x501], 4), BytesOf(h));
        EXPECT_EQ(host.CountChange(ObjectKind::Image, h), 0);
    }

    TagGroup tags(0x511, kAdopt);
    Component component(0x512, kAdopt);
    ImageDisplay display(0x513, kAdopt);
    LinePlotImageDisplay linePlot(0x514, kAdopt);
    RasterImageDisplay raster(0x515, kAdopt);
    SurfacePlotImageDisplay surface(0x516, kAdopt);
    ImageDocument document(0x517, kAdopt);
    ROI roi(0x518, kAdopt);
    Window window(0x519, kAdopt);
    ScriptObject object(0x51A, kAdopt);
    Function function(0x51B, kAdopt);
    Throwable throwable(0x51C, kAdopt);
    qz_string string(0x51D, kAdopt);
    host.fCalls.clear();
    TestStubs::TakeObjects(tags, component, display, linePlot, raster, surface, document, roi,
                           window, object, function, throwable, string);
    const RecordedCall& objects = host.LastCall();
    ASSERT_EQ(objects.count, 13);
    const ObjectKind kinds[] = {ObjectKind::TagGroup,
                                ObjectKind::Component,
                                ObjectKind::ImageDisplay,
                                ObjectKind::LinePlotImageDisplay,
                                ObjectKind::RasterImageDisplay,
                                ObjectKind::SurfacePlotImageDisplay,
                                ObjectKind::ImageDocument,
                                ObjectKind::RegionOfInterest,
                                ObjectKind::Window,
                                ObjectKind::ScriptObject,
                                ObjectKind::Function,
                                ObjectKind::Throwable,
                                ObjectKind::String};
    for (Handle i = 0; i < 13; ++i) {
        EXPECT_EQ(Prefix(objects.records[i], 4), BytesOf(Handle(0x511 + i))) << "record " << i;
        EXPECT_EQ(host.CountChange(kinds[i], 0x511 + i), 0) << "record " << i;
    }
}

TEST_F(StubMarshalling, OutReferencesReceiveAndOwnTheHandleTheHostStores) {
    {
        ImageRef image;
        TagGroup tags;
        qz_string string;
        ImageDisplay display;
        host.fOnCall = [](ScriptArgRecord* r, std::int32_t) {
            for (Handle i = 1; i <= 4; ++i) *Load<Handle*>(r[i]) = 0x600 + i;
            r[0].bytes[0] = 1;
        };
        EXPECT_TRUE(TestStubs::TakeOutReferences(&image, &tags, &string, &display));
        const RecordedCall& call = OnlyCall(
            "Boolean TakeOutReferences( ImageRef *, TagGroup *, qz_string *, ImageDisplay * )", 5);
        EXPECT_EQ(Prefix(call.records[1], sizeof(void*)), BytesOf(image.address()));
        EXPECT_EQ(Prefix(call.records[4], sizeof(void*)), BytesOf(display.address()));
        EXPECT_EQ(image.get(), 0x601u);
        EXPECT_EQ(tags.get(), 0x602u);
        EXPECT_EQ(string.get(), 0x603u);
        EXPECT_EQ(display.get(), 0x604u);
        EXPECT_EQ(host.CountChange(ObjectKind::Image, 0x601), 0);
    }
    // Owned: each dropped once, through its own kind.
    EXPECT_EQ(host.Releases(ObjectKind::Image, 0x601), 1);
    EXPECT_EQ(host.Releases(ObjectKind::TagGroup, 0x602), 1);
    EXPECT_EQ(host.Releases(ObjectKind::String, 0x603), 1);
    EXPECT_EQ(host.Releases(ObjectKind::ImageDisplay, 0x604), 1);
}

TEST_F(StubMarshalling, NullOutReferenceReachesTheHostAsNull) {
    PoisonStack();
    TestStubs::TakeOutReferences(nullptr, nullptr, nullptr, nullptr);
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(Prefix(host.LastCall().records[i], sizeof(void*)), BytesOf<void*>(nullptr));
}

// ---- Results -------------------------------------------------------------------------------

TEST_F(StubMarshalling, BooleanResultIsTrueForAnyNonZeroFirstByte) {
    AnswerWith<unsigned char>(0x02);
    EXPECT_TRUE(TestStubs::ReturnBoolean());
    OnlyCall("Boolean ReturnBoolean(  )", 1);
    AnswerWith<unsigned char>(0x00);  // the rest of the record is 0xEE
    EXPECT_FALSE(TestStubs::ReturnBoolean());
}

TEST_F(StubMarshalling, ValueResultsAreReadFromTheFirstBytesOnly) {
    AnswerWith<std::int32_t>(-5);
    EXPECT_EQ(TestStubs::ReturnLong(), -5);
    OnlyCall("long ReturnLong(  )", 1);
    AnswerWith<std::uint32_t>(0xFFFFFFF0u);
    EXPECT_EQ(TestStubs::ReturnULong(), 0xFFFFFFF0u);
    AnswerWith<std::uint32_t>(0x80000001u);
    EXPECT_EQ(TestStubs::ReturnUInt32(), 0x80000001u);
    AnswerWith<std::int16_t>(-2);
    EXPECT_EQ(TestStubs::ReturnShort(), -2);
    AnswerWith(2.5f);
    EXPECT_EQ(TestStubs::ReturnFloat(), 2.5f);
    AnswerWith(-0.75);
    EXPECT_EQ(TestStubs::ReturnDouble(), -0.75);
    AnswerWith<std::uint32_t>(0xF11Eu);
    EXPECT_EQ(TestStubs::ReturnPFFileReference(), 0xF11Eu);
    AnswerWith<std::uint32_t>(0x4A4Eu);
    EXPECT_EQ(TestStubs::ReturnHandle(), 0x4A4Eu);
}

// Calls `stub`, whose host answers `handle`; the result must hold it without a count of its own
// and drop it once, through `kind`, when it goes.
template <class Stub>
void ExpectAdopted(FakeHost& host, Stub stub, ObjectKind kind, Handle handle) {
    host.fOnCall = [handle](ScriptArgRecord* r, std::int32_t) { Store(r[0], handle); };
    {
        auto result = stub();
        EXPECT_EQ(result.get(), handle);
        EXPECT_EQ(host.CountChange(kind, handle), 0);
    }
    EXPECT_EQ(host.Releases(kind, handle), 1);
    EXPECT_EQ(host.CountChange(kind, handle), -1);
}

TEST_F(StubMarshalling, ObjectResultsAdoptTheHostsCount) {
    ExpectAdopted(host, TestStubs::ReturnImageRef, ObjectKind::Image, 0x701);
    ExpectAdopted(host, TestStubs::ReturnRealImagePtr, ObjectKind::Image, 0x702);
    ExpectAdopted(host, TestStubs::ReturnComplexImagePtr, ObjectKind::Image, 0x703);
    ExpectAdopted(host, TestStubs::ReturnRGBImagePtr, ObjectKind::Image, 0x704);
    ExpectAdopted(host, TestStubs::ReturnQzString, ObjectKind::String, 0x705);
    ExpectAdopted(host, TestStubs::ReturnTagGroup, ObjectKind::TagGroup, 0x706);
    ExpectAdopted(host, TestStubs::ReturnComponent, ObjectKind::Component, 0x707);
    ExpectAdopted(host, TestStubs::ReturnWindow, ObjectKind::Window, 0x708);
    ExpectAdopted(host, TestStubs::ReturnImageDocument, ObjectKind::ImageDocument, 0x709);
    ExpectAdopted(host, TestStubs::ReturnFunction, ObjectKind::Function, 0x70A);
    ExpectAdopted(host, TestStubs::ReturnImageDisplay, ObjectKind::ImageDisplay, 0x70B);
    ExpectAdopted(host, TestStubs::ReturnROI, ObjectKind::RegionOfInterest, 0x70C);
    ExpectAdopted(host, TestStubs::ReturnScriptObject, ObjectKind::ScriptObject, 0x70D);
    ASSERT_FALSE(host.fCalls.empty());
    EXPECT_EQ(host.LastCall().signature, "ScriptObject ReturnScriptObject(  )");
    EXPECT_EQ(host.LastCall().count, 1);
}

TEST_F(StubMarshalling, FailedCallBuildsNoResultReference) {
    host.fStatus = kFailed;
    host.fOnCall = [](ScriptArgRecord* r, std::int32_t) { Store<Handle>(r[0], 0x7AA); };
    EXPECT_THROW(TestStubs::ReturnImageRef(), std::exception);
    EXPECT_EQ(host.Releases(ObjectKind::Image, 0x7AA), 0);
}

// ---- Longs that carry addresses, and the image-locking signatures --------------------------

TEST_F(StubMarshalling, AddressLongsTravelPointerWide) {
    int target = 0;
    const auto address = reinterpret_cast<std::intptr_t>(&target);
    AnswerWith(address);
    PoisonStack();
    EXPECT_EQ(TestStubs::GetDataPtr(ImageRef()), address);
    OnlyCall("long GetDataPtr( ImageRef )", 2);

    AnswerWith<std::int32_t>(-9);
    host.fCalls.clear();
    PoisonStack();
    EXPECT_EQ(TestStubs::RegisterCustomTool("tool", address), -9);
    const RecordedCall& call = OnlyCall("long RegisterCustomTool( string, long )", 3);
    EXPECT_EQ(Prefix(call.records[2], sizeof(std::intptr_t)), BytesOf(address));
}

TEST_F(StubMarshalling, LockDataPassesTheImageHandlePointerWide) {
    int data = 0;
    AnswerWith(static_cast<void*>(&data));
    PoisonStack();
    EXPECT_EQ(TestStubs::ImageLockData(0x501, 1), &data);
    const RecordedCall& call = OnlyCall("void *ImageLockData( Image *im, uint32 lock_flags )", 3);
    EXPECT_EQ(Prefix(call.records[1], sizeof(std::uintptr_t)), BytesOf(std::uintptr_t(0x501)));
    EXPECT_EQ(Prefix(call.records[2], 4), BytesOf(std::uint32_t(1)));

    host.fCalls.clear();
    host.fOnCall = nullptr;
    PoisonStack();
    TestStubs::ImageUnlockData(0x501, &data, 1);
    const RecordedCall& unlock =
        OnlyCall("void ImageUnlockData( Image *im, void *locked_data, uint32 unlock_flags )", 3);
    EXPECT_EQ(Prefix(unlock.records[0], sizeof(std::uintptr_t)), BytesOf(std::uintptr_t(0x501)));
    EXPECT_EQ(Prefix(unlock.records[1], sizeof(void*)), BytesOf(static_cast<void*>(&data)));
}

TEST_F(StubMarshalling, GetLockedDataFillsSeventeenRecordsWithSizeStridePairs) {
    int data = 0;
    int token = 0;
    std::uint32_t dims = 5, type = 0, pack = 0;
    std::int32_t v[10] = {};
    host.fOnCall = [&](ScriptArgRecord* r, std::int32_t) {
        Store(r[0], static_cast<void*>(&data));
        *Load<std::uint32_t*>(r[4]) = 2;
        *Load<std::uint32_t*>(r[5]) = 7;
        *Load<std::uint32_t*>(r[6]) = 1;
        for (int i = 0; i < 10; ++i) *Load<std::int32_t*>(r[7 + i]) = 100 + i;
    };
    PoisonStack();
    void* answer =
        TestStubs::ImageGetLockedData(0x501, &token, 5, &dims, &type, &pack, &v[0], &v[1], &v[2],
                                      &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]);
    const RecordedCall& call = OnlyCall(
        "void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, uint32 "
        "*act_num_dim, uint32 *data_type, uint32 *pack_style, long *dimension_info... )",
        17);
    EXPECT_EQ(answer, &data);
    EXPECT_EQ(Prefix(call.records[1], sizeof(std::uintptr_t)), BytesOf(std::uintptr_t(0x501)));
    EXPECT_EQ(Prefix(call.records[2], sizeof(void*)), BytesOf(static_cast<void*>(&token)));
    EXPECT_EQ(Prefix(call.records[3], 4), BytesOf(std::uint32_t(5)));
    EXPECT_EQ(dims, 2u);
    EXPECT_EQ(type, 7u);
    EXPECT_EQ(pack, 1u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Prefix(call.records[7 + i], sizeof(void*)), BytesOf(&v[i])) << i;
        EXPECT_EQ(v[i], 100 + i);
    }
}

// ---- Cached handles and the catalogue ------------------------------------------------------

TEST_F(StubMarshalling, OverloadsOfOneNameEachResolveAndCacheTheirOwnHandle) {
    const std::string noParameters = "ImageRef GetFrontImage(  )";
    const std::string outParameter = "Boolean GetFrontImage( ImageRef * )";
    ImageRef front;
    for (int round = 0; round < 2; ++round) {
        TestStubs::GetFrontImage();
        TestStubs::GetFrontImage(&front);
    }
    ASSERT_EQ(host.fCalls.size(), 4u);
    EXPECT_NE(FakeHost::HandleFor(noParameters), FakeHost::HandleFor(outParameter));
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(host.fCalls[2 * round].signature, noParameters);
        EXPECT_EQ(host.fCalls[2 * round].count, 1);
        EXPECT_EQ(host.fCalls[2 * round + 1].signature, outParameter);
        EXPECT_EQ(host.fCalls[2 * round + 1].count, 2);
    }
    EXPECT_EQ(FakeHost::ResolutionsOf(noParameters), 1);
    EXPECT_EQ(FakeHost::ResolutionsOf(outParameter), 1);
}

TEST(TestCatalogue, TableHoldsEveryRowOfTheFileWithoutItsAnnotations) {
    std::ifstream file(HOSTCALL_TEST_CATALOGUE);
    ASSERT_TRUE(file) << HOSTCALL_TEST_CATALOGUE;
    std::vector<std::string> rows;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::string::size_type at = line.find('@');
        if (at != std::string::npos) line = line.substr(0, line.find_last_not_of(' ', at - 1) + 1);
        rows.push_back(line);
    }
    ASSERT_EQ(rows.size(), TestStubs::kCatalogueSize);
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i], TestStubs::kCatalogue[i].signature) << "row " << i;
}

}  // namespace
}  // namespace HostcallTest
