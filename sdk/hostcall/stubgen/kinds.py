"""The kinds of host object, read from the framework's table (abi/ObjectKinds.def).

The C++ side expands the table as X-macros; the build and this generator read the same rows as
text, one row a line, each starting at the beginning of its line:

    QZ_OBJECT_KIND(Kind, ReferenceClass, "TypeKey", MemberPrefix)
    QZ_OBJECT_TYPE_ALIAS(ScriptType, Kind)

Every line that starts a row must be a whole, well-formed row: a row the generator passed over
would still be a kind to the compiler, and the two would disagree without a word.
"""

import os
import re
from dataclasses import dataclass
from typing import Dict, List, Optional, Sequence, Tuple

from .errors import KindsError

TABLE_NAME = "ObjectKinds.def"

_IDENT = r"[A-Za-z_][A-Za-z0-9_]*"
_TRAILER = r"\s*(?://.*|/\*.*\*/)?\s*"  # a comment may follow a row on its line
_KIND_ROW = re.compile(r'QZ_OBJECT_KIND\((%s), *(%s), *"([^"\\]+)", *(%s)\)%s'
                       % (_IDENT, _IDENT, _IDENT, _TRAILER))
_ALIAS_ROW = re.compile(r"QZ_OBJECT_TYPE_ALIAS\((%s), *(%s)\)%s" % (_IDENT, _IDENT, _TRAILER))
_ROW_START = re.compile(r"\s*(QZ_OBJECT_KIND|QZ_OBJECT_TYPE_ALIAS)\(")


@dataclass(frozen=True)
class Kind:
    enumerator: str               # Vorna::ObjectKind::<enumerator>
    cls: str                      # the reference class
    type_key: str                 # the text under which the host hands out the class interface
    prefix: str                   # prefix of the host functions that become members of cls
    own_types: Tuple[str, ...]    # the script types naming the kind: cls, then its aliases


class KindsTable:
    """The kinds in table order, with the script types that name each."""

    def __init__(self, path: str, kinds: Sequence[Kind]):
        self.path = path
        self.kinds: Tuple[Kind, ...] = tuple(kinds)
        self._by_type: Dict[str, Kind] = {word: kind for kind in self.kinds
                                          for word in kind.own_types}
        self._by_class: Dict[str, Kind] = {kind.cls: kind for kind in self.kinds}

    def __iter__(self):
        return iter(self.kinds)

    def kind_of_type(self, word: str) -> Optional[Kind]:
        """The kind a script type names (a reference class or an alias), or None."""
        return self._by_type.get(word)

    def kind_of_class(self, cls: str) -> Kind:
        return self._by_class[cls]


def default_table_path() -> str:
    """The table beside the SDK this generator belongs to: abi/ObjectKinds.def in the source tree
    (the package sits in sdk/hostcall/), or ObjectKinds.def next to an installed generator."""
    package_dir = os.path.dirname(os.path.abspath(__file__))
    candidates = [os.path.join(package_dir, os.pardir, os.pardir, "abi", TABLE_NAME),
                  os.path.join(package_dir, os.pardir, TABLE_NAME)]
    found = next((path for path in candidates if os.path.exists(path)), candidates[-1])
    return os.path.normpath(found)


def _read_lines(path: str) -> List[str]:
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().split("\n")
    except OSError as e:
        raise KindsError(path, 0, "cannot read the table of object kinds: %s" % e.strerror)


def _first_seen(seen: Dict[str, int], value: str, line: int) -> Optional[int]:
    """The line that already gave value, or None after noting this one."""
    if value in seen:
        return seen[value]
    seen[value] = line
    return None


def read_kinds(path: str) -> KindsTable:
    """Reads the table; refuses rows it cannot read, repeated names and aliases of no kind."""
    rows: List[Tuple[int, str, str, str, str]] = []
    aliases: List[Tuple[int, str, str]] = []
    for number, line in enumerate(_read_lines(path), start=1):
        start = _ROW_START.match(line)
        if not start:
            continue
        if start.start(1) != 0:
            raise KindsError(path, number, "a row must start at the beginning of its line (the "
                             "build reads it from there): %r" % line)
        if start.group(1) == "QZ_OBJECT_KIND":
            m = _KIND_ROW.fullmatch(line)
            if not m:
                raise KindsError(path, number, "malformed kind row, expected "
                                 "'QZ_OBJECT_KIND(Kind, ReferenceClass, \"TypeKey\", "
                                 "MemberPrefix)': %r" % line)
            rows.append((number,) + m.groups())
        else:
            m = _ALIAS_ROW.fullmatch(line)
            if not m:
                raise KindsError(path, number, "malformed alias row, expected "
                                 "'QZ_OBJECT_TYPE_ALIAS(ScriptType, Kind)': %r" % line)
            aliases.append((number,) + m.groups())
    if not rows:
        raise KindsError(path, 0, "the table holds no QZ_OBJECT_KIND rows")

    seen: Dict[str, Dict[str, int]] = {what: {} for what in
                                       ("kind", "reference class", "type key", "member prefix")}
    names: Dict[str, int] = {}  # every script type: the classes and the aliases
    for number, enumerator, cls, type_key, prefix in rows:
        for what, value in (("kind", enumerator), ("reference class", cls),
                            ("type key", type_key), ("member prefix", prefix)):
            earlier = _first_seen(seen[what], value, number)
            if earlier is not None:
                raise KindsError(path, number, "%s '%s' repeats the one at line %d"
                                 % (what, value, earlier))
        names[cls] = number

    extra: Dict[str, List[str]] = {}
    for number, word, enumerator in aliases:
        if enumerator not in seen["kind"]:
            raise KindsError(path, number, "alias '%s' names the kind '%s', which the table "
                             "does not have" % (word, enumerator))
        earlier = _first_seen(names, word, number)
        if earlier is not None:
            raise KindsError(path, number, "script type '%s' repeats the one at line %d"
                             % (word, earlier))
        extra.setdefault(enumerator, []).append(word)

    return KindsTable(path, [Kind(enumerator, cls, type_key, prefix,
                                  (cls,) + tuple(extra.get(enumerator, ())))
                             for _, enumerator, cls, type_key, prefix in rows])
