"""The one kind of error the generator reports: a bad line of one of its input files."""


class InputError(Exception):
    """A line of the catalogue or of the kinds table that cannot be used, as "file:line: reason"
    (line 0 when the fault lies with the file as a whole)."""

    def __init__(self, path: str, line: int, reason: str):
        super().__init__("%s:%d: %s" % (path, line, reason))
        self.path = path
        self.line = line
        self.reason = reason


class CatalogueError(InputError):
    """A bad row of the catalogue of signatures."""


class KindsError(InputError):
    """A bad row of the table of object kinds, or a table the generator cannot work with."""
