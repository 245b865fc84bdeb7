"""photarion.validate: the module validator of photarion-run --validate, its findings as data."""

import os
from typing import NamedTuple

from . import _photarion


class Finding(NamedTuple):
    """One kind of finding, how often it occurred, and the first occurrence."""

    category: str  # e.g. "references left behind", "crash"
    occurrences: int
    example: str


class FunctionValidation(NamedTuple):
    name: str
    signature: str
    cases_planned: int
    cases_swept: int
    host_calls: int  # host calls of the undisturbed calls, added up
    fault_points: int  # failing and stale runs
    inputs: str  # how the cases are made up
    errors_raised: Finding  # undisturbed calls that raised an error: informational
    notes: tuple  # e.g. why the function could not be called
    findings: tuple  # Finding


class ValidationReport(NamedTuple):
    module: str
    host_versions: tuple
    module_checks: tuple  # the checks the module passed, one line each
    module_findings: tuple  # Finding
    lifecycle: tuple
    lifecycle_fault_points: int
    functions: tuple  # FunctionValidation
    isolated: bool  # each function validated in a child process
    finding_count: int
    fault_points: int
    text: str  # the report as photarion-run --validate prints it

    @property
    def ok(self):
        return self.finding_count == 0

    def function(self, name):
        for f in self.functions:
            if f.name == name:
                return f
        raise KeyError(name)

    def __str__(self):
        return self.text


def validate(path, host_version=None, isolate=True):
    """Validates the module library at `path` as photarion-run --validate does, on the host
    version given (an int, or several in a list) or on both default generations, and answers
    the findings as a ValidationReport. The module must not be loaded in this process."""
    if host_version is None:
        versions = []
    elif isinstance(host_version, int):
        versions = [host_version]
    else:
        versions = [int(v) for v in host_version]
    data = _photarion.validate(os.fspath(path), versions, isolate)

    def finding(f):
        return Finding(f["category"], f["occurrences"], f["example"])

    functions = tuple(
        FunctionValidation(
            name=f["name"],
            signature=f["signature"],
            cases_planned=f["cases_planned"],
            cases_swept=f["cases_swept"],
            host_calls=f["host_calls"],
            fault_points=f["fault_points"],
            inputs=f["inputs"],
            errors_raised=finding(f["errors_raised"]),
            notes=tuple(f["notes"]),
            findings=tuple(finding(x) for x in f["findings"]),
        )
        for f in data["functions"]
    )
    return ValidationReport(
        module=data["module"],
        host_versions=tuple(data["host_versions"]),
        module_checks=tuple(data["module_checks"]),
        module_findings=tuple(finding(x) for x in data["module_findings"]),
        lifecycle=tuple(data["lifecycle"]),
        lifecycle_fault_points=data["lifecycle_fault_points"],
        functions=functions,
        isolated=data["isolated"],
        finding_count=data["finding_count"],
        fault_points=data["fault_points"],
        text=data["text"],
    )
