"""The modules' menus as the runner offers them (--menus, --choose), and the validator's findings
as data, checked against photarion-run --validate's own report."""

import re
import subprocess

import pytest

import photarion


def run(*command):
    return subprocess.run(list(map(str, command)), capture_output=True, text=True, timeout=600)


class TestMenus:
    def test_entries_as_the_host_reads_them(self, host, paths):
        host.load(paths.bridge)
        assert host.menus == [
            photarion.MenuEntry("Bridge", "", True, "Say", (0, 0, 0, 0, 0), -1, 3, 1),
            photarion.MenuEntry("Bridge", "", True, "Refuse", (0, 0, 0, 0, 0), -1, 3, 2),
        ]

    def test_the_listing_is_the_runners(self, host, paths):
        host.load(paths.menu)
        listing = run(paths.run, "--menus", paths.menu).stdout
        assert host.describe_menus() == listing == "0: Kept > (unnamed)  [command 7,1]  flags 00000  value -1\n"

    def test_choosing_a_command(self, host, paths, capsys):
        host.load(paths.bridge)
        host.choose(3, 1)
        assert capsys.readouterr().out == "chosen 3,1\n"
        with pytest.raises(photarion.HostError, match="The bridge menu refuses."):
            host.choose(3, 2)
        with pytest.raises(LookupError, match="no menu of the modules handles command 9,9"):
            host.choose(9, 9)

    def test_a_module_without_menus(self, hough):
        assert hough.host.menus == []
        assert hough.host.describe_menus() == "(no menu entries)\n"
        with pytest.raises(LookupError):
            hough.host.choose(1, 0)

    def test_menus_go_with_their_module(self, host, paths):
        module = host.load(paths.bridge)
        module.unload()
        assert host.menus == []


class TestValidation:
    def test_the_faulty_module_is_caught_function_by_function(self, paths):
        report = photarion.validate(paths.faulty)
        assert not report.ok and report.isolated
        assert report.host_versions == (0x03040400, 0x030403FF)
        found = {f.name: [x.category for x in f.findings] for f in report.functions}
        assert found == {
            "LeakyCopy": ["references left behind"],
            "ForgetsUnlock": ["image left locked"],
            "Crashes": ["crash"],
            "SwallowsFailure": ["failure not reported"],
            "NoRetry": ["stale handle not retried"],
            "ReturnsBorrowed": ["bad result handle"],
        }
        assert [f.category for f in report.module_findings] == ["references left behind"]
        assert "Faulty module running." in report.module_findings[0].example
        crash = report.function("Crashes").findings[0]
        # A one-pixel input; the child dies of the signal, or a sanitizer's handler ends it.
        assert crash.example.startswith("float32 1x1")
        assert re.search("killed by signal|exited with status", crash.example)

    def test_the_report_is_the_runners(self, paths):
        for module in (paths.faulty, paths.hough):
            report = photarion.validate(module, host_version=[0x03040400])
            done = run(paths.run, "--validate", "--host-version", "03040400", module)
            # Handles are numbered across the process: this one has made others before.
            handles = re.compile(r"0x[0-9a-f]+")
            assert handles.sub("0x?", report.text) == handles.sub("0x?", done.stdout)
            assert str(report) == report.text
            assert done.returncode == (0 if report.ok else 1)

    def test_the_real_module_validates_clean(self, paths):
        report = photarion.validate(paths.hough, host_version=0x030403FF)
        assert report.ok and report.finding_count == 0 and report.host_versions == (0x030403FF,)
        hough = report.function("HoughTransform")
        assert hough.cases_swept == hough.cases_planned > 0 and hough.fault_points > 0
        assert hough.signature == "RealImagePtr HoughTransform(ImageRef *)"
        assert report.module_checks and report.fault_points >= hough.fault_points

    def test_a_module_loaded_here_is_not_validated(self, hough, paths):
        with pytest.raises(photarion.LoadError, match="is loaded into this process"):
            photarion.validate(paths.hough)

    def test_no_module_file(self, tmp_path):
        report = photarion.validate(tmp_path / "none.so")
        assert [f.category for f in report.module_findings] == ["module file"]
