"""The notice on screens scaled to 125, 150 and 200 % (120, 144 and 192 dots per inch,
the user's LogPixels), beside the 96 of an unscaled screen: the dialog grows with the
scale, keeps every control inside its client area with none overlapping another, and
cuts no text short, each text measured in its control's own font. A picture of each is
kept in the suite's work directory's artifacts/ (notice-<dpi>dpi.png).

The suite's prefix is its own, so that the scaling never reaches other suites; Wine
applies LogPixels to every program started after it is set."""

import pytest

from harness.falwick import ProgramDirectory
from harness.notice import photograph
from harness.runs import Case
from harness.sample import NEWER
from harness.server import LocalServer

DESKTOP = r"HKCU\Control Panel\Desktop"
X11_DRIVER = r"HKCU\Software\Wine\X11 Driver"
DPIS = (96, 120, 144, 192)
IDC_DISABLE_CHECKING = 1000


@pytest.fixture(scope="module")
def notices(wine, runner, programs, work, tmp_path_factory):
    """{dpi: the dialog as the driver described it}, answered "No"."""
    place = tmp_path_factory.mktemp("dpi")
    seen = {}
    with LocalServer() as server:
        server.serve("/info.txt", NEWER)
        program = ProgramDirectory(place / "Program Files" / "Writer", programs.falwick)
        before = wine.reg_value(DESKTOP, "LogPixels")
        # Without a window manager X draws no frame: Wine draws the caption bar itself.
        wine.reg_add(X11_DRIVER, "Decorated", "N")
        wine.reg_add(X11_DRIVER, "Managed", "N")
        try:
            for dpi in DPIS:
                wine.reg_add(DESKTOP, "LogPixels", str(dpi), "REG_DWORD")
                picture = work / "artifacts" / ("notice-%ddpi.png" % dpi)
                run = runner.run("dpi", Case(program=program, server=server,
                                             overrides={"product": "Writer"}),
                                 on_shown=lambda dialog, picture=picture: photograph(
                                     wine, programs.active_frame, dialog, picture))
                assert run.shown and run.exit_code == 0, "no notice at %d DPI" % dpi
                seen[dpi] = run.dialog
        finally:
            if before is None:
                wine.reg_delete(DESKTOP, "LogPixels")
            else:
                wine.reg_add(DESKTOP, "LogPixels", str(int(before, 16)), "REG_DWORD")
    return seen


def size(rect):
    return rect["right"] - rect["left"], rect["bottom"] - rect["top"]


@pytest.mark.parametrize("dpi", DPIS)
def test_the_notice_grows_with_the_scale_and_stays_on_the_screen(notices, dpi):
    dialog = notices[dpi]
    assert dialog["dpi"] == dpi
    width, height = size(dialog["client"])
    width_96, height_96 = size(notices[96]["client"])
    # Dialog units follow the font, whose sizes round to whole pixels: close, not exact.
    for grown in (width / width_96, height / height_96):
        assert 0.9 < grown / (dpi / 96) < 1.1, (width, height, dpi)
    rect, area = dialog["rect"], dialog["work_area"]
    assert area["left"] <= rect["left"] and rect["right"] <= area["right"]
    assert area["top"] <= rect["top"] and rect["bottom"] <= area["bottom"]
    print("%d DPI: client area %d x %d" % (dpi, width, height))


@pytest.mark.parametrize("dpi", DPIS)
def test_every_control_lies_inside_the_client_area_and_none_overlaps(notices, dpi):
    dialog = notices[dpi]
    client = dialog["client"]
    rects = [(c["id"], c["rect"]) for c in dialog["controls"]]
    for control, r in rects:
        assert client["left"] <= r["left"] < r["right"] <= client["right"], (control, r)
        assert client["top"] <= r["top"] < r["bottom"] <= client["bottom"], (control, r)
    for i, (first, a) in enumerate(rects):
        for second, b in rects[i + 1:]:
            apart = (a["right"] <= b["left"] or b["right"] <= a["left"]
                     or a["bottom"] <= b["top"] or b["bottom"] <= a["top"])
            assert apart, "controls %d and %d overlap: %s %s" % (first, second, a, b)


@pytest.mark.parametrize("dpi", DPIS)
def test_no_text_is_cut(notices, dpi):
    # Every text here takes one line: the question, the box's label, the standard
    # sentence and the buttons'. A check box draws its box in front of its label.
    dialog = notices[dpi]
    for control in dialog["controls"]:
        extent = control["text_extent"]
        assert extent is not None, control
        width, height = size(control["rect"])
        if control["id"] == IDC_DISABLE_CHECKING:
            width -= dialog["check_box"]["cx"]
        assert extent["cx"] <= width and extent["cy"] <= height, (control["text"], extent,
                                                                  control["rect"])
