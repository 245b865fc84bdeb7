"""Photarion plug-in modules from Python: the stand-in host over NumPy arrays.

    import photarion
    with photarion.Host(version=0x03040400) as host:
        hough = host.load("build/default/module/PhotarionHough.so")
        print(hough.functions)                     # the registered signatures
        acc = hough.HoughTransform(image)          # a 2-D NumPy array of a real dtype
        moved = hough.shiftImage(image, 10.7, -3)  # scalars converted by the signature

Arrays go in as host images of their element type (copied); image results come back as
photarion.Image, a NumPy array with the host image's name, label and calibrations. Errors the
module raises are HostError, what it leaves behind LeakError. photarion.validate() runs the
module validator of photarion-run --validate.
"""

from ._errors import (
    AlertWarning,
    Error,
    HostError,
    LeakError,
    LeakWarning,
    LoadError,
    ProtocolError,
)
from ._host import (
    DEFAULT_HOST_VERSION,
    Function,
    HeldObject,
    Host,
    HostObject,
    LeakReport,
    MenuEntry,
    Module,
)
from ._image import Calibration, Image
from ._validation import Finding, FunctionValidation, ValidationReport, validate

__all__ = [
    "AlertWarning",
    "Calibration",
    "DEFAULT_HOST_VERSION",
    "Error",
    "Finding",
    "Function",
    "FunctionValidation",
    "HeldObject",
    "Host",
    "HostError",
    "HostObject",
    "Image",
    "LeakError",
    "LeakReport",
    "LeakWarning",
    "LoadError",
    "MenuEntry",
    "Module",
    "ProtocolError",
    "ValidationReport",
    "validate",
]
