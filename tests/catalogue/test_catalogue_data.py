#!/usr/bin/env python3
"""Checks of the framework's catalogue of host script functions (sdk/hostcall/catalogue.txt) as
the stub generator reads it, and of the generator's --test-driver option.

Paths come from the environment when CTest runs this (PHOTARION_STUBGEN, PHOTARION_CATALOGUE,
PHOTARION_SDK_DIR, PHOTARION_CXX); otherwise they are found from this file's place in the tree.
"""

import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SDK_DIR = os.environ.get("PHOTARION_SDK_DIR", os.path.join(HERE, "..", "..", "sdk"))
GENERATOR = os.environ.get("PHOTARION_STUBGEN",
                           os.path.join(SDK_DIR, "hostcall", "generate_stubs.py"))
CATALOGUE = os.environ.get("PHOTARION_CATALOGUE",
                           os.path.join(SDK_DIR, "hostcall", "catalogue.txt"))
CXX = os.environ.get("PHOTARION_CXX") or shutil.which("c++")


# The generator's package, from beside the generator script; no cache is left beside it.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(GENERATOR)))
import stubgen.catalogue
import stubgen.kinds
import stubgen.vocabulary

MEMBERS_PER_CLASS = {
    "ImageRef": 58, "ROI": 43, "Component": 52, "ImageDisplay": 52, "LinePlotImageDisplay": 25,
    "RasterImageDisplay": 5, "SurfacePlotImageDisplay": 5, "ImageDocument": 50, "TagGroup": 158,
    "Window": 25, "ScriptObject": 5, "qz_string": 4, "Throwable": 1, "Function": 3,
}

OVERLOADS = {
    "BinaryImage": 3, "ComplexImage": 3, "ExecuteScriptFile": 2, "GetFrontImage": 2,
    "GetLabel": 2, "GetName": 2, "GetNamedImage": 2, "IntegerImage": 3, "NewImage": 4,
    "NewScriptWindowFromFile": 4, "RealImage": 3, "RGBImage": 3, "ScriptObjectLookupMethod": 2,
    "StringAppend": 2, "TagGroupGetTagAsRGBUInt16": 2,
}

# The rows the framework and the image operations call by themselves.
DIRECT_ROWS = [
    "RealImagePtr CreateFloatImage( string, long, long )",
    "uint32 ImageGetDimensionSize( ImageRef, uint32 )",
    "RealImagePtr CreateInteger2DImage( string, long, Boolean, long, long )",
    "void GetSize( ImageRef, long *, long * )",
    "Boolean IsRGBDataType( ImageRef, long )",
    "long GetDataPtr( ImageRef )",
    "long GetDepth( ImageRef )",
    "void ReleaseDataPtr( ImageRef )",
    "void ImageDataChanged( ImageRef )",
    "Boolean ImageIsValid( ImageRef )",
    "void Result( qz_string )",
    "void ShowAlert( string, long )",
    "long RegisterCustomMenu( long )",
    "void UnregisterCustomMenu( long )",
    "long RegisterCustomTool( string, long )",
    "void UnregisterCustomTool( long )",
]

LOCK_ROWS = [
    "void *ImageGetLockedData( Image *im, void *locked_data, uint32 des_num_dim, "
    "uint32 *act_num_dim, uint32 *data_type, uint32 *pack_style, long *dimension_info... )",
    "void *ImageLockData( Image *im, uint32 lock_flags )",
    "void ImageUnlockData( Image *im, void *locked_data, uint32 unlock_flags )",
]


class CatalogueFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        table = stubgen.kinds.read_kinds(os.path.join(SDK_DIR, "abi", "ObjectKinds.def"))
        cls.rows = stubgen.catalogue.read_catalogue(CATALOGUE, stubgen.vocabulary.Vocabulary(table))
        with open(CATALOGUE, encoding="utf-8") as f:
            cls.lines = f.read().split("\n")

    def test_549_rows_of_the_grammar_and_the_three_locking_rows(self):
        grammar = [row for row in self.rows if not row.lock_form]
        self.assertEqual(len(grammar), 549)
        self.assertEqual([row.signature for row in self.rows if row.lock_form], LOCK_ROWS)
        self.assertEqual(len({row.signature for row in self.rows}), len(self.rows))

    def test_rows_are_ordered_by_name_without_regard_to_case(self):
        names = [row.name for row in self.rows]
        distinct = [name for i, name in enumerate(names) if i == 0 or names[i - 1] != name]
        self.assertEqual(len(distinct), len(set(distinct)), "overloads stand together")
        for before, after in zip(distinct, distinct[1:]):
            self.assertLess(before.lower(), after.lower())

    def test_overloaded_names(self):
        counts = collections.Counter(row.name for row in self.rows)
        self.assertEqual({name: n for name, n in counts.items() if n > 1}, OVERLOADS)
        self.assertEqual(sum(OVERLOADS.values()), 39)

    def test_member_operations_per_class(self):
        counts = collections.Counter(row.member_of.cls for row in self.rows if row.member_of)
        self.assertEqual(dict(counts), MEMBERS_PER_CLASS)
        self.assertEqual(sum(counts.values()), 486)
        by_signature = {row.signature: row for row in self.rows}
        self.assertIsNone(by_signature["qz_string StringConvertToEncoding( qz_string, ulong )"]
                          .member_of)
        for form in ("long", "string"):
            row = by_signature["Boolean TagGroupGetTagAsRGBUInt16( TagGroup, %s, uint16 *, "
                               "uint16 *, uint16 * )" % form]
            self.assertEqual((row.member_of.cls, row.member_name), ("TagGroup", "GetTagAsRGBUInt16"))
        for row in self.rows:
            if row.member_of:
                self.assertNotIn(row.member_name, stubgen.vocabulary.RESERVED_MEMBER_NAMES)

    def test_rows_called_directly_are_there(self):
        signatures = {row.signature for row in self.rows}
        for row in DIRECT_ROWS:
            self.assertIn(row, signatures)

    def test_only_the_three_address_longs_travel_pointer_wide(self):
        wide = []
        for row in self.rows:
            if row.result.cpp == stubgen.vocabulary.ADDRESS_CPP:
                wide.append((row.signature, "result"))
            for position, param in enumerate(row.params, start=1):
                if param.type.cpp == stubgen.vocabulary.ADDRESS_CPP:
                    wide.append((row.signature, position))
        self.assertEqual(sorted(wide, key=str), sorted([
            ("long GetDataPtr( ImageRef )", "result"),
            ("long RegisterCustomMenu( long )", 1),
            ("long RegisterCustomTool( string, long )", 2)], key=str))

    def test_empty_parameter_lists_carry_two_spaces(self):
        empty = [row.signature for row in self.rows if not row.params]
        self.assertIn("void Beep(  )", empty)
        self.assertIn("void AbortAllAcquisitionDaemons(  )", empty)
        self.assertIn("ImageRef GetFrontImage(  )", empty)
        for signature in empty:
            self.assertTrue(signature.endswith("(  )"), signature)

    def test_one_comment_line_says_that_rows_are_left_out(self):
        comments = [line for line in self.lines if line.startswith("#")]
        self.assertEqual(len([line for line in comments if "left out" in line]), 1)


class GeneratorCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="catalogue-")
        self.addCleanup(shutil.rmtree, self.dir)

    def generate(self, catalogue, *args):
        return subprocess.run([sys.executable, GENERATOR, "--catalogue", catalogue, *args],
                              capture_output=True, text=True)

    def write_catalogue(self, text):
        path = os.path.join(self.dir, "catalogue.txt")
        with open(path, "w") as f:
            f.write(text)
        return path

    def compile(self, *sources, include=()):
        flags = ["-std=c++17", "-Wall", "-Wextra", "-Werror", "-fsyntax-only", "-I", SDK_DIR]
        for directory in include:
            flags += ["-I", directory]
        for source in sources:
            result = subprocess.run([CXX, *flags, source], capture_output=True, text=True)
            self.assertEqual(result.returncode, 0, result.stderr)


SMALL_CATALOGUE = """\
void Beep(  )
Boolean GetBoolean( string, Boolean, Boolean * )
ImageRef GetFrontImage(  )
Boolean GetFrontImage( ImageRef * )
void GetName( ImageRef, stringbuffer )
long GetDataPtr( ImageRef )    @address result
void *ImageLockData( Image *im, uint32 lock_flags )
void ROISetColor( ROI, float, float, float )
qz_string StringAppend( qz_string *, qz_string )
qz_string StringConvertToEncoding( qz_string, ulong )
void TagGroupSetTagAsDoubleComplex( TagGroup, string, complex )
void AddFunction( string, void * )
"""


class TestDriver(GeneratorCase):
    def test_the_driver_alone_writes_no_stubs(self):
        catalogue = self.write_catalogue(SMALL_CATALOGUE)
        driver = os.path.join(self.dir, "driver")
        result = self.generate(catalogue, "--test-driver", driver)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(sorted(os.listdir(os.path.join(driver, "hostcall"))),
                         ["StubsDriver.cpp", "StubsDriver.h"])

    def test_without_any_output_the_generator_refuses(self):
        catalogue = self.write_catalogue(SMALL_CATALOGUE)
        result = self.generate(catalogue)
        self.assertEqual(result.returncode, 2)
        self.assertIn("--out-dir", result.stderr)

    def test_one_driver_row_per_stub_and_per_member(self):
        catalogue = self.write_catalogue(SMALL_CATALOGUE)
        driver = os.path.join(self.dir, "driver")
        self.assertEqual(self.generate(catalogue, "--test-driver", driver).returncode, 0)
        with open(os.path.join(driver, "hostcall", "StubsDriver.cpp")) as f:
            source = f.read()
        self.assertEqual(len(re.findall(r"&Stub\d+\}", source)), 12)
        self.assertEqual(len(re.findall(r"&Member\d+\}", source)), 3)
        self.assertIn('{"void Beep(  )", 0, "", "", &Stub1},', source)
        self.assertIn('"qz_string StringAppend( qz_string *, qz_string )", 3, "qz_string", '
                      '"Append", &Member9},', source)
        self.assertIn("probe.ReferenceOut(&self);", source)
        self.assertIn("qz_string r = self.Append(a2);", source)
        self.assertIn("probe.BooleanCell(&a3);", source)
        self.assertIn("const std::intptr_t r = QZ::GetDataPtr(a1);", source)
        self.assertIn("qz_string r = QZ::StringConvertToEncoding(a1, a2);", source)
        self.assertFalse("self.ConvertToEncoding(" in source, "no member call")

    @unittest.skipUnless(CXX, "no C++ compiler")
    def test_driver_stubs_and_members_compile_without_warnings(self):
        catalogue = self.write_catalogue(SMALL_CATALOGUE)
        out = os.path.join(self.dir, "out")
        result = self.generate(catalogue, "--out-dir", out, "--members", "--test-driver", out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.compile(*(os.path.join(out, "hostcall", name)
                       for name in ("StubsDriver.cpp", "Stubs.cpp", "Members.cpp")),
                     include=[out])

    def test_the_framework_catalogue_gives_a_row_for_every_stub_and_member(self):
        driver = os.path.join(self.dir, "driver")
        result = self.generate(CATALOGUE, "--test-driver", driver)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(driver, "hostcall", "StubsDriver.cpp")) as f:
            source = f.read()
        self.assertEqual(len(re.findall(r"&Stub\d+\}", source)), 552)
        self.assertEqual(len(re.findall(r"&Member\d+\}", source)), 486)


class GeneratedUnits(GeneratorCase):
    def test_no_windows_header_reaches_the_generated_units(self):
        # Stubs bear the host's names (Beep, Yield, GetName, ...), some of which Windows headers
        # define as macros: the generated units and what they include must never pull them in.
        out = os.path.join(self.dir, "out")
        result = self.generate(CATALOGUE, "--out-dir", out, "--members")
        self.assertEqual(result.returncode, 0, result.stderr)
        texts = []
        for root, _, files in os.walk(out):
            texts += [os.path.join(root, name) for name in files]
        for header in ("hostcall/References.h", "hostcall/Marshal.h", "shell/Environment.h",
                       "shell/Boundary.h", "abi/Boundary.h", "abi/Conventions.h",
                       "abi/HostInterfaces.h", "abi/CallbackRecords.h", "abi/ImageData.h",
                       "abi/PlugInExports.h"):
            texts.append(os.path.join(SDK_DIR, header))
        for path in texts:
            with open(path) as f:
                self.assertIsNone(re.search(r"#\s*include\s*[<\"]windows", f.read(), re.I), path)


if __name__ == "__main__":
    unittest.main()
