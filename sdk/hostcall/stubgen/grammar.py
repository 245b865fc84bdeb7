"""One row of the catalogue: its grammar, its annotations, and what its words mean.

Each row is one signature string exactly as the host resolves it:

    <result type> <name>( <type>, <type> )      one space inside the parentheses, ', ' between
    <result type> <name>(  )                    no parameters: two spaces

A row may end in annotations, separated from the signature by white space:

    long GetDataPtr( ImageRef )             @address result
    long RegisterCustomTool( string, long )  @address 2

`@address` marks `long`s that carry an address (the result, or parameters by 1-based position,
several separated by commas) so they travel pointer-wide (std::intptr_t). Annotations are not
part of the signature text.

The image-locking signatures are written the host's other way, with named parameters and the
asterisks against the names: "void *ImageLockData( Image *im, uint32 lock_flags )".
"""

import re
from dataclasses import dataclass
from typing import List, Optional, Tuple

from .kinds import Kind
from .vocabulary import (ADDRESS_CPP, CPP_KEYWORDS, LOCK_DIMENSIONS, LOCK_PARAM_TYPES,
                         LOCK_RESULT_TYPES, LOCK_VARIADIC, R_VALUE, R_VOID, ParamType, ResultType,
                         Vocabulary, value)

IDENT = r"[A-Za-z_][A-Za-z0-9_]*"
GRAMMAR_HEAD = re.compile(r"(%s) (%s)\(" % (IDENT, IDENT))
GRAMMAR_PARAM = re.compile(r"%s(?: \*)?" % IDENT)
LOCK_ROW = re.compile(r"(%s) (\*?)(%s)\( (.+) \)" % (IDENT, IDENT))
LOCK_PARAM = re.compile(r"(%s) (\*?)(%s)(\.\.\.)?" % (IDENT, IDENT))
NAMED_PARAM = re.compile(r"%s \*?%s(?:\.\.\.)?" % (IDENT, IDENT))


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
                    params.append(Param(word, value("std::int32_t*"), "%s%d" % (what, d)))
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
                param.type = value(ADDRESS_CPP)
            else:
                raise ValueError("@address: '%s' is neither 'result' nor a parameter position"
                                 % target)


def parse_row(text: str, line: int, vocabulary: Vocabulary) -> Row:
    """The row on one line of the catalogue; ValueError with the reason when it is malformed."""
    signature, annotations = _split_annotations(text)
    if _is_lock_form(signature):
        if annotations:
            raise ValueError("annotations apply to catalogue rows, not image-locking signatures")
        result_word, result, name, params = _parse_lock_row(signature)
        return Row(line, signature, name, result_word, result, params, lock_form=True)

    result_word, name, words = _parse_grammar_row(signature)
    if result_word not in vocabulary.result_types:
        raise ValueError("unknown result type '%s'" % result_word)
    params = []
    for position, word in enumerate(words, start=1):
        if word not in vocabulary.param_types:
            raise ValueError("unknown parameter type '%s'" % word)
        params.append(Param(word, vocabulary.param_types[word], "p%d" % position))
    row = Row(line, signature, name, result_word, vocabulary.result_types[result_word], params)
    _apply_annotations(row, annotations)
    return row
