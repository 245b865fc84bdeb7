"""The stand-in host as Python drives it: photarion.Host, the modules it loads and their
functions."""

import atexit
import os
import sys
import warnings
import weakref
from typing import NamedTuple

from . import _photarion
from ._errors import AlertWarning, HostError, LeakError, LeakWarning, LoadError, ProtocolError
from ._image import Image

DEFAULT_HOST_VERSION = _photarion.DEFAULT_HOST_VERSION


class HeldObject(NamedTuple):
    kind: str  # "Image", "String", ...
    handle: int
    count: int  # references the module holds beyond what it held before
    description: str  # the string's text, the image's name, ...


class LeakReport(NamedTuple):
    """What a module left behind, as the host's leak report lists it."""

    objects: tuple  # HeldObject
    interfaces: tuple  # (what, references): "environment", "call context 3", ...
    string_loans: tuple
    locked_images: tuple
    anomalies: tuple
    text: str  # the host's own text of the report

    def __bool__(self):
        return bool(
            self.objects or self.interfaces or self.string_loans or self.locked_images
            or self.anomalies
        )

    def lines(self):
        return self.text.rstrip("\n").split("\n") if self.text else []

    @classmethod
    def _from_host(cls, data):
        return cls(
            objects=tuple(HeldObject(*o) for o in data["objects"]),
            interfaces=tuple(tuple(i) for i in data["interfaces"]),
            string_loans=tuple(data["string_loans"]),
            locked_images=tuple(data["locked_images"]),
            anomalies=tuple(data["anomalies"]),
            text=data["text"],
        )


class HostObject(NamedTuple):
    """A host object of another kind than image or string that a function returned (the host
    has let go of it by the time Python sees this)."""

    kind: str
    handle: int


class MenuEntry(NamedTuple):
    """One entry of a module's menus, as the host reads it through the menu record."""

    menu: str
    submenu: str
    command: bool  # a command (chosen with host.choose(id1, id2)) rather than a plain entry
    item: str
    flags: tuple
    value: int
    id1: int
    id2: int


_open_hosts = weakref.WeakSet()


@atexit.register
def _close_open_hosts():
    # Modules unload, and their static destructors run, before the interpreter goes away.
    for host in list(_open_hosts):
        host._close_quietly("at exit")


class Host:
    """One stand-in host: loads modules, calls their script functions, checks what they leave.

        with photarion.Host(version=0x03040400) as host:
            hough = host.load("build/default/module/PhotarionHough.so")
            acc = hough.HoughTransform(image)

    `leaks`: "raise" (LeakError) or "warn" (LeakWarning) for what a call or an unload left
    behind. Results text the modules write goes to sys.stdout as it comes and is kept in
    `results`; alerts are AlertWarning warnings. Closing the host (leaving the with block,
    close(), or the end of the program) unloads every module it still has.
    """

    def __init__(self, version=DEFAULT_HOST_VERSION, leaks="raise"):
        if leaks not in ("raise", "warn"):
            raise ValueError(f'leaks must be "raise" or "warn", not {leaks!r}')
        self._native = _photarion.NativeHost(version)
        self._leaks = leaks
        self._modules = []
        self.results = ""
        _open_hosts.add(self)

    @property
    def version(self):
        return self._native.version

    @property
    def closed(self):
        return self._native is None

    def __repr__(self):
        if self.closed:
            return "<photarion.Host (closed)>"
        version = _photarion.format_version(self.version)
        return f"<photarion.Host version {version} with {len(self.modules)} modules>"

    def _require_open(self):
        if self._native is None:
            raise ValueError("the host is closed")
        return self._native

    @property
    def modules(self):
        return [m for m in self._modules if m.loaded]

    def load(self, path):
        """Loads the module library at `path`, links it and starts it up; answers the Module."""
        native = self._require_open()
        path = os.fspath(path)
        if not os.path.exists(path):
            raise FileNotFoundError(f"module file '{path}' not found")
        if os.path.isdir(path):
            raise IsADirectoryError(f"module '{path}' is a directory")
        ident, started, outcome = native.load(path)
        module = Module(self, ident, path)
        self._modules.append(module)
        self._settle(outcome, f"{os.path.basename(path)} (start-up)", failed_start=not started)
        return module

    @property
    def menus(self):
        """The entries of the modules' menus, in the host's order (MenuEntry)."""
        return [MenuEntry(**entry) for entry in self._require_open().menus()]

    def describe_menus(self):
        """The menus as photarion-run --menus lists them."""
        return self._require_open().describe_menus()

    def choose(self, id1, id2):
        """Chooses a menu command as the user would. LookupError when no menu handles it."""
        handled, outcome = self._require_open().choose(id1, id2)
        self._settle(outcome, f"menu command {id1},{id2}")
        if not handled:
            raise LookupError(f"no menu of the modules handles command {id1},{id2}")

    def close(self):
        """Unloads every module still loaded (last loaded first); raises what the first unload
        that went wrong found, after unloading them all."""
        if self._native is None:
            return
        first = None
        for module in reversed(self.modules):
            try:
                module.unload()
            except Exception as e:  # every module is unloaded all the same
                first = first or e
        self._native = None
        _open_hosts.discard(self)
        if first is not None:
            raise first

    def _close_quietly(self, when):
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("default")
                self.close()
        except Exception as e:
            print(f"photarion: closing a host {when}: {e}", file=sys.stderr)

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        if kind is None:
            self.close()
        else:
            # The exception of the with block goes on; what closing finds is a warning beside it.
            try:
                self.close()
            except Exception as e:
                warnings.warn(f"while closing the host: {e}", LeakWarning, stacklevel=2)
        return False

    def __del__(self):
        if getattr(self, "_native", None) is not None:
            self._close_quietly("that was no longer used")

    def _settle(self, outcome, what, failed_start=False):
        """Delivers what one entry into a module left: results text, alerts, then the errors,
        faults and leaks it found as exceptions (or leak warnings). Answers the entry's value."""
        if outcome["results"]:
            self.results += outcome["results"]
            sys.stdout.write(outcome["results"])
            sys.stdout.flush()
        for alert in outcome["alerts"]:
            warnings.warn(f"{what}: {alert}", AlertWarning, stacklevel=3)
        cause = None
        if outcome["errors"]:
            code, message = outcome["errors"][0]
            if failed_start:
                message = f"the module failed to start: {message}"
            cause = HostError(code, message, function=what, errors=outcome["errors"])
        if outcome["faults"]:
            fault = ProtocolError(f"{what}: " + "; ".join(outcome["faults"]))
            fault.__cause__ = cause
            cause = fault
        report = LeakReport._from_host(outcome["leaks"])
        if report:
            if self._leaks == "raise":
                raise LeakError(what, report) from cause
            warnings.warn(str(LeakError(what, report)), LeakWarning, stacklevel=3)
        if cause is not None:
            raise cause
        return _python_value(outcome["value"])


def _python_value(value):
    if isinstance(value, dict):
        return Image._from_host(value)
    if isinstance(value, tuple):
        return HostObject(*value)
    return value


class Module:
    """A module loaded into a host. Its registered script functions are attributes:
    module.HoughTransform(image); module.functions lists their signatures."""

    def __init__(self, host, ident, path):
        self._host = host
        self._ident = ident
        self.path = path

    @property
    def host(self):
        return self._host

    @property
    def loaded(self):
        native = self._host._native
        return native is not None and native.is_loaded(self._ident)

    def _require_loaded(self):
        if not self.loaded:
            raise ValueError(f"the module {os.path.basename(self.path)} is not loaded")
        return self._host._native

    @property
    def functions(self):
        """The signatures the module registered, exactly as registered."""
        return list(self._require_loaded().signatures(self._ident))

    def function(self, name):
        """The registered function of this name (also reachable as an attribute)."""
        signatures = [s for s in self.functions if _name_of(s) == name]
        if not signatures:
            raise AttributeError(
                f"{os.path.basename(self.path)} registers no function {name!r}; "
                f"it registers: {', '.join(_name_of(s) for s in self.functions) or 'none'}"
            )
        return Function(self, name, signatures)

    def __getattr__(self, name):
        if name.startswith("_"):
            raise AttributeError(name)
        return self.function(name)

    def __dir__(self):
        names = {_name_of(s) for s in self.functions} if self.loaded else set()
        return sorted(set(super().__dir__()) | names)

    def unload(self):
        """Cleanup, shutdown and unload; raises what the module left behind (LeakError), an
        error it raised on the way (HostError) or a library that stayed loaded (ProtocolError)."""
        native = self._require_loaded()
        outcome = native.unload(self._ident)
        scope = [os.path.basename(p) for p in outcome["leak_scope"]]
        # The last module of a host to go reports what all since the host had none left behind.
        what = f"the modules {', '.join(scope)} (unloaded)" if len(scope) > 1 else None
        self._host._settle(outcome, what or f"{os.path.basename(self.path)} (unload)")

    def __repr__(self):
        state = "loaded" if self.loaded else "unloaded"
        return f"<photarion.Module {self.path} ({state})>"


def _name_of(signature):
    head = signature.split("(", 1)[0].rstrip()
    return head.rsplit(None, 1)[-1].lstrip("*")


class Function:
    """A registered script function; calling it calls the module's entry with the arguments
    converted by the registered signature."""

    def __init__(self, module, name, signatures):
        self.module = module
        self.__name__ = name
        self.signatures = signatures
        self.__doc__ = "\n".join(signatures)

    @property
    def signature(self):
        return self.signatures[0]

    def __call__(self, *arguments):
        native = self.module._require_loaded()
        outcome = native.call(self.module._ident, self.__name__, *arguments)
        return self.module._host._settle(outcome, self.__name__)

    def __repr__(self):
        return f"<photarion.Function {' | '.join(self.signatures)}>"
