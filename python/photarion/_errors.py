"""The exceptions and warnings of the photarion package."""


class Error(Exception):
    """Base class of the package's exceptions."""


class LoadError(Error):
    """A module could not be loaded: no such library, missing exports, another link version, or
    a library this process has loaded already."""


class HostError(Error):
    """An error the module raised through the host: its code and its message."""

    def __init__(self, code, message, function=None, errors=None):
        super().__init__(code, message)
        self.code = code
        self.message = message
        self.function = function
        # Every error of the entry as (code, message), when it raised more than one.
        self.errors = list(errors) if errors else [(code, message)]

    def __str__(self):
        where = self.function and not self.message.startswith(self.function)
        return f"{self.function}: " * bool(where) + f"{self.message} (error code {self.code})"


class ProtocolError(Error):
    """The module broke a rule of the interface in a way that is not a leak: a result handed
    over without a reference for the host, a result of another kind than its signature says, a
    library that stays loaded after it was unloaded."""


class LeakError(Error):
    """The module left something behind: object references, call contexts, string loans or
    image locks, or a counting anomaly. `report` holds the findings as data (LeakReport)."""

    def __init__(self, what, report):
        super().__init__(f"{what} left behind:\n  " + "\n  ".join(report.lines()))
        self.report = report


class LeakWarning(UserWarning):
    """What a host created with leaks="warn" reports instead of raising LeakError."""


class AlertWarning(UserWarning):
    """An alert the module showed the user (ShowAlert); make it an error with
    warnings.simplefilter("error", photarion.AlertWarning)."""
