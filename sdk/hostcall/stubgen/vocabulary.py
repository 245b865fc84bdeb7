"""The script types a catalogue row may use, and what each becomes in C++.

Plain values, pointers and the image-locking words are fixed here. The object types come from the
table of kinds (kinds.py): every reference class and alias of the table may stand as a parameter;
the reference out-parameters and the object results are the ones the host's catalogue has, and
each must name a kind of the table.
"""

from dataclasses import dataclass
from typing import Dict, FrozenSet

from .errors import KindsError
from .kinds import KindsTable

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


def value(cpp: str) -> ParamType:
    return ParamType(VALUE, cpp)


# Result kinds.
R_VOID = "void"
R_BOOLEAN = "boolean"  # first byte != 0
R_VALUE = "value"      # the value from the first bytes
R_OBJECT = "object"    # a new reference adopting the handle


@dataclass(frozen=True)
class ResultType:
    kind: str
    cpp: str


# A `long` marked @address travels as this type.
ADDRESS_CPP = "std::intptr_t"

# The script types of plain values and pointers that may stand as parameters of a catalogue row.
VALUE_PARAM_TYPES: Dict[str, ParamType] = {
    "long": value("std::int32_t"),
    "ulong": value("std::uint32_t"),
    "uint32": value("std::uint32_t"),
    "short": value("std::int16_t"),
    "uint16": value("std::uint16_t"),
    "Boolean": value("bool"),
    "char": value("char"),
    "float": value("float"),
    "double": value("double"),
    "complex": value("const complex&"),
    "RGB": value("RGBColor"),
    "string": value("const char*"),
    "stringbuffer": value("char*"),
    "void *": value("void*"),
    "PFFileReference": value("PFFileReference"),
    "Handle": value("Handle"),
    "External32BitType": value("External32BitType"),
    "long *": value("std::int32_t*"),
    "ulong *": value("std::uint32_t*"),
    "short *": value("std::int16_t*"),
    "uint16 *": value("std::uint16_t*"),
    "float *": value("float*"),
    "double *": value("double*"),
    "complex *": value("complex*"),
    "RGB *": value("RGBColor*"),
    "Boolean *": ParamType(BOOL_PTR, "bool*"),
}

VALUE_RESULT_TYPES: Dict[str, ResultType] = {
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

# Object types the catalogue takes through a pointer ("ImageRef *"): the host writes a handle.
OUT_REF_TYPES = ("ImageRef", "TagGroup", "qz_string", "ImageDisplay")
# Object types the host hands back as results: a new reference adopts the handle.
OBJECT_RESULT_TYPES = ("ImageRef", "RealImagePtr", "ComplexImagePtr", "RGBImagePtr", "qz_string",
                       "TagGroup", "Component", "Window", "ImageDocument", "Function",
                       "ImageDisplay", "ROI", "ScriptObject")

# The vocabulary of the image-locking signatures, whose parameters are named and whose asterisks
# stand against the names: "void *ImageLockData( Image *im, uint32 lock_flags )".
LOCK_PARAM_TYPES: Dict[str, ParamType] = {
    "Image *": ParamType(WIDE_HANDLE, "Handle"),
    "void *": value("void*"),
    "uint32": value("std::uint32_t"),
    "uint32 *": value("std::uint32_t*"),
}
LOCK_RESULT_TYPES: Dict[str, ResultType] = {
    "void": ResultType(R_VOID, "void"),
    "void *": ResultType(R_VALUE, "void*"),
}
# "long *dimension_info..." stands for the size and the stride of each of five dimensions.
LOCK_VARIADIC = ("long *", "dimension_info")
LOCK_DIMENSIONS = 5

# Functions that carry a kind's prefix and take its type first, and still are no members.
NOT_MEMBERS = frozenset({"StringConvertToEncoding"})

# Names a generated function or member must not take: they would hide or shadow what the
# generated code itself refers to. The script types of the object kinds join them.
RESERVED_NAMES = frozenset({
    "RGBColor", "complex", "PFFileReference", "External32BitType", "Handle", "ScriptArgRecord",
    "CatalogueRow", "Marshal", "FrameworkUnitUsers", "kAdopt", "kCatalogue", "kCatalogueSize",
    "sUsers", "std", "Vorna",
})
# Operations of every reference class; a member of the same name would hide them.
RESERVED_MEMBER_NAMES = frozenset({"get", "release", "adopt", "address", "empty"})

CPP_KEYWORDS = frozenset("""
alignas alignof and and_eq asm auto bitand bitor bool break case catch char char16_t char32_t
class compl const constexpr const_cast continue decltype default delete do double dynamic_cast
else enum explicit export extern false float for friend goto if inline int long mutable namespace
new noexcept not not_eq nullptr operator or or_eq private protected public register
reinterpret_cast return short signed sizeof static static_assert static_cast struct switch
template this thread_local throw true try typedef typeid typename union unsigned using virtual
void volatile wchar_t while xor xor_eq
""".split())


class Vocabulary:
    """The script types of catalogue rows for one table of kinds."""

    def __init__(self, kinds: KindsTable):
        self.kinds = kinds
        for what, words in (("a reference out-parameter", OUT_REF_TYPES),
                            ("an object result", OBJECT_RESULT_TYPES)):
            for word in words:
                if kinds.kind_of_type(word) is None:
                    raise KindsError(kinds.path, 0, "the generator takes '%s' as %s, but no "
                                     "kind of the table has that script type" % (word, what))
        # Script type of a host object -> its reference class.
        self.object_types: Dict[str, str] = {word: kind.cls for kind in kinds
                                             for word in kind.own_types}
        self.param_types: Dict[str, ParamType] = dict(VALUE_PARAM_TYPES)
        for word, cls in self.object_types.items():
            self.param_types[word] = ParamType(OBJECT, "const %s&" % word, cls)
        for word in OUT_REF_TYPES:
            self.param_types[word + " *"] = ParamType(OUT_REF, "%s*" % word, word)
        self.result_types: Dict[str, ResultType] = dict(VALUE_RESULT_TYPES)
        for word in OBJECT_RESULT_TYPES:
            self.result_types[word] = ResultType(R_OBJECT, word)
        self.reserved_names: FrozenSet[str] = RESERVED_NAMES | frozenset(self.object_types)

    def enumerator(self, cls: str) -> str:
        """The C++ name of the kind of a reference class: ObjectKind::<Kind>."""
        return "ObjectKind::" + self.kinds.kind_of_class(cls).enumerator
