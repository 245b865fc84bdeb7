"""The catalogue as a whole: reading its rows, the checks across rows, and which rows become
member operations of the reference classes.

Catalogue format: one signature per line (grammar.py); blank lines and lines starting with '#'
are skipped. Rows of one name (overloads) stand together and differ in their C++ parameter lists.

A row becomes a member operation of a reference class when its name starts with the class's
member prefix (the longest prefix wins: ImageDisplay... is not Image...) and its first parameter
is one of the class's script types, or a pointer to one. A member may not take the name of an
operation every reference class has (get, release, adopt, address, empty); such a row is rejected.
"""

import re
from typing import Dict, List, Tuple

from .errors import CatalogueError
from .grammar import IDENT, Row, parse_row
from .vocabulary import (CPP_KEYWORDS, NOT_MEMBERS, OBJECT, OUT_REF, RESERVED_MEMBER_NAMES,
                         Vocabulary)


def read_catalogue(path: str, vocabulary: Vocabulary) -> List[Row]:
    """The rows of the catalogue at path, checked, with their overloads and members assigned."""
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
            row = parse_row(text, number, vocabulary)
        except ValueError as e:
            raise CatalogueError(path, number, "%s: %r" % (e, text))
        rows.append(row)
    if not rows:
        raise CatalogueError(path, 0, "the catalogue holds no rows")
    _check_rows(path, rows, vocabulary)
    for row in rows:
        _assign_member(row, vocabulary)
    _check_members(path, rows, vocabulary)
    return rows


def _stub_param_key(row: Row) -> Tuple[str, ...]:
    return tuple(p.type.cpp for p in row.params)


def _check_rows(path: str, rows: List[Row], vocabulary: Vocabulary) -> None:
    seen_signatures: Dict[str, int] = {}
    by_name: Dict[str, List[Row]] = {}
    previous_name = None
    for row in rows:
        if row.signature in seen_signatures:
            raise CatalogueError(path, row.line, "duplicate of the row at line %d: %r"
                                 % (seen_signatures[row.signature], row.signature))
        seen_signatures[row.signature] = row.line
        if row.name in CPP_KEYWORDS or row.name in vocabulary.reserved_names:
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


def _assign_member(row: Row, vocabulary: Vocabulary) -> None:
    if row.lock_form or not row.params or row.name in NOT_MEMBERS:
        return
    candidates = [k for k in vocabulary.kinds if row.name.startswith(k.prefix)]
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


def _check_members(path: str, rows: List[Row], vocabulary: Vocabulary) -> None:
    seen: Dict[Tuple[str, str, Tuple[str, ...]], Row] = {}
    for row in rows:
        if not row.member_of:
            continue
        if (row.member_name in CPP_KEYWORDS or row.member_name in vocabulary.reserved_names
                or row.member_name in RESERVED_MEMBER_NAMES):
            raise CatalogueError(path, row.line, "member name '%s::%s' clashes with a C++ keyword "
                                 "or an existing name" % (row.member_of.cls, row.member_name))
        key = (row.member_of.cls, row.member_name, _stub_param_key(row)[1:])
        if key in seen:
            raise CatalogueError(path, row.line, "member '%s::%s' has the same parameter list as "
                                 "the one from line %d" % (key[0], key[1], seen[key].line))
        seen[key] = row
