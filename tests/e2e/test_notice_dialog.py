"""The notice dialog as a user meets it under Xvfb, read and answered with the dialog
driver: its look (texts, buttons, window styles, place, icons), the text it announces,
and the disable-checking box as stored in the host's settings file after every answer."""

import pytest

from harness import ini
from harness.notice import DialogDriver
from harness.runs import Case
from harness.sample import NEWER, tokens
from harness.server import response

# Window styles (winuser.h).
WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_EX_DLGMODALFRAME = 0x00000001
BS_TYPEMASK = 0x0000000F
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 0, 1, 3

IDOK, IDCANCEL, IDC_DISABLE_CHECKING, IDC_NOTICE_TEXT = 1, 2, 1000, 1001
QUESTION = "Would you like to update to the latest version now?"
BOX_LABEL = "&Disable new update checking on program startup"


@pytest.fixture(scope="module")
def standard_notice(runner, wine, work):
    """The notice for Writer 3.0.012 when 3.5 build 14 is published, answered "No"; seen
    once for the tests that only look at it. A screenshot is kept in the e2e work
    directory for people to look at."""
    shots = work / "screenshots"
    shots.mkdir(parents=True, exist_ok=True)
    run = runner.run("standard_notice", Case(response(NEWER), settings=None,
                                             overrides={"product": "Writer"}),
                     on_shown=lambda dialog: wine.screen.screenshot(shots / "notice.png"))
    assert run.dialog is not None, "no notice dialog appeared"
    assert run.exit_code == 0
    return run


def test_the_notice_shows_the_standard_sentence_filled_in(standard_notice):
    assert standard_notice.control(IDC_NOTICE_TEXT)["text"] == (
        "Writer Version 3.0.014 is now available for download from www.orvanel.example!")


def test_the_notice_has_its_caption_question_box_and_two_buttons(standard_notice):
    dialog = standard_notice.dialog
    assert dialog["caption"] == "New Program Update Available"
    texts = {c["text"] for c in dialog["controls"] if c["class"].lower() == "static"}
    assert QUESTION in texts
    box = standard_notice.control(IDC_DISABLE_CHECKING)
    assert (box["text"], box["style"] & BS_TYPEMASK) == (BOX_LABEL, BS_AUTOCHECKBOX)
    yes, no = standard_notice.control(IDOK), standard_notice.control(IDCANCEL)
    assert (yes["text"], no["text"]) == ("Yes", "No")
    # "Yes" is the default button and has the focus: Enter answers it (test_browser.py).
    assert dialog["default_id"] == IDOK
    assert dialog["focus_id"] == IDOK
    assert yes["style"] & BS_TYPEMASK == BS_DEFPUSHBUTTON
    assert no["style"] & BS_TYPEMASK == BS_PUSHBUTTON


def test_the_notice_is_a_fixed_popup_without_system_menu_or_sizing_boxes(standard_notice):
    style, ex_style = standard_notice.dialog["style"], standard_notice.dialog["ex_style"]
    assert style & WS_POPUP
    assert style & WS_CAPTION == WS_CAPTION
    assert ex_style & WS_EX_DLGMODALFRAME
    assert not style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)


def test_the_notice_is_centred_in_the_work_area(standard_notice):
    rect, area = standard_notice.dialog["rect"], standard_notice.dialog["work_area"]
    # Equal room on both sides, give or take a pixel of rounding.
    assert abs((rect["left"] - area["left"]) - (area["right"] - rect["right"])) <= 1
    assert abs((rect["top"] - area["top"]) - (area["bottom"] - rect["bottom"])) <= 1


def test_the_notice_has_a_big_and_a_small_icon(standard_notice):
    dialog = standard_notice.dialog
    assert (dialog["icon_big"], dialog["icon_small"]) == (True, True)


def test_the_makers_messages_replace_the_standard_sentence(falwick, program, server):
    # MESSAGE2 is missing; a "%s" in a message is text, not a place for the product.
    server.serve("/info.txt", b"VERSION=3.5\r\nBUILD=14\r\n"
                              b"MESSAGE1=Version 3.5 prints up to 50% faster.\r\n"
                              b"MESSAGE3=Details: %s and %d stay as typed.\r\n")
    run = falwick(tokens(server), "esc")
    assert run.exit_code == 0
    assert run.control(IDC_NOTICE_TEXT)["text"] == (
        "Version 3.5 prints up to 50% faster.\r\n\r\nDetails: %s and %d stay as typed.")
    assert program.files() == {"Falwick.EXE", "writer.ini"}


def settings_text(value):
    return "" if value is None else "[Options]\r\nNoUpdateCheck=%s\r\n" % value


@pytest.mark.parametrize("stored, actions, shown, written", [
    # The box as read from the setting, left alone.
    (None, ["yes"], 0, "0"),
    ("yes", ["esc"], 0, "0"),
    ("2", ["no"], 1, "1"),
    ("-1", ["esc"], 1, "1"),
    ("1", ["yes"], 1, "1"),
    # The box changed by the user before answering.
    (None, ["tick", "yes"], 0, "1"),
    (None, ["tick", "no"], 0, "1"),
    (None, ["tick", "esc"], 0, "1"),
    ("1", ["untick", "no"], 1, "0"),
], ids=["missing-yes", "text-esc", "2-no", "minus1-esc", "1-yes",
        "ticked-yes", "ticked-no", "ticked-esc", "cleared-no"])
def test_the_box_shows_the_setting_and_is_stored_as_left_after_every_answer(
        falwick, program, server, stored, actions, shown, written):
    server.serve("/info.txt", NEWER)
    settings = program.file("writer.ini")
    if stored is not None:
        settings.write_text(settings_text(stored), newline="")
    run = falwick(tokens(server), *actions)
    assert run.control(IDC_DISABLE_CHECKING)["checked"] == shown
    assert run.exit_code == 0
    assert ini.entries(settings.read_text()) == ini.entries(settings_text(written))
    # The downloaded information file is gone, and nothing else was left.
    assert program.files() == {"Falwick.EXE", "writer.ini"}


HOST_SETTINGS = """\
; Writer settings, shared by Writer and its update check
[General]
Language = English

  ; window placement
Left=10
Top = 20

[Options]
Toolbar=1
NoUpdateCheck = 2
; the status bar
StatusBar=0
[Recent Files]
File1=C:\\Documents\\annual report.txt
"""


def test_storing_the_box_keeps_the_rest_of_the_hosts_settings(falwick, program, server):
    server.serve("/info.txt", NEWER)
    settings = program.file("writer.ini")
    settings.write_text(HOST_SETTINGS, newline="\r\n")
    run = falwick(tokens(server), "untick", "no")
    assert run.exit_code == 0
    expected = ini.entries(HOST_SETTINGS.replace("NoUpdateCheck = 2", "NoUpdateCheck=0"))
    assert ini.entries(settings.read_text()) == expected


def test_the_dialog_driver_reports_a_missing_notice_with_status_2(wine, programs, tmp_path):
    # No notice is no failure of the driver: it ends with a status of its own and
    # writes nothing.
    out = tmp_path / "dialog.json"
    status = DialogDriver(wine, programs.dialog_driver).run(out, 0.5)
    assert status == 2
    assert not out.exists()
