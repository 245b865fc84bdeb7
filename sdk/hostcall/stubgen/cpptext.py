"""Pieces of C++ text shared by every generated file: the header comment, string literals, and
argument lists wrapped to the line limit."""

from typing import List, Sequence

LINE_LIMIT = 100


def header_comment(catalogue_name: str, what: str, details: Sequence[str] = ()) -> str:
    lines = ["// " + what, "//"]
    lines += ["// " + line if line else "//" for line in details]
    if details:
        lines.append("//")
    lines += ["// Generated from %s by generate_stubs.py. Do not edit: change the catalogue (or the"
              % catalogue_name,
              "// generator) and rebuild."]
    return "\n".join(lines)


def cpp_string(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def join_wrapped(head: str, items: List[str], tail: str, indent: str) -> str:
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
