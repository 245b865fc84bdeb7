"""Host images as NumPy arrays: photarion.Image and its calibrations."""

from typing import NamedTuple

import numpy as np


class Calibration(NamedTuple):
    """How raw values read in physical units: calibrated = (raw - origin) * scale, in `unit`."""

    origin: float = 0.0
    scale: float = 1.0
    unit: str = ""
    displayed: bool = True

    def apply(self, raw):
        """The calibrated value(s) of raw index or element values."""
        return (np.asarray(raw) - self.origin) * self.scale


class Image(np.ndarray):
    """A NumPy array that carries a host image's name, label and calibrations.

    `calibrations` has one Calibration per array axis, in array order (axis 0 is the host's
    last dimension: the rows of a two-dimensional image); `intensity` calibrates the element
    values. Results of a module's functions come back as Image; an Image passed to a function
    takes these with it into the host. Views and copies keep them; use np.asarray() for a plain
    array.
    """

    def __new__(cls, data, name="", label="", calibrations=None, intensity=None):
        array = np.asarray(data).view(cls)
        array.name = name
        array.label = label
        array.calibrations = (
            tuple(Calibration(*c) for c in calibrations)
            if calibrations is not None
            else tuple(Calibration() for _ in range(array.ndim))
        )
        array.intensity = Calibration(*intensity) if intensity is not None else Calibration()
        if len(array.calibrations) != array.ndim:
            raise ValueError(
                f"{len(array.calibrations)} calibrations for an array of {array.ndim} axes"
            )
        return array

    def __array_finalize__(self, source):
        self.name = getattr(source, "name", "")
        self.label = getattr(source, "label", "")
        self.intensity = getattr(source, "intensity", Calibration())
        given = getattr(source, "calibrations", None)
        # A view of another shape (a slice that drops an axis, a transpose) cannot know which
        # axes went where: it keeps the calibrations only while the axis count is the same.
        if given is not None and len(given) == self.ndim:
            self.calibrations = given
        else:
            self.calibrations = tuple(Calibration() for _ in range(self.ndim))

    def __array_wrap__(self, array, context=None, return_scalar=False):
        # A reduction to one value (image.max(), image.sum()) answers a NumPy scalar.
        result = super().__array_wrap__(array, context)
        return result[()] if result.ndim == 0 else result

    def __reduce__(self):
        reconstruct, arguments, state = super().__reduce__()
        extra = (self.name, self.label, self.calibrations, self.intensity)
        return reconstruct, arguments, (state, extra)

    def __setstate__(self, state):
        array_state, (self.name, self.label, calibrations, intensity) = state
        super().__setstate__(array_state)
        self.calibrations = tuple(Calibration(*c) for c in calibrations)
        self.intensity = Calibration(*intensity)

    def __repr__(self):
        return f"Image(name={self.name!r}, {np.asarray(self)!r})"

    @classmethod
    def _from_host(cls, data):
        return cls(
            data["data"],
            name=data["name"],
            label=data["label"],
            calibrations=data["calibrations"],
            intensity=data["intensity"],
        )
