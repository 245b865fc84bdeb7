"""The test driver (hostcall/<stem>Driver.h and .cpp): one call of every stub and every member
operation, for a test host to check.

The driver's fixed part (Probe, ProbeHost, DriverRow, ...) is hostcall/StubsDriverSupport.h; what
is written here are the calls, with arguments made up for each row, and the table of them all.
"""

from typing import List, Tuple

from .cpptext import cpp_string, header_comment, join_wrapped
from .grammar import Param, Row
from .vocabulary import (ADDRESS_CPP, BOOL_PTR, OBJECT, OUT_REF, R_BOOLEAN, R_VALUE, R_VOID,
                         WIDE_HANDLE, Vocabulary)

SUPPORT_HEADER = "hostcall/StubsDriverSupport.h"
# What the generated driver and its test host name from the support header.
SUPPORT_NAMES = ("AddressValue", "DriverRow", "ParamProbe", "Passing", "Probe", "ProbeHost",
                 "Returning")

DRIVER_HEADER_NOTE = (
    "For every catalogue row one function calls the row's stub, and for every member operation",
    "one function calls the member, each with arguments made up for the row. Before the call it",
    "notes in a Probe what each argument record must hold by the marshalling rule and where the",
    "caller's variables are; after the call it hands the Probe to the test host, which compares",
    "that with what the host received and answered while the caller's variables still live.",
)


def _scramble(key: int) -> int:
    return (key * 2654435761 + 0x9E3779B9) & 0xFFFFFFFF


def _literal(cpp: str, key: int) -> str:
    """A deterministic argument value of a plain C++ type, distinct per row and position."""
    v = _scramble(key)
    if cpp == "std::int32_t":
        return "static_cast<std::int32_t>(0x%08Xu)" % v
    if cpp in ("std::uint32_t", "RGBColor", "PFFileReference", "Handle", "External32BitType"):
        return "%s{0x%08Xu}" % (cpp, v)
    if cpp == "std::int16_t":
        return "static_cast<std::int16_t>(0x%04X)" % (v & 0xFFFF)
    if cpp == "std::uint16_t":
        return "std::uint16_t{0x%04Xu}" % (v & 0xFFFF)
    if cpp == "bool":
        return "true" if v & 1 else "false"
    if cpp == "char":
        return "'%s'" % chr(0x41 + v % 26)
    if cpp == "float":
        return "%d.5f" % ((v % 20000) - 10000)
    if cpp == "double":
        return "%d.25" % ((v % 2000000) - 1000000)
    if cpp in ("complex", "const complex&"):
        return "complex(%d.5, %d.75)" % ((v % 2000) - 1000, ((v >> 11) % 2000) - 1000)
    if cpp == ADDRESS_CPP:
        return "AddressValue(0x%08Xu)" % v
    raise AssertionError("no literal for " + cpp)


def _driver_argument(row: Row, param: Param, index: int, key: int,
                     vocabulary: Vocabulary) -> Tuple[List[str], str, str]:
    """Declarations, the argument expression and the probe line for one parameter."""
    var = "a%d" % index
    kind, cpp = param.type.kind, param.type.cpp
    if kind == OBJECT:
        cls = vocabulary.object_types[param.word]
        return (["%s %s(host.MakeObject(%s));" % (cls, var, vocabulary.enumerator(cls))], var,
                "probe.Object(%s);" % var)
    if kind == OUT_REF:
        return (["%s %s;" % (param.type.cls, var)], "&" + var,
                "probe.ReferenceOut(&%s);" % var)
    if kind == BOOL_PTR:
        return (["bool %s = %s;" % (var, _literal("bool", key))], "&" + var,
                "probe.BooleanCell(&%s);" % var)
    if kind == WIDE_HANDLE:
        return (["const Handle %s = host.MakeObject(ObjectKind::Image);" % var], var,
                "probe.ImageHandle(%s);" % var)
    if cpp == "const char*":
        text = "%s/%d" % (row.name, index)
        return (["const char* const %s = %s;" % (var, cpp_string(text))], var,
                "probe.Text(%s);" % var)
    if cpp == "char*":
        return (['char %s[64] = "buffer %d";' % (var, index)], var,
                "probe.Buffer(%s, sizeof %s);" % (var, var))
    if cpp == "void*":
        return (["int s%d = %d;" % (index, key & 0xFFFF),
                 "void* const %s = &s%d;" % (var, index)], var, "probe.Value(%s);" % var)
    if cpp.endswith("*"):
        base = cpp[:-1]
        return (["%s %s = %s;" % (base, var, _literal(base, key))], "&" + var,
                "probe.Pointer(&%s);" % var)
    if cpp == "const complex&":
        return (["const complex %s = %s;" % (var, _literal(cpp, key))], var,
                "probe.Value(%s);" % var)
    return (["const %s %s = %s;" % (cpp, var, _literal(cpp, key))], var,
            "probe.Value(%s);" % var)


def _driver_function(row: Row, number: int, namespace: str, member: bool,
                     vocabulary: Vocabulary) -> str:
    fn = "%s%d" % ("Member" if member else "Stub", number)
    out = ["void %s(ProbeHost& host) {" % fn,
           "    Probe probe(%s, %d, %s, %s);" % (
               cpp_string(row.signature), row.record_count,
               cpp_string(row.member_of.cls if member else ""),
               cpp_string(row.member_name if member else ""))]
    declarations, arguments, probes = [], [], []
    for index, param in enumerate(row.params, start=1):
        key = number * 64 + index + (0x8000 if member else 0)
        if member and index == 1:
            cls = row.member_of.cls
            declarations.append("%s self(host.MakeObject(%s));" % (cls, vocabulary.enumerator(cls)))
            probes.append("probe.ReferenceOut(&self);" if row.member_through_pointer
                          else "probe.Object(self);")
            continue
        lines, argument, probe_line = _driver_argument(row, param, index, key, vocabulary)
        declarations += lines
        arguments.append(argument)
        probes.append(probe_line)
    out += ["    " + line for line in declarations + probes]
    callee = ("self.%s(" % row.member_name) if member else ("%s::%s(" % (namespace, row.name))
    kind = row.result.kind
    if kind == R_VOID:
        head, tail = "    ", ""
    elif kind == R_BOOLEAN:
        head, tail = "    const bool r = ", "probe.ReturnsBoolean(r);"
    elif kind == R_VALUE:
        head, tail = "    const %s r = " % row.result.cpp, "probe.Returns(r);"
    else:
        head, tail = ("    %s r = " % vocabulary.object_types[row.result_word],
                      "probe.ReturnsObject(r);")
    out.append(join_wrapped(head + callee, arguments, ");", "    "))
    if tail:
        out.append("    " + tail)
    out += ["    host.Check(probe);", "}"]
    return "\n".join(out)


def emit_driver_header(namespace: str, catalogue_name: str) -> str:
    out = [header_comment(catalogue_name, "Test driver: every stub and member operation called "
                          "once.", DRIVER_HEADER_NOTE),
           "#pragma once",
           "",
           "#include <cstddef>",
           "",
           '#include "%s"' % SUPPORT_HEADER,
           "",
           "namespace Vorna::%sDriver {" % namespace,
           "",
           "// The driver's fixed part, under the names its functions and test hosts use."]
    out += ["using DriverSupport::%s;" % name for name in SUPPORT_NAMES]
    out += ["",
            "// Every stub in catalogue order, then every member operation class by class.",
            "extern const DriverRow kDriverRows[];",
            "extern const std::size_t kDriverRowCount;",
            "",
            "}  // namespace Vorna::%sDriver" % namespace,
            ""]
    return "\n".join(out)


def emit_driver_source(rows: List[Row], vocabulary: Vocabulary, namespace: str,
                       catalogue_name: str, stem: str) -> str:
    out = [header_comment(catalogue_name, "Test driver: every stub and member operation called "
                          "once."),
           "",
           '#include "hostcall/%sDriver.h"' % stem,
           "",
           '#include "hostcall/%s.h"' % stem,
           "",
           "namespace Vorna::%sDriver {" % namespace,
           "namespace {",
           ""]
    table = []
    for number, row in enumerate(rows, start=1):
        out += [_driver_function(row, number, namespace, False, vocabulary), ""]
        table.append("    {%s, %d, \"\", \"\", &Stub%d}," % (cpp_string(row.signature),
                                                          row.record_count, number))
    for kind in vocabulary.kinds:
        for number, row in enumerate(rows, start=1):
            if row.member_of is not kind:
                continue
            out += [_driver_function(row, number, namespace, True, vocabulary), ""]
            table.append("    {%s, %d, %s, %s, &Member%d}," % (
                cpp_string(row.signature), row.record_count, cpp_string(kind.cls),
                cpp_string(row.member_name), number))
    out += ["}  // namespace",
            "",
            "const DriverRow kDriverRows[] = {"]
    out += table
    out += ["};",
            "const std::size_t kDriverRowCount = sizeof(kDriverRows) / sizeof(kDriverRows[0]);",
            "",
            "}  // namespace Vorna::%sDriver" % namespace,
            ""]
    return "\n".join(out)
