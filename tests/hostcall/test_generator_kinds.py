#!/usr/bin/env python3
"""Checks of how the stub generator takes the kinds of host object from abi/ObjectKinds.def: what
it reads from the SDK's table against the reference classes of hostcall/References.h, the tables
it must refuse, that its classes and members follow the table it is given, and that an installed
copy (script, package and table in one folder) finds its table and writes the same.

Paths come from the environment when CTest runs this (PHOTARION_STUBGEN, PHOTARION_SDK_DIR);
otherwise they are found from this file's place in the tree.
"""

import filecmp
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
PACKAGE_DIR = os.path.join(os.path.dirname(os.path.abspath(GENERATOR)), "stubgen")
TABLE = os.path.join(SDK_DIR, "abi", "ObjectKinds.def")
TEST_CATALOGUE = os.path.join(HERE, "test_catalogue.txt")
# The generator runs as a build runs it, where nothing may have turned bytecode caches off.
GENERATOR_ENV = {k: v for k, v in os.environ.items() if k != "PYTHONDONTWRITEBYTECODE"}

# The generator's package, from beside the generator script; no cache is left beside it.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(PACKAGE_DIR))
import stubgen.kinds


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


TABLE_TEXT = read(TABLE)


def table_with(old, new):
    """The SDK's table with one piece of text replaced (new may span lines, or be empty)."""
    assert old in TABLE_TEXT, old
    return TABLE_TEXT.replace(old, new, 1)


def line_of(text, piece):
    return text[:text.index(piece)].count("\n") + 1


class GeneratorRun(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="stubgen-kinds-")
        self.addCleanup(shutil.rmtree, self.dir)
        self.out = os.path.join(self.dir, "out")

    def write(self, name, text):
        path = os.path.join(self.dir, name)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def generate(self, catalogue, *extra, generator=GENERATOR):
        return subprocess.run([sys.executable, generator, "--catalogue", catalogue, "--out-dir",
                               self.out, "--members", *extra], capture_output=True, text=True,
                              env=GENERATOR_ENV)


class SdkTable(unittest.TestCase):
    def test_kinds_match_the_reference_classes(self):
        # What C++ makes of the table (the classes, the kind each carries, the members file each
        # includes, the aliases) is what the generator writes members and arguments for.
        table = stubgen.kinds.read_kinds(TABLE)
        header = read(os.path.join(SDK_DIR, "hostcall", "References.h"))
        classes = dict(re.findall(r"class\s+(\w+)\s*:\s*public\s+HostReference<\1,\s*"
                                  r"ObjectKind::(\w+)>", header))
        self.assertEqual(len(classes), 14)
        self.assertEqual({kind.cls: kind.enumerator for kind in table}, classes)
        self.assertEqual(set(re.findall(r'#include "members/(\w+)\.inc"', header)), set(classes))
        aliases = {alias: cls for alias, cls in re.findall(r"^using (\w+) = (\w+);", header, re.M)
                   if cls in classes}
        self.assertEqual({word: kind.cls for kind in table for word in kind.own_types[1:]},
                         aliases)
        self.assertEqual([kind.own_types[0] for kind in table], [kind.cls for kind in table])


class RefusedTables(GeneratorRun):
    WINDOW = 'QZ_OBJECT_KIND(Window, Window, "Vorna:Photarion:Window", Window)'
    TAG_GROUP = 'QZ_OBJECT_KIND(TagGroup, TagGroup, "Vorna:Photarion:TagGroup", TagGroup)'
    ALIAS = "QZ_OBJECT_TYPE_ALIAS(RGBImagePtr, Image)"
    # (the row as written instead of WINDOW or ALIAS, part of the reason)
    BAD_ROWS = [
        ('QZ_OBJECT_KIND(Window, Window, Vorna:Photarion:Window, Window)', "malformed kind row"),
        ('QZ_OBJECT_KIND(Window, Window, "Vorna:Photarion:Window")', "malformed kind row"),
        ('QZ_OBJECT_KIND(Window, Window, "Vorna:Photarion:Window", Window, 9)',
         "malformed kind row"),
        ('QZ_OBJECT_KIND(Window, Window, "Vorna:Photarion:Window", Window) junk',
         "malformed kind row"),
        ('  QZ_OBJECT_KIND(Window, Window, "Vorna:Photarion:Window", Window)',
         "must start at the beginning of its line"),
        ('QZ_OBJECT_KIND(Window, TagGroup, "Vorna:Photarion:Window", Window)',
         "reference class 'TagGroup' repeats the one at line"),
        ('QZ_OBJECT_KIND(Window, Window, "Vorna:Photarion:TagGroup", Window)',
         "type key 'Vorna:Photarion:TagGroup' repeats"),
        ('QZ_OBJECT_KIND(Window, Window, "Vorna:Photarion:Window", TagGroup)',
         "member prefix 'TagGroup' repeats"),
        ('QZ_OBJECT_KIND(TagGroup, Window, "Vorna:Photarion:Window", Window)',
         "kind 'TagGroup' repeats"),
        ("QZ_OBJECT_TYPE_ALIAS(RGBImagePtr)", "malformed alias row"),
        ("QZ_OBJECT_TYPE_ALIAS(RGBImagePtr, Picture)", "names the kind 'Picture', which the "
         "table does not have"),
        ("QZ_OBJECT_TYPE_ALIAS(TagGroup, Image)", "script type 'TagGroup' repeats"),
        ("QZ_OBJECT_TYPE_ALIAS(RealImagePtr, Image)", "script type 'RealImagePtr' repeats"),
    ]

    def assertRefused(self, table_text, line, reason):
        table = self.write("ObjectKinds.def", table_text)
        result = self.generate(TEST_CATALOGUE, "--kinds", table)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("ObjectKinds.def:%d: " % line, result.stderr)
        self.assertIn(reason, result.stderr)
        self.assertFalse(os.path.exists(self.out), "nothing is written for a bad table")

    def test_each_bad_row_fails_with_its_line_and_reason(self):
        for row, reason in self.BAD_ROWS:
            with self.subTest(row=row):
                old = self.ALIAS if row.startswith("QZ_OBJECT_TYPE_ALIAS") else self.WINDOW
                self.assertRefused(table_with(old, row), line_of(TABLE_TEXT, old), reason)

    def test_a_table_without_a_kind_the_vocabulary_names(self):
        # "TagGroup *" is an out-parameter of the catalogue: a table without it is no table the
        # generator can work with, and it says which word it misses.
        self.assertRefused(table_with(self.TAG_GROUP + "\n", ""), 0,
                           "takes 'TagGroup' as a reference out-parameter")

    def test_a_table_without_kinds_or_no_table_at_all(self):
        self.assertRefused("/* nothing */\n#define QZ_OBJECT_KIND(K, C, T, P)\n", 0,
                           "no QZ_OBJECT_KIND rows")
        result = self.generate(TEST_CATALOGUE, "--kinds", os.path.join(self.dir, "none.def"))
        self.assertEqual(result.returncode, 1)
        self.assertIn("none.def:0: cannot read the table of object kinds", result.stderr)

    def test_comments_after_a_row_are_allowed(self):
        text = table_with(self.WINDOW, self.WINDOW + "  /* the host's frames */")
        result = self.generate(TEST_CATALOGUE, "--kinds", self.write("ObjectKinds.def", text))
        self.assertEqual(result.returncode, 0, result.stderr)


class FollowsTheTable(GeneratorRun):
    def test_classes_prefixes_and_aliases_come_from_the_table(self):
        # Throwable becomes Fault (class and prefix), and String gets a further script type.
        alias = "QZ_OBJECT_TYPE_ALIAS(RGBImagePtr, Image)"
        text = table_with('QZ_OBJECT_KIND(Throwable, Throwable, "Vorna:Photarion:Throwable", '
                          'Throwable)', 'QZ_OBJECT_KIND(Fault, Fault, "Vorna:Photarion:Fault", '
                          'Fault)').replace(alias, alias + "\nQZ_OBJECT_TYPE_ALIAS(Label, String)")
        catalogue = self.write("catalogue.txt", "Boolean FaultIsValid( Fault )\n"
                                                "void StringShow( Label, long )\n")
        result = self.generate(catalogue, "--kinds", self.write("ObjectKinds.def", text))
        self.assertEqual(result.returncode, 0, result.stderr)
        members = os.path.join(self.out, "members")
        self.assertIn("Fault.inc", os.listdir(members))
        self.assertNotIn("Throwable.inc", os.listdir(members))
        self.assertIn("bool IsValid() const;", read(os.path.join(members, "Fault.inc")))
        self.assertIn("void Show(std::int32_t p2) const;",
                      read(os.path.join(members, "qz_string.inc")))
        stubs = read(os.path.join(self.out, "hostcall", "Stubs.h"))
        self.assertIn("void StringShow(const Label& p1, std::int32_t p2);", stubs)

    def test_an_old_class_name_is_an_unknown_type(self):
        text = table_with("QZ_OBJECT_KIND(Throwable, Throwable,",
                          "QZ_OBJECT_KIND(Throwable, Fault,")
        catalogue = self.write("catalogue.txt", "Boolean ThrowableIsValid( Throwable )\n")
        result = self.generate(catalogue, "--kinds", self.write("ObjectKinds.def", text))
        self.assertEqual(result.returncode, 1)
        self.assertIn("unknown parameter type 'Throwable'", result.stderr)


class InstalledCopy(GeneratorRun):
    def install(self, with_table=True):
        """The generator as the SDK installs it: script, package and table in one folder."""
        share = os.path.join(self.dir, "share", "photarion-sdk")
        os.makedirs(os.path.join(share, "stubgen"))
        shutil.copy(GENERATOR, share)
        for name in os.listdir(PACKAGE_DIR):
            if name.endswith(".py"):
                shutil.copy(os.path.join(PACKAGE_DIR, name), os.path.join(share, "stubgen"))
        if with_table:
            shutil.copy(TABLE, share)
        return os.path.join(share, os.path.basename(GENERATOR))

    def test_finds_the_table_beside_itself_and_writes_what_the_tree_writes(self):
        installed = self.install()
        result = self.generate(TEST_CATALOGUE, "--test-driver", self.out, generator=installed)
        self.assertEqual(result.returncode, 0, result.stderr)
        reference = os.path.join(self.dir, "reference")
        result = subprocess.run([sys.executable, GENERATOR, "--catalogue", TEST_CATALOGUE,
                                 "--kinds", TABLE, "--out-dir", reference, "--members",
                                 "--test-driver", reference], capture_output=True, text=True,
                                env=GENERATOR_ENV)
        self.assertEqual(result.returncode, 0, result.stderr)
        for folder in ("hostcall", "members"):
            names = sorted(os.listdir(os.path.join(reference, folder)))
            self.assertEqual(sorted(os.listdir(os.path.join(self.out, folder))), names)
            match, mismatch, errors = filecmp.cmpfiles(os.path.join(reference, folder),
                                                       os.path.join(self.out, folder), names,
                                                       shallow=False)
            self.assertEqual((mismatch, errors), ([], []))
        for root in (os.path.dirname(installed), os.path.dirname(PACKAGE_DIR)):
            caches = [d for d, _, _ in os.walk(root) if os.path.basename(d) == "__pycache__"]
            self.assertEqual(caches, [], "the generator leaves no bytecode beside itself")

    def test_without_its_table_it_says_where_it_looked(self):
        installed = self.install(with_table=False)
        result = self.generate(TEST_CATALOGUE, generator=installed)
        self.assertEqual(result.returncode, 1)
        self.assertIn(os.path.join("photarion-sdk", "ObjectKinds.def") + ":0: cannot read",
                      result.stderr)


if __name__ == "__main__":
    unittest.main()
