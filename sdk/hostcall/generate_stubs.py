#!/usr/bin/env python3
"""Generates the typed stubs of the host's script functions from the catalogue of signatures.

Each row of the catalogue is one signature string exactly as the host resolves it. For every row
this script writes one stub: a C++ function that fills the argument records by the marshalling rule
of each script type, calls the dispatcher with the row's signature and its own cached handle, and
turns record 0 back into the typed result. With --members it also writes the member operations by
which the reference classes expose the functions of their kind.

Catalogue format: one signature per line; blank lines and lines starting with '#' are skipped.
A row may end in annotations, separated from the signature by white space:

    long GetDataPtr( ImageRef )             @address result
    long RegisterCustomTool( string, long )  @address 2

`@address` marks `long`s that carry an address (the result, or parameters by 1-based position,
several separated by commas) so they travel pointer-wide (std::intptr_t). Annotations are not
part of the signature text.

Outputs, under --out-dir:
    hostcall/<stem>.h, hostcall/<stem>.cpp          always
    hostcall/Members.cpp, members/<Class>.inc       with --members (one .inc per class)
and under --test-driver DIR:
    hostcall/<stem>Driver.h, hostcall/<stem>Driver.cpp
        one function per stub and per member operation that calls it once with arguments made
        up for the row and hands a Probe (what each record must hold, where the caller's
        variables are, what came back) to a test host; and the table kDriverRows of them all.

Names. Stubs bear the host's own names, some of which (Beep, Sleep, Yield, GetName, ...) are
also functions or macros of the Windows headers: the generated units never include those headers,
neither directly nor through the SDK headers they include, so the names stay free in Vorna::<ns>
on every platform. A member operation may not take the name of an operation every reference class
has (get, release, adopt, address, empty); such a row is rejected.

Python 3 standard library only. Exit status 1 with "file:line: reason" on any bad row.
"""

import argparse
import os
import re
import sys
from dataclasses import dataclass
from typing import Dict, List, Optional, Tuple

# ---------------------------------------------------------------------------------------------
# Type vocabulary
# ---------------------------------------------------------------------------------------------

# Parameter kinds: how a stub takes the argument and what its record holds.
VALUE = "value"          # the value itself, memcpy'd to the start of the record
OBJECT = "object"        # const Class&; the record holds get() (borrowed)
OUT_REF = "out_ref"      # Class*; the record holds the address of the handle word
BOOL_PTR = "bool_ptr"    # bool*; the record holds the address of a one-byte temporary
WIDE_HANDLE = "wide"     # Handle passed as a pointer-wide value (lock signatures)


@dataclass(frozen=True)
class ParamType:
    kind: str
    cpp: str        # C++ type of the stub's parameter
    cls: str = ""   # reference class, for OBJECT and OUT_REF


def _value(cpp: str) -> ParamType:
    return ParamType(VALUE, cpp)


# The script types that may stand as parameters of a catalogue row.
PARAM_TYPES: Dict[str, ParamType] = {
    "long": _value("std::int32_t"),
    "ulong": _value("std::uint32_t"),
    "uint32": _value("std::uint32_t"),
    "short": _value("std::int16_t"),
    "uint16": _value("std::uint16_t"),
    "Boolean": _value("bool"),
    "char": _value("char"),
    "float": _value("float"),
    "double": _value("double"),
    "complex": _value("const complex&"),
    "RGB": _value("RGBColor"),
    "string": _value("const char*"),
    "stringbuffer": _value("char*"),
    "void *": _value("void*"),
    "PFFileReference": _value("PFFileReference"),
    "Handle": _value("Handle"),
    "External32BitType": _value("External32BitType"),
    "long *": _value("std::int32_t*"),
    "ulong *": _value("std::uint32_t*"),
    "short *": _value("std::int16_t*"),
    "uint16 *": _value("std::uint16_t*"),
    "float *": _value("float*"),
    "double *": _value("double*"),
    "complex *": _value("complex*"),
    "RGB *": _value("RGBColor*"),
    "Boolean *": ParamType(BOOL_PTR, "bool*"),
}

# Script types of host objects and their reference classes: read from the kinds table
# (_install_kinds below), with the reference out-parameters the catalogue uses.
OBJECT_TYPES: Dict[str, str] = {}
OUT_REF_TYPES = ("ImageRef", "TagGroup", "qz_string", "ImageDisplay")

# Result kinds.
R_VOID = "void"
R_BOOLEAN = "boolean"  # first byte != 0
R_VALUE = "value"      # the value from the first bytes
R_OBJECT = "object"    # a new reference adopting the handle


@dataclass(frozen=True)
class ResultType:
    kind: str
    cpp: str


RESULT_TYPES: Dict[str, ResultType] = {
    "void": ResultType(R_VOID, "void"),
    "Boolean": ResultType(R_BOOLEAN, "bool"),
    "long": ResultType(R_VALUE, "std::int32_t"),
    "ulong": ResultType(R_VALUE, "std::uint32_t"),
    "uint32": ResultType(R_VALUE, "std::uint32_t"),
    "short": ResultType(R_VALUE, "std::int16_t"),
    "float": ResultType(R_VALUE, "float"),
    "double": ResultType(R_VALUE, "double"),
    "PFFileReference": ResultType(R_VALUE, "PFFileReference"),
    "Handle": ResultType(R_VALUE, "Handle"),
}
for _word in ("ImageRef", "RealImagePtr", "ComplexImagePtr", "RGBImagePtr", "qz_string", "TagGroup",
              "Component", "Window", "ImageDocument", "Function", "ImageDisplay", "ROI",
              "ScriptObject"):
    RESULT_TYPES[_word] = ResultType(R_OBJECT, _word)

ADDRESS_CPP = "std::intptr_t"

# The vocabulary of the image-locking signatures, whose parameters are named and whose asterisks
# stand against the names: "void *ImageLockData( Image *im, uint32 lock_flags )".
LOCK_PARAM_TYPES: Dict[str, ParamType] = {
    "Image *": ParamType(WIDE_HANDLE, "Handle"),
    "void *": _value("void*"),
    "uint32": _value("std::uint32_t"),
    "uint32 *": _value("std::uint32_t*"),
}
LOCK_RESULT_TYPES: Dict[str, ResultType] = {
    "void": ResultType(R_VOID, "void"),
    "void *": ResultType(R_VALUE, "void*"),
}
# "long *dimension_info..." stands for the size and the stride of each of five dimensions.
LOCK_VARIADIC = ("long *", "dimension_info")
LOCK_DIMENSIONS = 5

# ---------------------------------------------------------------------------------------------
# Reference classes and their member operations
# ---------------------------------------------------------------------------------------------


@dataclass(frozen=True)
class Kind:
    cls: str
    prefix: str
    own_types: Tuple[str, ...]
    enumerator: str = ""


KINDS: List[Kind] = []

KIND_ROW = re.compile(r'^QZ_OBJECT_KIND\((\w+), *(\w+), *"([^"]*)", *(\w+)\)')
ALIAS_ROW = re.compile(r"^QZ_OBJECT_TYPE_ALIAS\((\w+), *(\w+)\)")
DEFAULT_KINDS = [os.path.join(os.path.dirname(os.path.abspath(__file__)), *parts)
                 for parts in ((os.pardir, "abi", "ObjectKinds.def"), ("ObjectKinds.def",))]


def _install_kinds(path: str) -> None:
    """Takes the kinds of host object from the framework's table (abi/ObjectKinds.def): the
    reference classes, their script types and member prefixes."""
    kinds: List[Kind] = []
    aliases: Dict[str, List[str]] = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = KIND_ROW.match(line)
            if m:
                kinds.append(Kind(m.group(2), m.group(4), (m.group(2),), m.group(1)))
                continue
            m = ALIAS_ROW.match(line)
            if m:
                aliases.setdefault(m.group(2), []).append(m.group(1))
    if not kinds:
        raise OSError("no kinds in %s" % path)
    KINDS[:] = [Kind(k.cls, k.prefix, k.own_types + tuple(aliases.get(k.enumerator, ())),
                     k.enumerator) for k in kinds]
    OBJECT_TYPES.clear()
    for k in KINDS:
        for word in k.own_types:
            OBJECT_TYPES[word] = k.cls
    for word, cls in OBJECT_TYPES.items():
        PARAM_TYPES[word] = ParamType(OBJECT, "const %s&" % word, cls)
    for word in OUT_REF_TYPES:
        PARAM_TYPES[word + " *"] = ParamType(OUT_REF, "%s*" % word, word)
    RESERVED_NAMES.update(OBJECT_TYPES)


# Functions that carry a kind's prefix and take its type first, and still are no members.
NOT_MEMBERS = {"StringConvertToEncoding"}

# Names a generated function or member must not take: they would hide or shadow what the
# generated code itself refers to.
RESERVED_NAMES = {
    "RGBColor", "complex", "PFFileReference", "External32BitType", "Handle", "ScriptArgRecord",
    "CatalogueRow", "Marshal", "FrameworkUnitUsers", "kAdopt", "kCatalogue", "kCatalogueSize",
    "sUsers", "std", "Vorna",
}
# Operations of every reference class; a member of the same name would hide them.
RESERVED_MEMBER_NAMES = {"get", "release", "adopt", "address", "empty"}

CPP_KEYWORDS = set("""
alignas alignof and and_eq asm auto bitand bitor bool break case catch char char16_t char32_t
class compl const constexpr const_cast continue decltype default delete do double dynamic_cast
else enum explicit export extern false float for friend goto if inline int long mutable namespace
new noexcept not not_eq nullptr operator or or_eq private protected public register
reinterpret_cast return short signed sizeof static static_assert static_cast struct switch
template this thread_local throw true try typedef typeid typename union unsigned using virtual
void volatile wchar_t while xor xor_eq
""".split())

_install_kinds(next((p for p in DEFAULT_KINDS if os.path.exists(p)), DEFAULT_KINDS[0]))

# ---------------------------------------------------------------------------------------------
# Rows
# ---------------------------------------------------------------------------------------------


class CatalogueError(Exception):
    def __init__(self, path: str, line: int, reason: str):
        super().__init__("%s:%d: %s" % (path, line, reason))


@dataclass
class Param:
    word: str          # script type as written ("long *", "ImageRef")
    type: ParamType
    name: str          # C++ parameter name


@dataclass
class Row:
    line: int
    signature: str     # exact text handed to the host
    name: str
    result_word: str
    result: ResultType
    params: List[Param]
    lock_form: bool = False
    overload_index: int = 0    # 1-based among rows of one name, 0 when the name is unique
    member_of: Optional[Kind] = None
    member_name: str = ""
    member_through_pointer: bool = False

    @property
    def record_count(self) -> int:
        return len(self.params) + (0 if self.result.kind == R_VOID else 1)

    @property
    def first_param_record(self) -> int:
        return 0 if self.result.kind == R_VOID else 1

    @property
    def signature_constant(self) -> str:
        if self.overload_index:
            return "kSignature_%s_%d" % (self.name, self.overload_index)
        return "kSignature_" + self.name


IDENT = r"[A-Za-z_][A-Za-z0-9_]*"
GRAMMAR_HEAD = re.compile(r"(%s) (%s)\(" % (IDENT, IDENT))
GRAMMAR_PARAM = re.compile(r"%s(?: \*)?" % IDENT)
LOCK_ROW = re.compile(r"(%s) (\*?)(%s)\( (.+) \)" % (IDENT, IDENT))
LOCK_PARAM = re.compile(r"(%s) (\*?)(%s)(\.\.\.)?" % (IDENT, IDENT))
NAMED_PARAM = re.compile(r"%s \*?%s(?:\.\.\.)?" % (IDENT, IDENT))


def _split_annotations(text: str) -> Tuple[str, List[str]]:
    at = text.find("@")
    if at < 0:
        return text.rstrip(" \t"), []
    signature = text[:at].rstrip(" \t")
    if signature == text[:at]:
        raise ValueError("an annotation must be separated from the signature by white space")
    return signature, text[at:].split()


def _is_lock_form(signature: str) -> bool:
    """Named parameters or an asterisk against the function name mark an image-locking row."""
    if re.match(r"%s \*%s\(" % (IDENT, IDENT), signature):
        return True
    open_paren, close_paren = signature.find("("), signature.rfind(")")
    if open_paren < 0 or close_paren < open_paren:
        return False
    parts = signature[open_paren + 1:close_paren].strip(" ").split(", ")
    return any(NAMED_PARAM.fullmatch(part) for part in parts)


def _parse_grammar_row(signature: str) -> Tuple[str, str, List[str]]:
    head = GRAMMAR_HEAD.match(signature)
    if not head:
        raise ValueError("expected '<result type> <name>(' with exactly one space before the name")
    if not signature.endswith(")"):
        raise ValueError("the signature must end with ')'")
    inner = signature[head.end():-1]
    if inner == "  ":
        return head.group(1), head.group(2), []
    if len(inner) < 3 or not inner.startswith(" ") or not inner.endswith(" "):
        raise ValueError("the parameter list must be '(  )' when empty, else '( T, T )'")
    body = inner[1:-1]
    if body != body.strip(" "):
        raise ValueError("exactly one space must follow '(' and precede ')'")
    words = body.split(", ")
    for word in words:
        if not GRAMMAR_PARAM.fullmatch(word):
            raise ValueError("malformed parameter '%s' (a type word, optionally ' *'; parameters "
                             "separated by ', ')" % word)
    return head.group(1), head.group(2), words


def _parse_lock_row(signature: str) -> Tuple[str, ResultType, str, List[Param]]:
    m = LOCK_ROW.fullmatch(signature)
    if not m:
        raise ValueError("malformed image-locking signature (named parameters, '*' against the "
                         "name, one space inside the parentheses)")
    result_word = m.group(1) + (" *" if m.group(2) else "")
    if result_word not in LOCK_RESULT_TYPES:
        raise ValueError("unknown result type '%s' in an image-locking signature" % result_word)
    params: List[Param] = []
    parts = m.group(4).split(", ")
    for index, part in enumerate(parts):
        p = LOCK_PARAM.fullmatch(part)
        if not p:
            raise ValueError("malformed named parameter '%s'" % part)
        word = p.group(1) + (" *" if p.group(2) else "")
        name = p.group(3)
        if p.group(4):
            if (word, name) != LOCK_VARIADIC or index != len(parts) - 1:
                raise ValueError("unsupported variadic parameter '%s' (only a final "
                                 "'long *dimension_info...')" % part)
            for d in range(LOCK_DIMENSIONS):
                for what in ("size", "stride"):
                    params.append(Param(word, _value("std::int32_t*"), "%s%d" % (what, d)))
            continue
        if word not in LOCK_PARAM_TYPES:
            raise ValueError("unknown parameter type '%s' in an image-locking signature" % word)
        if name in CPP_KEYWORDS or name in ("r", "sCache") or name.startswith("b_"):
            raise ValueError("parameter name '%s' clashes with a C++ keyword or a name of the "
                             "stub" % name)
        params.append(Param(word, LOCK_PARAM_TYPES[word], name))
    names = [param.name for param in params]
    if len(set(names)) != len(names):
        raise ValueError("parameter names repeat")
    return result_word, LOCK_RESULT_TYPES[result_word], m.group(3), params


def _apply_annotations(row: Row, annotations: List[str]) -> None:
    i = 0
    while i < len(annotations):
        tag = annotations[i]
        if tag != "@address":
            raise ValueError("unknown annotation '%s' (known: @address)" % tag)
        targets: List[str] = []
        i += 1
        while i < len(annotations) and not annotations[i].startswith("@"):
            targets.extend(t for t in annotations[i].split(",") if t)
            i += 1
        if not targets:
            raise ValueError("@address needs 'result' or 1-based parameter positions")
        for target in targets:
            if target == "result":
                if row.result_word != "long":
                    raise ValueError("@address result: the result is '%s', not 'long'"
                                     % row.result_word)
                row.result = ResultType(R_VALUE, ADDRESS_CPP)
            elif target.isdigit():
                position = int(target)
                if not 1 <= position <= len(row.params):
                    raise ValueError("@address %d: the row has %d parameters"
                                     % (position, len(row.params)))
                param = row.params[position - 1]
                if param.word != "long":
                    raise ValueError("@address %d: parameter %d is '%s', not 'long'"
                                     % (position, position, param.word))
                param.type = _value(ADDRESS_CPP)
            else:
                raise ValueError("@address: '%s' is neither 'result' nor a parameter position"
                                 % target)


def parse_row(text: str, line: int) -> Row:
    signature, annotations = _split_annotations(text)
    if _is_lock_form(signature):
        if annotations:
            raise ValueError("annotations apply to catalogue rows, not image-locking signatures")
        result_word, result, name, params = _parse_lock_row(signature)
        return Row(line, signature, name, result_word, result, params, lock_form=True)

    result_word, name, words = _parse_grammar_row(signature)
    if result_word not in RESULT_TYPES:
        raise ValueError("unknown result type '%s'" % result_word)
    params = []
    for position, word in enumerate(words, start=1):
        if word not in PARAM_TYPES:
            raise ValueError("unknown parameter type '%s'" % word)
        params.append(Param(word, PARAM_TYPES[word], "p%d" % position))
    row = Row(line, signature, name, result_word, RESULT_TYPES[result_word], params)
    _apply_annotations(row, annotations)
    return row


def _assign_member(row: Row) -> None:
    if row.lock_form or not row.params or row.name in NOT_MEMBERS:
        return
    candidates = [k for k in KINDS if row.name.startswith(k.prefix)]
    if not candidates:
        return
    kind = max(candidates, key=lambda k: len(k.prefix))  # ImageDisplay... is not Image...
    member = row.name[len(kind.prefix):]
    if not member or not re.fullmatch(IDENT, member):
        return
    first = row.params[0]
    if first.type.kind == OBJECT and first.word in kind.own_types:
        row.member_through_pointer = False
    elif first.type.kind == OUT_REF and first.word[:-2] in kind.own_types:
        row.member_through_pointer = True
    else:
        return
    row.member_of = kind
    row.member_name = member


def read_catalogue(path: str) -> List[Row]:
    try:
        with open(path, encoding="utf-8", newline="") as f:
            lines = f.read().split("\n")
    except OSError as e:
        raise CatalogueError(path, 0, "cannot read the catalogue: %s" % e.strerror)
    rows: List[Row] = []
    for number, raw in enumerate(lines, start=1):
        text = raw[:-1] if raw.endswith("\r") else raw
        if not text.strip() or text.lstrip().startswith("#"):
            continue
        try:
            row = parse_row(text, number)
        except ValueError as e:
            raise CatalogueError(path, number, "%s: %r" % (e, text))
        rows.append(row)
    if not rows:
        raise CatalogueError(path, 0, "the catalogue holds no rows")
    _check_rows(path, rows)
    for row in rows:
        _assign_member(row)
    _check_members(path, rows)
    return rows


def _stub_param_key(row: Row) -> Tuple[str, ...]:
    return tuple(p.type.cpp for p in row.params)


def _check_rows(path: str, rows: List[Row]) -> None:
    seen_signatures: Dict[str, int] = {}
    by_name: Dict[str, List[Row]] = {}
    previous_name = None
    for row in rows:
        if row.signature in seen_signatures:
            raise CatalogueError(path, row.line, "duplicate of the row at line %d: %r"
                                 % (seen_signatures[row.signature], row.signature))
        seen_signatures[row.signature] = row.line
        if row.name in CPP_KEYWORDS or row.name in RESERVED_NAMES:
            raise CatalogueError(path, row.line, "function name '%s' clashes with a C++ keyword "
                                 "or a name the generated code uses" % row.name)
        group = by_name.setdefault(row.name, [])
        if group and previous_name != row.name:
            raise CatalogueError(path, row.line, "rows of '%s' must stand together (first at "
                                 "line %d)" % (row.name, group[0].line))
        for other in group:
            if _stub_param_key(other) == _stub_param_key(row):
                raise CatalogueError(path, row.line, "overload of '%s' has the same C++ parameter "
                                     "list as the row at line %d" % (row.name, other.line))
        group.append(row)
        previous_name = row.name
    for group in by_name.values():
        if len(group) > 1:
            for index, row in enumerate(group, start=1):
                row.overload_index = index


def _check_members(path: str, rows: List[Row]) -> None:
    seen: Dict[Tuple[str, str, Tuple[str, ...]], Row] = {}
    for row in rows:
        if not row.member_of:
            continue
        if (row.member_name in CPP_KEYWORDS or row.member_name in RESERVED_NAMES
                or row.member_name in RESERVED_MEMBER_NAMES):
            raise CatalogueError(path, row.line, "member name '%s::%s' clashes with a C++ keyword "
                                 "or an existing name" % (row.member_of.cls, row.member_name))
        key = (row.member_of.cls, row.member_name, _stub_param_key(row)[1:])
        if key in seen:
            raise CatalogueError(path, row.line, "member '%s::%s' has the same parameter list as "
                                 "the one from line %d" % (key[0], key[1], seen[key].line))
        seen[key] = row


# ---------------------------------------------------------------------------------------------
# Emission
# ---------------------------------------------------------------------------------------------

LINE_LIMIT = 100


def _header_comment(catalogue_name: str, what: str, details: Tuple[str, ...] = ()) -> str:
    lines = ["// " + what, "//"]
    lines += ["// " + line if line else "//" for line in details]
    if details:
        lines.append("//")
    lines += ["// Generated from %s by generate_stubs.py. Do not edit: change the catalogue (or the"
              % catalogue_name,
              "// generator) and rebuild."]
    return "\n".join(lines)


def _signature_comment(row: Row, indent: str = "") -> str:
    wide = ["result"] if row.result.cpp == ADDRESS_CPP and not row.lock_form else []
    wide += ["parameter %d" % i for i, p in enumerate(row.params, start=1)
             if p.type.cpp == ADDRESS_CPP]
    note = "   [address, pointer-wide: %s]" % ", ".join(wide) if wide else ""
    return "%s// %s%s" % (indent, row.signature, note)


def _cpp_string(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _join_wrapped(head: str, items: List[str], tail: str, indent: str) -> str:
    """head + items joined by ', ' + tail, wrapped after commas to stay within the line limit."""
    one_line = head + ", ".join(items) + tail
    if len(one_line) <= LINE_LIMIT or not items:
        return one_line
    continuation = indent + " " * 8
    lines, current, fresh = [], head, True
    for i, item in enumerate(items):
        piece = item + (", " if i < len(items) - 1 else tail)
        if not fresh and len(current) + len(piece.rstrip()) > LINE_LIMIT:
            lines.append(current.rstrip())
            current = continuation
        current += piece
        fresh = False
    lines.append(current)
    return "\n".join(lines)


def _declaration(row: Row, namespace_prefix: str = "", params: Optional[List[Param]] = None,
                 name: Optional[str] = None, suffix: str = "", indent: str = "") -> str:
    params = row.params if params is None else params
    items = ["%s %s" % (p.type.cpp, p.name) for p in params]
    head = "%s%s %s%s(" % (indent, row.result.cpp, namespace_prefix, name or row.name)
    return _join_wrapped(head, items, ")" + suffix, indent)


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
    out = [_signature_comment(row) if "[" in _signature_comment(row) else "",
           "constexpr char %s[] = %s;" % (row.signature_constant, _cpp_string(row.signature)),
           _declaration(row) + " {",
           "    static Function sCache;"]
    count = row.record_count
    if count:
        out.append("    ScriptArgRecord r[%d];" % count)
    for offset, param in enumerate(row.params):
        out.extend("    " + line for line in _fill_record(param, row.first_param_record + offset))
    records = "r" if count else "nullptr"
    out.append(_join_wrapped("    sUsers.fEnvironmentUser.CallScriptFunction(",
                             ["&sCache", str(count), records, row.signature_constant], ");",
                             "    "))
    for param in row.params:
        if param.type.kind == BOOL_PTR:
            out.append("    b_%s.WriteBack();" % param.name)
    if row.result.kind != R_VOID:
        out.append("    return %s;" % _result_expression(row))
    out.append("}")
    return "\n".join(out)


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


def emit_stubs_header(rows: List[Row], namespace: str, catalogue_name: str) -> str:
    out = [_header_comment(catalogue_name, "Typed stubs of the host's script functions: one per "
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
        out.append(_signature_comment(row))
        out.append(_declaration(row, suffix=";"))
    out += ["", "}  // namespace Vorna::%s" % namespace, ""]
    return "\n".join(out)


def emit_stubs_source(rows: List[Row], namespace: str, catalogue_name: str, stem: str) -> str:
    out = [_header_comment(catalogue_name, "Stubs of the host's script functions."),
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
    out = [_header_comment(catalogue_name, "Member operations of %s: the host's %s* script "
                           "functions that take it first." % (kind.cls, kind.prefix), (
                               "Included inside the class body; each forwards to its stub with "
                               "this reference.",))]
    if members:
        out.append("public:")
    for row in members:
        out.append(_signature_comment(row, "    "))
        out.append("    " + _member_declaration(row, qualified=False).replace("\n", "\n    "))
    out.append("")
    return "\n".join(out)


def emit_members_source(rows: List[Row], namespace: str, catalogue_name: str, stem: str) -> str:
    out = [_header_comment(catalogue_name, "Member operations of the reference classes.",
                           MEMBERS_SOURCE_NOTE),
           "",
           '#include "hostcall/%s.h"' % stem,
           "",
           "namespace Vorna {"]
    for kind in KINDS:
        members = [row for row in rows if row.member_of is kind]
        if not members:
            continue
        out += ["", "// ---- %s " % kind.cls + "-" * max(0, 90 - len(kind.cls))]
        for row in members:
            self_arg = "this" if row.member_through_pointer else "*this"
            args = [self_arg] + [p.name for p in row.params[1:]]
            call = _join_wrapped("%s%s::%s(" % ("" if row.result.kind == R_VOID else "return ",
                                                namespace, row.name), args, ");", "")
            out.append("")
            out.append(_member_declaration(row, qualified=True) + " {")
            out.append("    " + call.replace("\n", "\n    "))
            out.append("}")
    out += ["", "}  // namespace Vorna", ""]
    return "\n".join(out)


# ---------------------------------------------------------------------------------------------
# Test driver: one call of every stub and every member operation, for a test host to check
# ---------------------------------------------------------------------------------------------

DRIVER_HEADER_NOTE = (
    "For every catalogue row one function calls the row's stub, and for every member operation",
    "one function calls the member, each with arguments made up for the row. Before the call it",
    "notes in a Probe what each argument record must hold by the marshalling rule and where the",
    "caller's variables are; after the call it hands the Probe to the test host, which compares",
    "that with what the host received and answered while the caller's variables still live.",
)

DRIVER_HEADER_BODY = r"""
// How one argument reaches the host.
enum class Passing {
    Value,         // the record starts with `bytes` (values, tokens, untyped pointers)
    Text,          // the record holds the pointer in `bytes`, to the zero-terminated `target`
    Buffer,        // the record holds the pointer to `target`, a buffer of `size` bytes
    Pointer,       // the record holds the pointer to `target`, the caller's variable of `size`
    BooleanCell,   // the record holds the address of a one-byte copy of the bool at `target`
    Object,        // the record starts with the borrowed handle in `bytes`
    ReferenceOut,  // the record holds the address of `target`, a reference's handle word
    ImageHandle,   // the record holds the handle pointer-wide (image-locking rows)
};

struct ParamProbe {
    Passing passing = Passing::Value;
    std::vector<unsigned char> bytes;   // what the record must start with (empty: unknown)
    const void* target = nullptr;       // the caller's storage behind a pointer
    std::size_t size = 0;               // bytes at `target`
    std::vector<unsigned char> before;  // those bytes before the call
    ObjectKind kind = ObjectKind::Image;  // Object, ReferenceOut, ImageHandle
};

// How the result comes back.
enum class Returning { Nothing, Boolean, Value, Object };

class Probe {
public:
    Probe(const char* signature, std::int32_t recordCount, const char* memberOf,
          const char* memberName)
        : fSignature(signature), fRecordCount(recordCount), fMemberOf(memberOf),
          fMemberName(memberName) {}

    template <class T>
    void Value(const T& value) {
        Add(Passing::Value, BytesOf(value));
    }
    void Text(const char* text) {
        Add(Passing::Text, BytesOf(text), text, std::strlen(text) + 1);
    }
    void Buffer(const char* buffer, std::size_t size) {
        Add(Passing::Buffer, BytesOf(buffer), buffer, size);
    }
    template <class T>
    void Pointer(const T* variable) {
        Add(Passing::Pointer, BytesOf(variable), variable, sizeof(T));
    }
    void BooleanCell(const bool* variable) {
        Add(Passing::BooleanCell, {}, variable, sizeof(bool));
    }
    template <class Reference>
    void Object(const Reference& reference) {
        Add(Passing::Object, BytesOf(reference.get()), nullptr, 0, Reference::kKind);
    }
    template <class Reference>
    void ReferenceOut(Reference* reference) {
        const Handle* word = reference->address();
        Add(Passing::ReferenceOut, BytesOf(word), word, sizeof(Handle), Reference::kKind);
    }
    void ImageHandle(Handle handle) {
        Add(Passing::ImageHandle, BytesOf(static_cast<std::uintptr_t>(handle)), nullptr, 0,
            ObjectKind::Image);
    }

    void ReturnsBoolean(const bool& result) { Return(Returning::Boolean, BytesOf(result)); }
    template <class T>
    void Returns(const T& result) {
        Return(Returning::Value, BytesOf(result));
    }
    template <class Reference>
    void ReturnsObject(const Reference& result) {
        Return(Returning::Object, BytesOf(result.get()));
        fResultKind = Reference::kKind;
    }

    const char* signature() const { return fSignature; }
    std::int32_t recordCount() const { return fRecordCount; }
    const char* memberOf() const { return fMemberOf; }  // "" for a stub
    const char* memberName() const { return fMemberName; }
    const std::vector<ParamProbe>& params() const { return fParams; }
    Returning returning() const { return fReturning; }
    // The result as the caller received it: a bool's byte, a value's bytes, an object's handle.
    const std::vector<unsigned char>& result() const { return fResult; }
    ObjectKind resultKind() const { return fResultKind; }

private:
    template <class T>
    static std::vector<unsigned char> BytesOf(const T& value) {
        static_assert(std::is_trivially_copyable_v<T>, "plain values only");
        std::vector<unsigned char> bytes(sizeof(T));
        std::memcpy(bytes.data(), &value, sizeof(T));
        return bytes;
    }
    void Add(Passing passing, std::vector<unsigned char> bytes, const void* target = nullptr,
             std::size_t size = 0, ObjectKind kind = ObjectKind::Image) {
        ParamProbe param;
        param.passing = passing;
        param.bytes = std::move(bytes);
        param.target = target;
        param.size = size;
        if (target) {
            const auto* first = static_cast<const unsigned char*>(target);
            param.before.assign(first, first + size);
        }
        param.kind = kind;
        fParams.push_back(std::move(param));
    }
    void Return(Returning returning, std::vector<unsigned char> bytes) {
        fReturning = returning;
        fResult = std::move(bytes);
    }

    const char* fSignature;
    std::int32_t fRecordCount;
    const char* fMemberOf;
    const char* fMemberName;
    std::vector<ParamProbe> fParams;
    Returning fReturning = Returning::Nothing;
    std::vector<unsigned char> fResult;
    ObjectKind fResultKind = ObjectKind::Image;
};

// The test's side: objects to pass, and the check after each call.
class ProbeHost {
public:
    // A live object of the kind; the caller's reference adds its own count.
    virtual Handle MakeObject(ObjectKind kind) = 0;
    // Runs right after the call, while the caller's variables and results still live.
    virtual void Check(const Probe& probe) = 0;

protected:
    ~ProbeHost() = default;
};

// A long that carries an address, made pointer-wide with high bits where pointers have them.
inline std::intptr_t AddressValue(std::uint32_t low) {
    return static_cast<std::intptr_t>(static_cast<std::uint64_t>(0x5A3Cu) << 32 | low);
}

struct DriverRow {
    const char* signature;
    std::int32_t recordCount;
    const char* memberOf;    // reference class of a member operation; "" for a stub
    const char* memberName;  // "" for a stub
    void (*run)(ProbeHost& host);
};

// Every stub in catalogue order, then every member operation class by class.
extern const DriverRow kDriverRows[];
extern const std::size_t kDriverRowCount;
"""


def _kind_enum(cls: str) -> str:
    return "ObjectKind::" + next(k.enumerator for k in KINDS if k.cls == cls)


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


def _driver_argument(row: Row, param: Param, index: int, key: int) -> Tuple[List[str], str, str]:
    """Declarations, the argument expression and the probe line for one parameter."""
    var = "a%d" % index
    kind, cpp = param.type.kind, param.type.cpp
    if kind == OBJECT:
        cls = OBJECT_TYPES[param.word]
        return (["%s %s(host.MakeObject(%s));" % (cls, var, _kind_enum(cls))], var,
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
        return (["const char* const %s = %s;" % (var, _cpp_string(text))], var,
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


def _driver_function(row: Row, number: int, namespace: str, member: bool) -> str:
    fn = "%s%d" % ("Member" if member else "Stub", number)
    out = ["void %s(ProbeHost& host) {" % fn,
           "    Probe probe(%s, %d, %s, %s);" % (
               _cpp_string(row.signature), row.record_count,
               _cpp_string(row.member_of.cls if member else ""),
               _cpp_string(row.member_name if member else ""))]
    declarations, arguments, probes = [], [], []
    for index, param in enumerate(row.params, start=1):
        key = number * 64 + index + (0x8000 if member else 0)
        if member and index == 1:
            cls = row.member_of.cls
            declarations.append("%s self(host.MakeObject(%s));" % (cls, _kind_enum(cls)))
            probes.append("probe.ReferenceOut(&self);" if row.member_through_pointer
                          else "probe.Object(self);")
            continue
        lines, argument, probe_line = _driver_argument(row, param, index, key)
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
        head, tail = "    %s r = " % OBJECT_TYPES[row.result_word], "probe.ReturnsObject(r);"
    out.append(_join_wrapped(head + callee, arguments, ");", "    "))
    if tail:
        out.append("    " + tail)
    out += ["    host.Check(probe);", "}"]
    return "\n".join(out)


def emit_driver_header(namespace: str, catalogue_name: str, stem: str) -> str:
    out = [_header_comment(catalogue_name, "Test driver: every stub and member operation called "
                           "once.", DRIVER_HEADER_NOTE),
           "#pragma once",
           "",
           "#include <cstddef>",
           "#include <cstdint>",
           "#include <cstring>",
           "#include <type_traits>",
           "#include <utility>",
           "#include <vector>",
           "",
           '#include "hostcall/References.h"',
           "",
           "namespace Vorna::%sDriver {" % namespace]
    out.append(DRIVER_HEADER_BODY.rstrip("\n"))
    out += ["", "}  // namespace Vorna::%sDriver" % namespace, ""]
    return "\n".join(out)


def emit_driver_source(rows: List[Row], namespace: str, catalogue_name: str, stem: str) -> str:
    out = [_header_comment(catalogue_name, "Test driver: every stub and member operation called "
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
        out += [_driver_function(row, number, namespace, member=False), ""]
        table.append("    {%s, %d, \"\", \"\", &Stub%d}," % (_cpp_string(row.signature),
                                                          row.record_count, number))
    for kind in KINDS:
        for number, row in enumerate(rows, start=1):
            if row.member_of is not kind:
                continue
            out += [_driver_function(row, number, namespace, member=True), ""]
            table.append("    {%s, %d, %s, %s, &Member%d}," % (
                _cpp_string(row.signature), row.record_count, _cpp_string(kind.cls),
                _cpp_string(row.member_name), number))
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


def _write(path: str, text: str) -> None:
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        f.write(text)


def main(argv: Optional[List[str]] = None) -> int:
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
    args = parser.parse_args(argv)
    if not args.out_dir and not args.test_driver:
        parser.error("give --out-dir, --test-driver or both")

    if not re.fullmatch(IDENT, args.namespace) or args.namespace in CPP_KEYWORDS:
        parser.error("--namespace must be an identifier")
    if not re.fullmatch(IDENT, args.stem):
        parser.error("--stem must be an identifier")

    try:
        if args.kinds:
            _install_kinds(args.kinds)
        rows = read_catalogue(args.catalogue)
    except (CatalogueError, OSError) as e:
        print("generate_stubs.py: error: %s" % e, file=sys.stderr)
        return 1

    name = os.path.basename(args.catalogue)
    if args.test_driver:
        driver_dir = os.path.join(args.test_driver, "hostcall")
        _write(os.path.join(driver_dir, args.stem + "Driver.h"),
               emit_driver_header(args.namespace, name, args.stem))
        _write(os.path.join(driver_dir, args.stem + "Driver.cpp"),
               emit_driver_source(rows, args.namespace, name, args.stem))
    if not args.out_dir:
        return 0
    hostcall_dir = os.path.join(args.out_dir, "hostcall")
    _write(os.path.join(hostcall_dir, args.stem + ".h"),
           emit_stubs_header(rows, args.namespace, name))
    _write(os.path.join(hostcall_dir, args.stem + ".cpp"),
           emit_stubs_source(rows, args.namespace, name, args.stem))
    if args.members:
        for kind in KINDS:
            _write(os.path.join(args.out_dir, "members", kind.cls + ".inc"),
                   emit_member_include(kind, rows, name))
        _write(os.path.join(hostcall_dir, "Members.cpp"),
               emit_members_source(rows, args.namespace, name, args.stem))
    return 0


if __name__ == "__main__":
    sys.exit(main())
