"""The command line of generate_stubs.py.

Outputs, under --out-dir:
    hostcall/<stem>.h, hostcall/<stem>.cpp          always
    hostcall/Members.cpp, members/<Class>.inc       with --members (one .inc per reference class)
and under --test-driver DIR:
    hostcall/<stem>Driver.h, hostcall/<stem>Driver.cpp
        one function per stub and per member operation that calls it once with arguments made
        up for the row and hands a Probe (what each record must hold, where the caller's
        variables are, what came back) to a test host; and the table kDriverRows of them all.

Nothing is written unless the kinds table and the whole catalogue are good. Exit status 1 with
"file:line: reason" on any bad row of either, 2 on a bad command line.
"""

import argparse
import os
import re
import sys
from typing import List, Optional

from .catalogue import read_catalogue
from .driver import emit_driver_header, emit_driver_source
from .errors import InputError
from .grammar import IDENT
from .kinds import default_table_path, read_kinds
from .stubs import (emit_member_include, emit_members_source, emit_stubs_header,
                    emit_stubs_source)
from .vocabulary import CPP_KEYWORDS, Vocabulary


def _write(path: str, text: str) -> None:
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(description="Generate host script-function stubs from a "
                                     "catalogue of signatures.")
    parser.add_argument("--catalogue", required=True, help="catalogue file, one signature a line")
    parser.add_argument("--kinds", help="the table of object kinds (abi/ObjectKinds.def; by "
                        "default the one beside the SDK this script belongs to)")
    parser.add_argument("--out-dir", help="root of the generated stubs (and member operations)")
    parser.add_argument("--namespace", default="QZ",
                        help="namespace of the stubs, nested in Vorna (default QZ)")
    parser.add_argument("--stem", default="Stubs",
                        help="file name of the stubs: hostcall/<stem>.h and .cpp (default Stubs)")
    parser.add_argument("--members", action="store_true",
                        help="also write members/<Class>.inc and hostcall/Members.cpp")
    parser.add_argument("--test-driver", metavar="DIR",
                        help="write hostcall/<stem>Driver.h and .cpp under DIR: a test driver that "
                        "calls every stub and member operation once (for stubs made with "
                        "--members)")
    return parser


def main(argv: Optional[List[str]] = None) -> int:
    parser = _parser()
    args = parser.parse_args(argv)
    if not args.out_dir and not args.test_driver:
        parser.error("give --out-dir, --test-driver or both")
    if not re.fullmatch(IDENT, args.namespace) or args.namespace in CPP_KEYWORDS:
        parser.error("--namespace must be an identifier")
    if not re.fullmatch(IDENT, args.stem):
        parser.error("--stem must be an identifier")

    try:
        vocabulary = Vocabulary(read_kinds(args.kinds or default_table_path()))
        rows = read_catalogue(args.catalogue, vocabulary)
    except InputError as e:
        print("%s: error: %s" % (parser.prog, e), file=sys.stderr)
        return 1

    name = os.path.basename(args.catalogue)
    if args.test_driver:
        driver_dir = os.path.join(args.test_driver, "hostcall")
        _write(os.path.join(driver_dir, args.stem + "Driver.h"),
               emit_driver_header(args.namespace, name))
        _write(os.path.join(driver_dir, args.stem + "Driver.cpp"),
               emit_driver_source(rows, vocabulary, args.namespace, name, args.stem))
    if not args.out_dir:
        return 0
    hostcall_dir = os.path.join(args.out_dir, "hostcall")
    _write(os.path.join(hostcall_dir, args.stem + ".h"),
           emit_stubs_header(rows, args.namespace, name))
    _write(os.path.join(hostcall_dir, args.stem + ".cpp"),
           emit_stubs_source(rows, args.namespace, name, args.stem))
    if args.members:
        for kind in vocabulary.kinds:
            _write(os.path.join(args.out_dir, "members", kind.cls + ".inc"),
                   emit_member_include(kind, rows, name))
        _write(os.path.join(hostcall_dir, "Members.cpp"),
               emit_members_source(rows, vocabulary.kinds, args.namespace, name, args.stem))
    return 0
