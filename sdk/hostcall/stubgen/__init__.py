"""The stub generator: typed C++ stubs of the host's script functions, the member operations of
the reference classes, and a test driver, all from a catalogue of signatures.

    kinds        the table of object kinds (abi/ObjectKinds.def)
    vocabulary   the script types and what each becomes in C++, for one table of kinds
    grammar      one catalogue row: its grammar and annotations
    catalogue    the catalogue as a whole: checks across rows, overloads, member operations
    cpptext      C++ text shared by every generated file
    stubs        the stubs and the member operations
    driver       the test driver
    cli          the command line (generate_stubs.py)

Python 3 standard library only.
"""
