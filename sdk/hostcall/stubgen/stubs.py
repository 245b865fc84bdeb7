"""The stubs (hostcall/<stem>.h and .cpp) and the member operations of the reference classes
(members/<Class>.inc, included in each class body, and hostcall/Members.cpp).

Stubs bear the host's own names, some of which (Beep, Sleep, Yield, GetName, ...) are also
functions or macros of the Windows headers: the generated units never include those headers,
neither directly nor through the SDK headers they include, so the names stay free in Vorna::<ns>
on every platform.
"""

from typing import List, Optional

from .cpptext import cpp_string, header_comment, join_wrapped
from .grammar import Param, Row
from .kinds import Kind, KindsTable
from .vocabulary import (ADDRESS_CPP, BOOL_PTR, OBJECT, OUT_REF, R_BOOLEAN, R_OBJECT, R_VALUE,
                         R_VOID, VALUE, WIDE_HANDLE)

STUBS_HEADER_NOTE = (
    "Each stub fills the argument records by the marshalling rule of its script types, calls the",
    "host through the dispatcher under its signature with a cached function handle of its own,",
    "and returns the typed result. Object arguments are borrowed; object results come back as",
    "references that own the host's count.",
)
MEMBERS_SOURCE_NOTE = (
    "Each forwards to its stub with the reference itself first: its handle, or its address when",
    "the host function takes a pointer. Members add nothing of their own.",
)


def signature_comment(row: Row, indent: str = "") -> str:
    wide = ["result"] if row.result.cpp == ADDRESS_CPP and not row.lock_form else []
    wide += ["parameter %d" % i for i, p in enumerate(row.params, start=1)
             if p.type.cpp == ADDRESS_CPP]
    note = "   [address, pointer-wide: %s]" % ", ".join(wide) if wide else ""
    return "%s// %s%s" % (indent, row.signature, note)


def _declaration(row: Row, namespace_prefix: str = "", params: Optional[List[Param]] = None,
                 name: Optional[str] = None, suffix: str = "", indent: str = "") -> str:
    params = row.params if params is None else params
    items = ["%s %s" % (p.type.cpp, p.name) for p in params]
    head = "%s%s %s%s(" % (indent, row.result.cpp, namespace_prefix, name or row.name)
    return join_wrapped(head, items, ")" + suffix, indent)


def _fill_record(param: Param, index: int) -> List[str]:
    kind = param.type.kind
    record = "r[%d]" % index
    if kind == VALUE:
        return ["Marshal::Put(%s, %s);" % (record, param.name)]
    if kind == OBJECT:
        return ["Marshal::Put(%s, %s.get());" % (record, param.name)]
    if kind == OUT_REF:
        return ["Marshal::PutHandleAddress(%s, %s);" % (record, param.name)]
    if kind == BOOL_PTR:
        cell = "b_" + param.name
        return ["Marshal::BooleanCell %s(%s);" % (cell, param.name),
                "Marshal::Put(%s, %s.address());" % (record, cell)]
    if kind == WIDE_HANDLE:
        return ["Marshal::PutWideHandle(%s, %s);" % (record, param.name)]
    raise AssertionError(kind)


def _result_expression(row: Row) -> str:
    kind = row.result.kind
    if kind == R_BOOLEAN:
        return "Marshal::GetBoolean(r[0])"
    if kind == R_VALUE:
        return "Marshal::Get<%s>(r[0])" % row.result.cpp
    if kind == R_OBJECT:
        return "Marshal::Adopt<%s>(r[0])" % row.result.cpp
    raise AssertionError(kind)


def _stub_definition(row: Row) -> str:
    out = [signature_comment(row) if "[" in signature_comment(row) else "",
           "constexpr char %s[] = %s;" % (row.signature_constant, cpp_string(row.signature)),
           _declaration(row) + " {",
           "    static Function sCache;"]
    count = row.record_count
    if count:
        out.append("    ScriptArgRecord r[%d];" % count)
    for offset, param in enumerate(row.params):
        out.extend("    " + line for line in _fill_record(param, row.first_param_record + offset))
    records = "r" if count else "nullptr"
    out.append(join_wrapped("    sUsers.fEnvironmentUser.CallScriptFunction(",
                            ["&sCache", str(count), records, row.signature_constant], ");",
                            "    "))
    for param in row.params:
        if param.type.kind == BOOL_PTR:
            out.append("    b_%s.WriteBack();" % param.name)
    if row.result.kind != R_VOID:
        out.append("    return %s;" % _result_expression(row))
    out.append("}")
    return "\n".join(out)


def emit_stubs_header(rows: List[Row], namespace: str, catalogue_name: str) -> str:
    out = [header_comment(catalogue_name, "Typed stubs of the host's script functions: one per "
                          "catalogue row.", STUBS_HEADER_NOTE),
           "#pragma once",
           "",
           "#include <cstddef>",
           "#include <cstdint>",
           "",
           '#include "hostcall/Marshal.h"',
           '#include "hostcall/References.h"',
           "",
           "namespace Vorna::%s {" % namespace,
           "",
           "// Every row of the catalogue in catalogue order: signature and record count.",
           "extern const CatalogueRow kCatalogue[];",
           "extern const std::size_t kCatalogueSize;",
           ""]
    for row in rows:
        out.append(signature_comment(row))
        out.append(_declaration(row, suffix=";"))
    out += ["", "}  // namespace Vorna::%s" % namespace, ""]
    return "\n".join(out)


def emit_stubs_source(rows: List[Row], namespace: str, catalogue_name: str, stem: str) -> str:
    out = [header_comment(catalogue_name, "Stubs of the host's script functions."),
           "",
           '#include "hostcall/%s.h"' % stem,
           "",
           '#include "hostcall/Marshal.h"',
           "",
           "namespace Vorna::%s {" % namespace,
           "",
           "// This unit's users: the environment on which the stubs call the dispatcher, and the",
           "// class interfaces of every kind, kept while any stub may run. Constructed before the",
           "// first stub's cached handle and so destroyed after the last one.",
           "static const FrameworkUnitUsers sUsers;",
           ""]
    for row in rows:
        out.append(_stub_definition(row).lstrip("\n"))
        out.append("")
    out.append("const CatalogueRow kCatalogue[] = {")
    for row in rows:
        out.append("    {%s, %d}," % (row.signature_constant, row.record_count))
    out += ["};",
            "const std::size_t kCatalogueSize = sizeof(kCatalogue) / sizeof(kCatalogue[0]);",
            "",
            "}  // namespace Vorna::%s" % namespace,
            ""]
    return "\n".join(out)


def _member_declaration(row: Row, qualified: bool) -> str:
    const = "" if row.member_through_pointer else " const"
    if qualified:
        return _declaration(row, namespace_prefix=row.member_of.cls + "::", params=row.params[1:],
                            name=row.member_name, suffix=const)
    return _declaration(row, params=row.params[1:], name=row.member_name, suffix=const + ";")


def emit_member_include(kind: Kind, rows: List[Row], catalogue_name: str) -> str:
    members = [row for row in rows if row.member_of is kind]
    out = [header_comment(catalogue_name, "Member operations of %s: the host's %s* script "
                          "functions that take it first." % (kind.cls, kind.prefix), (
                              "Included inside the class body; each forwards to its stub with "
                              "this reference.",))]
    if members:
        out.append("public:")
    for row in members:
        out.append(signature_comment(row, "    "))
        out.append("    " + _member_declaration(row, qualified=False).replace("\n", "\n    "))
    out.append("")
    return "\n".join(out)


def emit_members_source(rows: List[Row], kinds: KindsTable, namespace: str, catalogue_name: str,
                        stem: str) -> str:
    out = [header_comment(catalogue_name, "Member operations of the reference classes.",
                          MEMBERS_SOURCE_NOTE),
           "",
           '#include "hostcall/%s.h"' % stem,
           "",
           "namespace Vorna {"]
    for kind in kinds:
        members = [row for row in rows if row.member_of is kind]
        if not members:
            continue
        out += ["", "// ---- %s " % kind.cls + "-" * max(0, 90 - len(kind.cls))]
        for row in members:
            self_arg = "this" if row.member_through_pointer else "*this"
            args = [self_arg] + [p.name for p in row.params[1:]]
            call = join_wrapped("%s%s::%s(" % ("" if row.result.kind == R_VOID else "return ",
                                               namespace, row.name), args, ");", "")
            out.append("")
            out.append(_member_declaration(row, qualified=True) + " {")
            out.append("    " + call.replace("\n", "\n    "))
            out.append("}")
    out += ["", "}  // namespace Vorna", ""]
    return "\n".join(out)
