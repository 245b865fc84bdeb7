#!/usr/bin/env python3
"""Checks of generate_stubs.py: rows it must reject, annotations, the member rules, and that what
it writes compiles warning-free.

Paths come from the environment when CTest runs this (PHOTARION_STUBGEN, PHOTARION_SDK_DIR,
PHOTARION_CXX); otherwise they are found from this file's place in the tree, and the compile
check uses c++ from PATH when there is one.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SDK_DIR = os.environ.get("PHOTARION_SDK_DIR", os.path.join(HERE, "..", "..", "sdk"))
GENERATOR = os.environ.get("PHOTARION_STUBGEN",
                           os.path.join(SDK_DIR, "hostcall", "generate_stubs.py"))
CXX = os.environ.get("PHOTARION_CXX") or shutil.which("c++")

CLASSES = ["ImageRef", "ROI", "Component", "ImageDisplay", "LinePlotImageDisplay",
           "RasterImageDisplay", "SurfacePlotImageDisplay", "ImageDocument", "TagGroup", "Window",
           "ScriptObject", "qz_string", "Throwable", "Function"]


class GeneratorCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="stubgen-")
        self.addCleanup(shutil.rmtree, self.dir)
        self.out = os.path.join(self.dir, "out")

    def generate(self, text, *extra, newline="\n"):
        catalogue = os.path.join(self.dir, "catalogue.txt")
        with open(catalogue, "w", newline=newline) as f:
            f.write(text)
        return subprocess.run([sys.executable, GENERATOR, "--catalogue", catalogue, "--out-dir",
                               self.out, *extra], capture_output=True, text=True)

    def read(self, relative):
        with open(os.path.join(self.out, relative)) as f:
            return f.read()

    def assertRejected(self, text, line, reason):
        result = self.generate(text)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("catalogue.txt:%d:" % line, result.stderr)
        self.assertIn(reason, result.stderr)
        self.assertFalse(os.path.exists(self.out), "nothing is written for a bad catalogue")


class RejectedRows(GeneratorCase):
    # (row, part of the reason); each row stands on line 3, after a comment and a good row.
    BAD_ROWS = [
        ("void Beep()", "parameter list"),
        ("void Beep( )", "parameter list"),
        ("void Beep(   )", "exactly one space"),
        ("void  Beep(  )", "exactly one space before the name"),
        ("void Take(long )", "parameter list"),
        ("void Take( long,long )", "malformed parameter 'long,long'"),
        ("void Take( long , long )", "malformed parameter"),
        ("void Take( long* )", "malformed parameter 'long*'"),
        ("void Take( long ) ", None),  # trailing blanks are not part of the row: accepted
        ("void Take( long )x", "must end with ')'"),
        ("long * Take(  )", "exactly one space before the name"),
        ("Gizmo Take(  )", "unknown result type 'Gizmo'"),
        ("complex Take(  )", "unknown result type 'complex'"),
        ("void Take( uint32 * )", "unknown parameter type 'uint32 *'"),
        ("void Take( RealImagePtr * )", "unknown parameter type 'RealImagePtr *'"),
        ("void Take( Image * )", "unknown parameter type 'Image *'"),
        ("void Take( long long )", "unknown parameter type 'long'"),
        ("void *ImageLockData( Image *im, float x )", "unknown parameter type 'float'"),
        ("long *ImageLockData( Image *im )", "unknown result type 'long *'"),
        ("void *Lock( Image *im, long *extra... )", "unsupported variadic"),
        ("void *Lock( Image *im, uint32 r )", "clashes"),
        ("void Take( float )    @address 1", "parameter 1 is 'float', not 'long'"),
        ("void Take( long )    @address 2", "the row has 1 parameters"),
        ("void Take( long )    @address result", "the result is 'void'"),
        ("void Take( long )    @address", "needs 'result'"),
        ("void Take( long )    @address first", "neither 'result' nor a parameter position"),
        ("void Take( long )    @wide 1", "unknown annotation '@wide'"),
        ("void Take( long )@address 1", "separated from the signature"),
        ("void delete(  )", "clashes with a C++ keyword"),
        ("void Function(  )", "clashes"),
        ("Boolean Imageget( ImageRef )", "'ImageRef::get' clashes"),
    ]

    def test_each_malformed_row_fails_with_its_line_and_reason(self):
        for row, reason in self.BAD_ROWS:
            with self.subTest(row=row):
                shutil.rmtree(self.out, ignore_errors=True)
                text = "# comment\nvoid Beep(  )\n%s\n" % row
                if reason is None:
                    self.assertEqual(self.generate(text).returncode, 0)
                else:
                    self.assertRejected(text, 3, reason)

    def test_rows_that_clash_with_each_other(self):
        cases = [
            ("void F( long )\nvoid F( long )\n", 2, "duplicate of the row at line 1"),
            ("void F( ulong )\nvoid F( uint32 )\n", 2, "same C++ parameter list"),
            ("void F( long )\nlong F( long )\n", 2, "same C++ parameter list"),
            ("void F(  )\nvoid G(  )\nvoid F( long )\n", 3, "must stand together"),
        ]
        for text, line, reason in cases:
            with self.subTest(text=text):
                self.assertRejected(text, line, reason)

    def test_empty_catalogue_fails(self):
        self.assertRejected("# nothing\n\n", 0, "no rows")


class Stubs(GeneratorCase):
    def test_address_annotation_widens_only_the_marked_longs_and_leaves_the_text(self):
        result = self.generate("long GetDataPtr( ImageRef )  @address result\n"
                               "long RegisterCustomTool( string, long )\t@address 2\n"
                               "long Pair( long, long )  @address 1,2 @address result\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        header = self.read("hostcall/Stubs.h")
        source = self.read("hostcall/Stubs.cpp")
        self.assertIn("std::intptr_t GetDataPtr(const ImageRef& p1);", header)
        self.assertIn("std::int32_t RegisterCustomTool(const char* p1, std::intptr_t p2);",
                      header)
        self.assertIn("std::intptr_t Pair(std::intptr_t p1, std::intptr_t p2);", header)
        self.assertIn('= "long GetDataPtr( ImageRef )";', source)
        self.assertIn('= "long RegisterCustomTool( string, long )";', source)
        self.assertNotIn("@", source.replace("// ", ""))

    def test_carriage_returns_stay_out_of_the_signature(self):
        result = self.generate("void Beep(  )\n", newline="\r\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn('"void Beep(  )"', self.read("hostcall/Stubs.cpp"))

    def test_namespace_stem_and_overload_constants(self):
        result = self.generate("ImageRef GetFrontImage(  )\nBoolean GetFrontImage( ImageRef * )\n",
                               "--namespace", "Elsewhere", "--stem", "Other")
        self.assertEqual(result.returncode, 0, result.stderr)
        header = self.read("hostcall/Other.h")
        source = self.read("hostcall/Other.cpp")
        self.assertIn("namespace Vorna::Elsewhere {", header)
        self.assertIn('#include "hostcall/Other.h"', source)
        self.assertIn("{kSignature_GetFrontImage_1, 1},", source)
        self.assertIn("{kSignature_GetFrontImage_2, 2},", source)
        self.assertIn("Do not edit", header)
        self.assertFalse(os.path.exists(os.path.join(self.out, "members")))


MEMBER_CATALOGUE = """\
void ComponentRemoveFromParent( Component )
Function FunctionCountSomething( ulong )
ulong FunctionCountParameters( Function )
void ImageDataChanged( ImageRef )
long ImageDisplayCountROIs( ImageDisplay )
ImageRef ImageDocumentGetImage( ImageDocument, long )
RealImagePtr ImageFromNothing( long )
ImageDisplay ImageGetImageDisplay( ImageRef, long )
void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, uint32 *act_num_dim, uint32 *data_type, uint32 *pack_style, long *dimension_info... )
Boolean ImageIsRealThing( RealImagePtr )
void *ImageLockData( Image *im, uint32 lock_flags )
Boolean ImageTakeInto( ImageRef *, Boolean * )
void LinePlotImageDisplaySetSlice( LinePlotImageDisplay, long )
void RasterImageDisplaySetThresholdOn( RasterImageDisplay, Boolean )
void ROISetColor( ROI, float, float, float )
void ROISetRegionToComplexValue( ROI, ComplexImagePtr, complex, float, float, float, float )
ulong ScriptObjectGetClassToken( ScriptObject, string )
qz_string StringAppend( qz_string *, qz_string )
qz_string StringAppend( qz_string *, ulong, ulong )
qz_string StringConvertToEncoding( qz_string, ulong )
void SurfacePlotImageDisplaySetShadingOn( SurfacePlotImageDisplay, Boolean )
Boolean TagGroupGetTagAsRGBUInt16( TagGroup, long, uint16 *, uint16 *, uint16 * )
Boolean TagGroupGetTagAsRGBUInt16( TagGroup, string, uint16 *, uint16 *, uint16 * )
Boolean TagGroupGetTagAsTagGroup( TagGroup, string, TagGroup * )
Boolean ThrowableIsValid( Throwable )
void WindowSendBehind( Window, Window )
"""


class MemberRules(GeneratorCase):
    def setUp(self):
        super().setUp()
        result = self.generate(MEMBER_CATALOGUE, "--members")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.inc = {cls: self.read("members/%s.inc" % cls) for cls in CLASSES}
        self.members = self.read("hostcall/Members.cpp")

    def test_every_class_gets_an_include_file(self):
        self.assertEqual(sorted(os.listdir(os.path.join(self.out, "members"))),
                         sorted(cls + ".inc" for cls in CLASSES))

    def test_prefix_and_first_parameter_decide_membership(self):
        self.assertIn("void DataChanged() const;", self.inc["ImageRef"])
        self.assertIn("ImageDisplay GetImageDisplay(std::int32_t p2) const;", self.inc["ImageRef"])
        self.assertIn("bool IsRealThing() const;", self.inc["ImageRef"])
        self.assertIn("std::int32_t CountROIs() const;", self.inc["ImageDisplay"])
        self.assertIn("ImageRef GetImage(std::int32_t p2) const;", self.inc["ImageDocument"])
        self.assertIn("void SendBehind(const Window& p2) const;", self.inc["Window"])
        self.assertIn("std::uint32_t CountParameters() const;", self.inc["Function"])
        self.assertIn("void SetSlice(std::int32_t p2) const;", self.inc["LinePlotImageDisplay"])
        # A longer kind's prefix wins; another first parameter, or the locking form, is no member.
        self.assertNotIn("CountROIs", self.inc["ImageRef"])
        self.assertNotIn("DocumentGetImage", self.inc["ImageRef"])
        self.assertNotIn("FromNothing", self.inc["ImageRef"])
        self.assertNotIn("CountSomething", self.inc["Function"])
        self.assertNotIn("LockData", self.inc["ImageRef"])
        self.assertNotIn("GetLockedData", self.members)

    def test_convert_to_encoding_is_no_member(self):
        self.assertNotIn("ConvertToEncoding", self.inc["qz_string"])
        self.assertNotIn("ConvertToEncoding", self.members)

    def test_pointer_first_members_are_non_const_and_pass_their_address(self):
        self.assertIn("qz_string Append(const qz_string& p2);", self.inc["qz_string"])
        self.assertIn("qz_string Append(std::uint32_t p2, std::uint32_t p3);",
                      self.inc["qz_string"])
        self.assertIn("bool TakeInto(bool* p2);", self.inc["ImageRef"])
        self.assertIn("return QZ::StringAppend(this, p2);", self.members)
        self.assertIn("    QZ::ImageDataChanged(*this);", self.members)

    def test_overloads_of_one_name_become_member_overloads(self):
        tag_group = self.inc["TagGroup"]
        self.assertIn("bool GetTagAsRGBUInt16(std::int32_t p2, std::uint16_t* p3", tag_group)
        self.assertIn("bool GetTagAsRGBUInt16(const char* p2, std::uint16_t* p3", tag_group)

    @unittest.skipUnless(CXX, "no C++ compiler")
    def test_generated_code_compiles_without_warnings(self):
        for source in ("hostcall/Stubs.cpp", "hostcall/Members.cpp"):
            with self.subTest(source=source):
                result = subprocess.run(
                    [CXX, "-std=c++17", "-Wall", "-Wextra", "-Werror", "-fsyntax-only",
                     "-I", self.out, "-I", SDK_DIR, os.path.join(self.out, source)],
                    capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stderr)


if __name__ == "__main__":
    unittest.main()
