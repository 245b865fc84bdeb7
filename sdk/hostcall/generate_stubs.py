#!/usr/bin/env python3
"""Generates the typed stubs of the host's script functions from the catalogue of signatures.

For every row of the catalogue this writes one stub: a C++ function that fills the argument
records by the marshalling rule of each script type, calls the dispatcher with the row's signature
and its own cached handle, and turns record 0 back into the typed result. With --members it also
writes the member operations by which the reference classes expose the functions of their kind;
with --test-driver a driver that calls each of them once for a test host.

The generator is the package stubgen/ beside this script (the catalogue's grammar in
stubgen/grammar.py, the outputs in stubgen/cli.py); the table of object kinds is
abi/ObjectKinds.def of the SDK, or ObjectKinds.def beside an installed copy. --help lists the
options. Python 3 standard library only.
"""

import os
import sys

# The package sits beside this script, in the source tree and where the SDK is installed; no
# bytecode cache is left in either.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from stubgen.cli import main

if __name__ == "__main__":
    sys.exit(main())
