#!/usr/bin/python3
"""End-to-end checks of the zonter window against the controller simulator.

One invocation starts a private X display (Xvfb), D-Bus session and AT-SPI
bus; each scenario then starts the simulator zonter-kmsim and zonter itself,
and works the window through its accessibility interface the way a
technician at the bench would:
controls are found by their identifiers, buttons are pressed, boxes ticked,
sliders moved, and what the window shows is compared with what the
simulator sent and received.

Exit status: 0 passed, 1 failed, 77 skipped (a required system tool is
missing).
"""

import argparse
import importlib.util
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop  # noqa: E402
import screenshot  # noqa: E402
from controller import Simulator  # noqa: E402
from processes import ProcessGroup, remove_at_end, wait_until  # noqa: E402

SKIP = 77

STARTED = time.monotonic()


def note(message):
    print(f"[{time.monotonic() - STARTED:6.1f} s] {message}", flush=True)


def check(condition, message):
    if not condition:
        raise AssertionError(message)


# ----- what the window holds -------------------------------------------------

# Every control of the main window with its caption (None: no caption).
MAIN_CONTROLS = {
    "IDCANCEL": "Завершить",
    "IDC_PORT": None,
    "IDC_PORT_SPIN": None,
    "IDC_RAW_IN": None,
    "IDC_DECODED": None,
    "IDC_CONNECT": "Connect",
    "IDC_DISCONNECT": "Disconnect",
    "IDC_READ_ONCE": "Ед. чтен.",
    "IDC_READ_AUTO": "Авто. чтен.",
    "IDC_DECODER": None,
    "IDC_STATE": None,
    "IDC_TEMPLATE": None,
    "IDC_OUT": None,
    "IDC_SIMULATE": "имит. БК",
    "IDC_VT": None,
    "IDC_P": None,
    "IDC_COUNTER": None,
    "IDC_COUNTER_BTN": "t",
    "IDC_GEAR": None,
    "IDC_GEAR_CODE": None,
    "IDC_ZERO_START": "~0 Старт (P5/P09)",
    "IDC_MAXP": None,
    "IDC_MAXP_VAL": None,
    "IDC_CRUISE": "Круиз (P6/P17)",
    "IDC_SOFT_START": "~Плав. старт (P7/P12)",
    "IDC_EBS": None,
    "IDC_EBS_SPIN": None,
    "IDC_THROTTLE": None,
    "IDC_THROTTLE_VAL": None,
    "IDC_MAXV": None,
    "IDC_MAXV_VAL": None,
    "IDC_CAPTURE": "В файл 60s",
}

# The two status lines are labels whose text is their name, empty at start.
STATUS_LINES = {"IDC_STATE", "IDC_COUNTER"}

DECODER_ENTRIES = [" Неизвестный (Test)", " Halten RS", " Kugoo M (QS-S4)"]
HALTEN_RS = " Halten RS"
KUGOO_M = " Kugoo M (QS-S4)"

CONNECTED = "Соединение установ."
TIME_OUT = "Time Out"
CAPTURE_DONE = "300/600 пак. зап."

RUN_BUTTONS = ("IDC_READ_ONCE", "IDC_READ_AUTO", "IDC_CAPTURE")

# Lines by which AddressSanitizer, UBSan and ThreadSanitizer builds report.
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "runtime error:", "WARNING: ThreadSanitizer", "ERROR: LeakSanitizer")


def hex_bytes(text):
    """The bytes of a hexadecimal byte text such as "36 05 4C "."""
    return [int(b, 16) for b in text.split()]


def xor_all(frame):
    x = 0
    for b in frame:
        x ^= b
    return x


def descramble_halten(raw):
    """A Halten RS controller frame as the display reads it: nine bytes are
    sent as value + key (byte 13), modulo 256."""
    plain = list(raw)
    key = raw[13]
    for i in (3, 4, 5, 7, 8, 9, 10, 11, 12):
        plain[i] = (raw[i] - key) & 0xFF
    return plain


def counter_number(text):
    text = text.strip()
    return int(text) if text.isdigit() else None


# ----- one run: the desktop, the simulator and the window -------------------


class Session:
    """The desktop shared by the scenarios of one invocation: the AT-SPI
    client library binds to one accessibility bus per process."""

    def __init__(self, log_dir):
        self.processes = ProcessGroup()
        # Sockets live here (short paths), as do the port links (COMn).
        self.runtime_dir = tempfile.mkdtemp(prefix="zonter-e2e-")
        os.chmod(self.runtime_dir, 0o700)
        remove_at_end(self.runtime_dir)
        self.port_dir = os.path.join(self.runtime_dir, "zonter", "ports")
        self.desktop = desktop.Desktop(self.processes, self.runtime_dir, log_dir)

    def start(self):
        self.desktop.start()
        os.environ.update(self.desktop.env())
        note(f"desktop up: display {self.desktop.display}")

    def close(self):
        self.processes.stop_all()
        shutil.rmtree(self.runtime_dir, ignore_errors=True)


class Run:
    """One scenario: its simulators, its zonter and its files."""

    def __init__(self, args, session, work_dir):
        self.args = args
        self.session = session
        self.desktop = session.desktop
        self.port_dir = session.port_dir
        self.work_dir = work_dir
        self.processes = ProcessGroup()
        self.zonter_dir = os.path.join(work_dir, "cwd")  # zonter's current directory (captures land here)
        os.makedirs(self.zonter_dir)
        self.zonter = None
        self.window = None
        self.simulators = []

    def start_simulator(self, protocol="halten", port=1, extra=(), name=None):
        name = name or f"kmsim-{len(self.simulators) + 1}"
        sim = Simulator(self.processes, self.args.kmsim, self.desktop.env(), self.work_dir,
                        port=port, protocol=protocol, extra=extra, name=name)
        self.simulators.append(sim)
        note(f"{name}: {protocol} on COM{port} = {sim.device}")
        return sim

    def start_zonter(self):
        from window import Window  # binds to the bus that Session.start published

        env = self.desktop.env()
        env.update(QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        if env.get("TSAN_OPTIONS"):
            env["TSAN_OPTIONS"] = self._tsan_options(env["TSAN_OPTIONS"])
        with open(os.path.join(self.work_dir, "zonter.log"), "wb") as log:
            self.zonter = self.processes.start("zonter", [self.args.zonter], cwd=self.zonter_dir, env=env,
                                               stdout=log, stderr=log)
        self.window = Window(self.zonter.pid)
        note(f"zonter up (pid {self.zonter.pid}), {len(self.window.controls)} controls with identifiers")
        return self.window

    def _tsan_options(self, options):
        """The sanitizer options with the suppressions of the accessibility
        stack added to those already named."""
        words = options.replace(":", " ").split()
        named = [w.split("=", 1)[1] for w in words if w.startswith("suppressions=")]
        combined = os.path.join(self.work_dir, "tsan.supp")
        with open(combined, "w") as out:
            for path in named + [os.path.join(os.path.dirname(os.path.abspath(__file__)), "tsan-desktop.supp")]:
                with open(path) as f:
                    out.write(f.read() + "\n")
        return " ".join([w for w in words if not w.startswith("suppressions=")] + [f"suppressions={combined}"])

    def quit_zonter(self):
        """Closes the window with "Завершить" while the line may still be
        busy, as a technician ends the program, and checks it ended cleanly."""
        self.window.press("IDCANCEL")
        try:
            code = self.zonter.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise AssertionError("zonter did not end within 20 s of Завершить") from None
        self.processes.forget(self.zonter)
        check(code == 0, f"zonter ended with status {code}")
        with open(os.path.join(self.work_dir, "zonter.log"), encoding="utf-8", errors="replace") as f:
            output = f.read()
        reports = [line for line in output.splitlines() if any(mark in line for mark in SANITIZER_MARKS)]
        check(not reports, "zonter's output holds sanitizer reports: " + "; ".join(reports[:3]))
        note("zonter closed with Завершить")

    def com_link(self, port):
        return os.path.join(self.port_dir, f"COM{port}")

    def connect(self, port=1):
        """Presses Connect, but only while COM<port> is a simulator's line:
        no check may ever reach a real serial device."""
        w = self.window
        check(os.path.islink(self.com_link(port)), f"COM{port} is not registered in the test's port directory")
        check(w.text("IDC_PORT") == str(port), f"the port box shows {w.text('IDC_PORT')!r}, not {port}")
        w.press("IDC_CONNECT")
        wait_until(lambda: w.text("IDC_STATE") == CONNECTED, 10, f"the state line to say {CONNECTED!r}")
        wait_until(lambda: all(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be enabled")
        note(f"connected to COM{port}")

    def wait_counter_above(self, floor, timeout):
        w = self.window
        return wait_until(lambda: (counter_number(w.text("IDC_COUNTER")) or 0) > floor and
                          counter_number(w.text("IDC_COUNTER")), timeout,
                          lambda: f"the counter line to pass {floor} (it shows {w.text('IDC_COUNTER')!r})")

    def screenshot(self, path, whole_screen=False):
        """Saves the window (or the whole screen, popups and all) as a PNG."""
        crop = None if whole_screen else self.window.extents()
        screenshot.take(self.desktop.framebuffer, path, crop)
        note(f"screenshot: {path}")

    def window_dump(self):
        if self.window is None:
            return "(no window)"
        lines = []
        for ident in MAIN_CONTROLS:
            try:
                lines.append(f"  {ident:18} {self.window.text(ident)!r}")
            except Exception as error:  # the window may be gone
                lines.append(f"  {ident:18} <{error}>")
        return "\n".join(lines)

    def close(self):
        self.processes.stop_all()
        shutil.rmtree(self.port_dir, ignore_errors=True)


def read_consistent(w, idents, timeout=10, accept=lambda texts: True):
    """Reads several texts that one refresh sets together: the raw line is
    read before and after, and the reading counts only if it did not change
    (and `accept` likes it)."""
    def snapshot():
        before = w.text("IDC_RAW_IN")
        texts = w.texts(idents)
        if before and w.text("IDC_RAW_IN") == before and all(texts.values()):
            texts["IDC_RAW_IN"] = before
            return texts if accept(texts) else None
        return None

    return wait_until(snapshot, timeout, f"a steady reading of {', '.join(idents)}")


def wait_sent(sim, frame, what):
    """The simulator logs a frame once its line time is over, which may be
    a moment after the window has shown it."""
    wait_until(lambda: frame in sim.log.sent_frames(), 5, f"{what} ({frame}) in the simulator's log of sent frames")
    return sim.log.sent_frames()


def moving(texts):
    """The simulated scooter rides off 2 s after the line opens."""
    return texts["IDC_VT"].strip() not in ("", "0")


def wait_display_frames(sim, want, timeout, what):
    """Waits until the simulator has decoded display frames matching `want`
    (a dict of settings) and returns them."""
    def matching():
        frames = [f for f in sim.log.display_frames() if all(f.get(k) == v for k, v in want.items())]
        return frames if len(frames) >= 5 else None

    return wait_until(matching, timeout, what)


def check_display_frames_sound(sim):
    frames = sim.log.display_frames()
    bad = [f for f in frames if not f["checksum_ok"]]
    check(frames, "the simulator decoded no display frame")
    check(not bad, f"{len(bad)} of {len(frames)} display frames had a bad checksum, e.g. {bad[:1]}")
    return frames


def check_out_frame_reaches_controller(w, sim, length, header):
    """The output line shows a sealed display frame, and that very frame is
    what the controller received."""
    def shown_and_received():
        out = hex_bytes(w.text("IDC_OUT"))
        if len(out) != length:
            return None
        received = [f["bytes"] for f in sim.log.display_frames()]
        return out if out in received else None

    out = wait_until(shown_and_received, 10, f"the output line's frame ({length} bytes) in the simulator's log")
    check(out[:len(header)] == header, f"the output frame starts {out[:len(header)]}, expected {header}")
    check(xor_all(out) == 0, f"the output frame's XOR is {xor_all(out):#04x}, expected 0")
    return out


# ----- scenarios ---------------------------------------------------------------


def scenario_controls(run):
    """Every control is there, with its identifier, a readable name and its
    state after a fresh start."""
    w = run.start_zonter()
    check("Zonter" in (w.dialog.name or ""), f"window title {w.dialog.name!r}")
    missing = [ident for ident in MAIN_CONTROLS if ident not in w.controls]
    check(not missing, f"controls not found by identifier: {missing}")
    note(f"all {len(MAIN_CONTROLS)} identifiers found")

    for ident, caption in MAIN_CONTROLS.items():
        name = w.name(ident)
        if caption is not None:
            check(name == caption, f"{ident}: accessible name {name!r}, caption {caption!r}")
        elif ident not in STATUS_LINES:
            check(name.strip(), f"{ident} has no accessible name")

    import pyatspi

    roles = {
        "IDC_CONNECT": pyatspi.ROLE_PUSH_BUTTON, "IDC_SIMULATE": pyatspi.ROLE_CHECK_BOX,
        "IDC_GEAR": pyatspi.ROLE_SLIDER, "IDC_DECODER": pyatspi.ROLE_COMBO_BOX,
        "IDC_PORT": pyatspi.ROLE_TEXT, "IDC_COUNTER": pyatspi.ROLE_LABEL,
    }
    for ident, role in roles.items():
        check(w.control(ident).getRole() == role, f"{ident} is a {w.control(ident).getRoleName()}")

    check(w.entries("IDC_DECODER") == DECODER_ENTRIES, f"decoder entries {w.entries('IDC_DECODER')}")
    fresh = {
        "IDC_DECODER": HALTEN_RS, "IDC_PORT": "1", "IDC_GEAR_CODE": "5", "IDC_MAXP_VAL": "1",
        "IDC_MAXV_VAL": "90", "IDC_THROTTLE_VAL": "0", "IDC_EBS": "1", "IDC_VT": "0", "IDC_P": "0",
        "IDC_RAW_IN": "", "IDC_DECODED": "", "IDC_TEMPLATE": "", "IDC_OUT": "", "IDC_STATE": "", "IDC_COUNTER": "",
    }
    shown = {ident: (w.name(ident) if ident == "IDC_DECODER" else w.text(ident)) for ident in fresh}
    check(shown == fresh, "fresh start differs: " + ", ".join(
        f"{k} {shown[k]!r} (expected {v!r})" for k, v in fresh.items() if shown[k] != v))
    sliders = {ident: w.value(ident) for ident in ("IDC_GEAR", "IDC_MAXP", "IDC_MAXV", "IDC_THROTTLE")}
    check(sliders == {"IDC_GEAR": 3, "IDC_MAXP": 1, "IDC_MAXV": 90, "IDC_THROTTLE": 0}, f"sliders at {sliders}")
    ticks = {ident: w.checked(ident) for ident in ("IDC_SIMULATE", "IDC_ZERO_START", "IDC_CRUISE", "IDC_SOFT_START")}
    check(ticks == {"IDC_SIMULATE": False, "IDC_ZERO_START": False, "IDC_CRUISE": False, "IDC_SOFT_START": True},
          f"check boxes {ticks}")
    disabled = [b for b in RUN_BUTTONS if w.enabled(b)]
    check(not disabled, f"run buttons enabled before any Connect: {disabled}")
    check(not w.has_state("IDC_COUNTER_BTN", pyatspi.STATE_SHOWING), "the counter button is on screen")

    # The setting controls answer: the boxes beside the sliders follow them.
    for ident, value, box, text in (("IDC_GEAR", 5, "IDC_GEAR_CODE", "A"), ("IDC_GEAR", 7, "IDC_GEAR_CODE", "F"),
                                    ("IDC_MAXP", 55, "IDC_MAXP_VAL", "55"),
                                    ("IDC_THROTTLE", 1100, "IDC_THROTTLE_VAL", "1100"),
                                    ("IDC_MAXV", 25, "IDC_MAXV_VAL", "25")):
        w.set_value(ident, value)
        wait_until(lambda: w.text(box) == text, 5, f"{box} to show {text!r} after {ident} = {value}")
    # The arrows stop at their bounds (EBS 0..2, port 1..10). A step at a
    # bound shows nothing, so the step after it tells whether it was held.
    w.press("IDC_EBS_SPIN_UP")
    wait_until(lambda: w.text("IDC_EBS") == "2", 5, "EBS to step up to 2")
    w.press("IDC_EBS_SPIN_UP")
    w.press("IDC_EBS_SPIN_DOWN")
    wait_until(lambda: w.text("IDC_EBS") == "1", 5, "EBS to hold at 2, then step down to 1")
    w.press("IDC_PORT_SPIN_DOWN")
    w.press("IDC_PORT_SPIN_UP")
    wait_until(lambda: w.text("IDC_PORT") == "2", 5, "the port number to hold at 1, then step up to 2")
    w.press("IDC_PORT_SPIN_DOWN")
    wait_until(lambda: w.text("IDC_PORT") == "1", 5, "the port number to step back to 1")
    w.set_checked("IDC_CRUISE", True)
    w.set_checked("IDC_SOFT_START", False)
    w.select_entry("IDC_DECODER", KUGOO_M)
    w.select_entry("IDC_DECODER", HALTEN_RS)
    note("setting controls answer")


def start_display_run(run, w, refresh_every):
    """Gear 7, Connect, "имит. БК" and "Авто. чтен."; waits for two counts."""
    w.set_value("IDC_GEAR", 7)
    wait_until(lambda: w.text("IDC_GEAR_CODE") == "F", 5, "the gear code box to show F")
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.press("IDC_READ_AUTO")
    first = run.wait_counter_above(0, 20)
    note(f"counter shows {first}")
    check(first >= refresh_every,
          f"the first count shown is {first}; the window refreshes every {refresh_every} frames")
    later = run.wait_counter_above(first, 20)
    note(f"counter moved on to {later}")


def finish_display_run(run, sim):
    """Closes the window, checks the display frames and returns the simulator's summary."""
    run.quit_zonter()
    check_display_frames_sound(sim)
    summary = sim.stop()
    note(f"simulator: {summary}")
    check(summary.get("checksum-errors") == "0", f"checksum errors: {summary}")
    return summary


def scenario_halten(run):
    """Halten RS with the display played: counts, values, display frames."""
    sim = run.start_simulator("halten", extra=("--seed", "7"))
    w = run.start_zonter()
    start_display_run(run, w, refresh_every=5)

    shown = read_consistent(w, ["IDC_DECODED", "IDC_VT", "IDC_P"], 20, moving)
    raw = hex_bytes(shown["IDC_RAW_IN"])
    check(len(raw) == 15 and raw[0] == 0x36, f"raw line {shown['IDC_RAW_IN']!r}")
    wait_sent(sim, raw, "the raw line's frame")
    plain = descramble_halten(raw)
    check(hex_bytes(shown["IDC_DECODED"]) == plain[:14],
          f"decoded line {shown['IDC_DECODED']!r}, expected {' '.join(f'{b:02X}' for b in plain[:14])}")
    vt, p = plain[7] * 256 + plain[8], plain[10]
    check(shown["IDC_VT"].strip() == str(vt) and shown["IDC_P"].strip() == str(p),
          f"V/T {shown['IDC_VT']!r} and P {shown['IDC_P']!r}, the frame says {vt} and {p}")
    note(f"raw {shown['IDC_RAW_IN'].strip()} -> V/T {vt}, P {p}")

    frames = wait_display_frames(sim, {"gear": "7"}, 15, "display frames asking for gear 7")
    check_out_frame_reaches_controller(w, sim, 15, [0x01, 0x03])
    shot = os.path.join(run.work_dir, "screenshot-main.png")
    run.screenshot(shot)
    if run.args.screenshot:
        shutil.copyfile(shot, run.args.screenshot)
    note(f"{len(frames)} display frames with gear 7 (code F)")

    # Settings changed during the run reach the controller with the next frames.
    w.set_value("IDC_GEAR", 5)
    w.set_value("IDC_MAXV", 45)
    w.click_checked("IDC_CRUISE", True)
    wait_until(lambda: w.text("IDC_GEAR_CODE") == "A", 5, "the gear code box to show A")
    wait_display_frames(sim, {"gear": "5", "max-speed": "45", "cruise": "1"}, 15,
                        "display frames with gear 5, maximum speed 45 and cruise")
    note("gear 5, maximum speed 45 and cruise reached the controller")

    summary = finish_display_run(run, sim)
    check(summary.get("counter-gaps") == "0", f"the display frame counter jumped: {summary}")
    check(int(summary.get("display-frames", 0)) >= 10, f"few display frames: {summary}")


def scenario_kugoo(run):
    """Kugoo M with the display played."""
    sim = run.start_simulator("kugoo", extra=("--seed", "3"))
    w = run.start_zonter()
    w.select_entry("IDC_DECODER", KUGOO_M)
    start_display_run(run, w, refresh_every=10)

    shown = read_consistent(w, ["IDC_DECODED", "IDC_VT", "IDC_P"], 20, moving)
    raw = hex_bytes(shown["IDC_RAW_IN"])
    check(len(raw) == 14 and raw[:2] == [0x02, 0x0E], f"raw line {shown['IDC_RAW_IN']!r}")
    sent = wait_sent(sim, raw, "the raw line's frame")
    previous = hex_bytes(shown["IDC_DECODED"])
    check(previous in sent and sent.index(previous) < len(sent) - 1 - sent[::-1].index(raw),
          f"the second line {shown['IDC_DECODED']!r} is not an earlier controller frame")
    vt, p = raw[8] * 256 + raw[9], raw[7]
    check(shown["IDC_VT"].strip() == str(vt) and shown["IDC_P"].strip() == str(p),
          f"V/T {shown['IDC_VT']!r} and P {shown['IDC_P']!r}, the frame says {vt} and {p}")
    note(f"raw {shown['IDC_RAW_IN'].strip()} -> V/T {vt}, P {p}")

    frames = wait_display_frames(sim, {"gear": "7"}, 15, "display frames asking for gear 7")
    check_out_frame_reaches_controller(w, sim, 20, [0x01, 0x14])
    note(f"{len(frames)} display frames with gear 7")

    w.set_value("IDC_MAXP", 60)
    w.set_value("IDC_THROTTLE", 1100)
    w.set_value("IDC_MAXV", 30)
    wait_display_frames(sim, {"gear": "7", "max-power": "60", "throttle": "1100", "max-speed": "30"}, 15,
                        "display frames with maximum power 60, throttle 1100 and maximum speed 30")
    note("maximum power, throttle and maximum speed reached the controller")

    finish_display_run(run, sim)


def scenario_checkbox_actions(run):
    """The check boxes' accessible Toggle action counts as a click: the
    setting reaches the controller, not only the tick on screen."""
    sim = run.start_simulator("halten", extra=("--seed", "5"))
    w = run.start_zonter()
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.press("IDC_READ_AUTO")
    wait_display_frames(sim, {"zero-start": "0", "soft-start": "1", "cruise": "0"}, 15,
                        "display frames with the settings of a fresh start")
    w.set_checked("IDC_ZERO_START", True)
    w.set_checked("IDC_SOFT_START", False)
    w.set_checked("IDC_CRUISE", True)
    wait_display_frames(sim, {"zero-start": "1", "soft-start": "0", "cruise": "1"}, 15,
                        "display frames with zero start, without soft start and with cruise, "
                        "as the boxes ticked through their Toggle action show")
    note("Toggle actions reached the controller")


def scenario_no_selection(run):
    """Text typed into the decoder box while its list is closed leaves no
    decoder selected: Connect then opens the line at 1200 bit/s, the reads
    start nothing and change no line speed; picking a decoder recovers."""
    sim = run.start_simulator("kugoo", extra=("--seed", "11"))
    w = run.start_zonter()
    # Kugoo M would connect at 9600 bit/s and Halten RS would read: typing
    # must leave neither selected.
    w.select_entry("IDC_DECODER", KUGOO_M)
    w.type_text("IDC_DECODER", "Q")
    check(w.name("IDC_DECODER") not in DECODER_ENTRIES, f"the decoder box shows {w.name('IDC_DECODER')!r}")
    run.connect()
    latest = lambda: sim.status_text().rsplit("\r", 1)[-1]  # noqa: E731 (the live status line)
    wait_until(lambda: "line 1200 bit/s" in latest(), 10, "the simulator to see the line at 1200 bit/s")
    note("Connect with no decoder selected: line at 1200 bit/s")

    w.press("IDC_READ_AUTO")
    w.press("IDC_READ_ONCE")
    # Nothing may start: watch the line and the counter for a while.
    deadline = time.monotonic() + 2
    while time.monotonic() < deadline:
        status = latest()
        check("line 1200 bit/s" in status, f"a run with no decoder changed the line: {status}")
        check(w.text("IDC_COUNTER") == "", f"a run with no decoder shows a count: {w.text('IDC_COUNTER')!r}")
        time.sleep(0.2)
    note("the reads started nothing and left the line at 1200 bit/s")

    w.select_entry("IDC_DECODER", KUGOO_M)
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0, 15)
    note(f"with Kugoo M picked again the counter shows {count}")
    run.quit_zonter()
    sim.stop()


def read_capture(path):
    """The lines of a finished capture file, or None while the separator
    line has not been written yet."""
    with open(path, "rb") as f:
        data = f.read()
    if "--Доп".encode("cp1251") not in data:
        return None
    check(data.count(b"\n") == data.count(b"\r\n"), "the capture file's lines do not all end in CR LF")
    return data.split(b"\r\n")


def scenario_capture(run):
    """A whole 600-frame capture, compared byte for byte with what the
    controller sent."""
    sim = run.start_simulator("halten", extra=("--seed", "11", "--interval", "0"))
    w = run.start_zonter()
    run.connect()
    w.press("IDC_CAPTURE")
    wait_until(lambda: not w.enabled("IDC_CAPTURE"), 5, "the capture button to be disabled while recording")
    note("capture started")
    wait_until(lambda: w.text("IDC_COUNTER") == CAPTURE_DONE, 150,
               lambda: f"the counter line to say {CAPTURE_DONE!r} (it shows {w.text('IDC_COUNTER')!r})",
               interval=0.5)
    note("capture written")
    wait_until(lambda: w.enabled("IDC_CAPTURE"), 5, "the capture button to be enabled again")

    captures = wait_until(lambda: sorted(f for f in os.listdir(run.zonter_dir) if f.startswith("km")), 5,
                          "a capture file in zonter's working folder")
    check(len(captures) == 1, f"files in the working folder: {os.listdir(run.zonter_dir)}")
    name = captures[0]
    path = os.path.join(run.zonter_dir, name)
    lines = wait_until(lambda: read_capture(path), 10, "the capture file to be complete")
    note(f"capture file {name}: {len(lines)} lines")

    header = lines[0].decode("ascii")
    day, month, year_time = header.split(".", 2)
    year, clock = year_time.split(" ")
    hour, minute = clock.split(":")
    expected_name = f"km{int(month):02d}{int(day):02d}{int(hour):02d}{int(minute):02d}.txt"
    check(name == expected_name, f"file {name} for the header {header!r} (expected {expected_name})")
    check(len(year) == 4, f"header {header!r}")

    frames = []
    for k, line in enumerate(lines[1:601]):
        text = line.decode("ascii")
        body, _, index = text.partition(" ;")
        check(index == str(k), f"frame line {k + 1}: {text!r}")
        check(len(body) == 44 and body == body.upper(), f"frame line {k + 1}: {text!r}")
        frames.append(hex_bytes(body))
    check(frames[0][0] == 0x36, f"frame 0 does not start with 0x36: {frames[0]}")
    check(lines[601] == "--Доп-------------------".encode("cp1251"), f"separator line {lines[601]!r}")

    sent = wait_sent(sim, frames[599], "the last captured frame")
    starts = [i for i in range(len(sent) - 599) if sent[i] == frames[0]]
    check(starts, "the first captured frame is no frame the controller sent")
    start = starts[0]
    mismatches = [k for k in range(600) if sent[start + k] != frames[k]]
    check(not mismatches, f"{len(mismatches)} captured frames differ from the sent ones, first at {mismatches[:1]}")
    note(f"the 600 captured frames are frames {start + 1} to {start + 600} the controller sent, byte for byte")

    first_key = next((k for k in range(600) if frames[k][1] == 0x00), None)
    keys = [f"{f[13]:02X}," for f in frames[first_key:]] if first_key is not None else []
    expected_tail = b"\r\n".join("".join(keys[i:i + 16]).encode() for i in range(0, len(keys), 16))
    if len(keys) % 16 == 0 and keys:
        expected_tail += b"\r\n"
    tail = b"\r\n".join(lines[602:])
    check(tail == expected_tail, f"key section differs: {tail[:80]!r}... expected {expected_tail[:80]!r}...")
    raw = hex_bytes(w.text("IDC_RAW_IN"))
    check(raw == frames[299], f"raw line {raw}, expected the 300th captured frame {frames[299]}")
    leftovers = [f for f in os.listdir(run.zonter_dir) if f != name]
    check(not leftovers, f"other files in the working folder: {leftovers}")


def scenario_unplug(run):
    """The cable is pulled during a continuous read, then a controller is
    plugged in again."""
    hangup_after = 30
    sim = run.start_simulator("halten", extra=("--hangup-after", str(hangup_after)), name="kmsim-unplugged")
    w = run.start_zonter()
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0, 15)
    note(f"counter shows {count}")

    wait_until(lambda: not sim.running(), 30, "the simulator to hang up")
    summary = sim.summary()
    check(summary.get("frames-sent") == str(hangup_after), f"simulator: {summary}")
    check(not os.path.lexists(run.com_link(1)), "COM1 is still registered after the hang-up")
    note("line hung up")
    wait_until(lambda: w.text("IDC_COUNTER") == TIME_OUT, 10,
               lambda: f"the counter line to say {TIME_OUT!r} (it shows {w.text('IDC_COUNTER')!r})")
    note("counter shows Time Out")

    # The window still answers.
    w.set_value("IDC_GEAR", 6)
    wait_until(lambda: w.text("IDC_GEAR_CODE") == "D", 5, "the gear code box to show D")
    w.press("IDC_COUNTER_BTN")
    wait_until(lambda: w.text("IDC_COUNTER") == "0 (TimeOut)", 5, "the counter button to show the time-out status")
    note("window still answers")

    sim2 = run.start_simulator("halten", name="kmsim-replugged")
    w.press("IDC_DISCONNECT")
    wait_until(lambda: w.text("IDC_STATE") == "", 10, "Disconnect to clear the state line")
    wait_until(lambda: not any(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be disabled")
    run.connect()
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0, 15)
    note(f"reading again: counter shows {count}")
    later = run.wait_counter_above(count, 15)
    raw = hex_bytes(read_consistent(w, ["IDC_VT"])["IDC_RAW_IN"])
    wait_sent(sim2, raw, "the raw line's frame from the new controller")
    note(f"counter moved on to {later}")
    wait_display_frames(sim2, {"gear": "6"}, 15, "display frames with gear 6 on the new line")
    run.quit_zonter()
    summary = sim2.stop()
    check(summary.get("checksum-errors") == "0", f"checksum errors on the new line: {summary}")


def _viewable_top_windows(env):
    """The X windows directly under the root that are mapped and viewable."""
    out = subprocess.run(["xwininfo", "-root", "-children"], env=env, capture_output=True, text=True).stdout
    ids = [line.split()[0] for line in out.splitlines() if line.strip().startswith("0x")]
    shown = set()
    for wid in ids:
        info = subprocess.run(["xwininfo", "-id", wid], env=env, capture_output=True, text=True).stdout
        if "IsViewable" in info:
            shown.add(wid)
    return shown


def open_line_monitor(run, w):
    """Opens "Монитор линии" from the window menu, as a person does: a
    right click on the dialog's free corner opens the menu, and its last
    item is chosen with the keyboard (Up from the top wraps to it)."""
    import pyatspi  # binds to the bus that Session.start published
    from window import Window

    env = run.desktop.env()
    before = _viewable_top_windows(env)
    x, y, _, _ = w.extents()
    pyatspi.Registry.generateMouseEvent(x + 3, y + 3, "b3c")
    # Qt does not show its popup menus to AT-SPI: the menu's own X window
    # being mapped says it is open.
    wait_until(lambda: _viewable_top_windows(env) - before, 10, "the window menu to open")
    for keysym in (0xFF52, 0xFF0D):  # Up, Return
        pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    monitor = Window(run.zonter.pid, title_part="Монитор линии", required="IDC_MON_LIST")
    note(f"line monitor open, {len(monitor.controls)} controls with identifiers")
    return monitor


def marked_bytes(marks):
    """Byte indices that a hex cell's marks ("first+count" in characters,
    three characters a byte) cover."""
    out = set()
    for mark in marks.split():
        first, count = (int(v) for v in mark.split("+"))
        out.update(range(first // 3, (first + count - 1) // 3 + 1))
    return out


def check_monitor_rows(rows, sent, shown_to_controller, pace_ms):
    """Every controller frame between the first and the last listed is in
    the list, in order; Δt is that of a regular line whose frames come
    every pace_ms (low, high) ms; the highlighted bytes are exactly those
    that changed since the previous frame that way."""
    from_controller = [r for r in rows if r[2][0] == "КМ→"]
    to_controller = [r for r in rows if r[2][0] == "→КМ"]
    check(len(from_controller) >= 10 and len(to_controller) >= 10,
          f"{len(from_controller)} КМ→ and {len(to_controller)} →КМ rows listed")
    listed = [hex_bytes(r[3][0]) for r in from_controller]
    start = next((i for i in range(len(sent)) if sent[i:i + len(listed)] == listed), None)
    check(start is not None, "the listed controller frames are not an unbroken run of those the simulator sent "
          f"({len(listed)} listed, {len(sent)} sent)")
    for r in to_controller:
        check(hex_bytes(r[3][0]) in shown_to_controller, f"display frame {r[3][0]!r} never reached the controller")
    for side in (from_controller, to_controller):
        deltas = [float(r[1][0]) for r in side[1:] if r[1][0]]
        check(deltas, "no Δt listed")
        median = sorted(deltas)[len(deltas) // 2]
        check(pace_ms[0] <= median <= pace_ms[1], f"median Δt {median:.1f} ms, outside {pace_ms} ms")
        check(all(0.4 * median <= d <= 2.5 * median for d in deltas), f"an irregular Δt among {deltas}")
        changed_rows = 0
        for before, row in zip(side, side[1:]):
            a, b = hex_bytes(before[3][0]), hex_bytes(row[3][0])
            changed = {i for i in range(len(b)) if i >= len(a) or a[i] != b[i]}
            check(marked_bytes(row[3][1]) == changed,
                  f"row {row[3][0]!r} after {before[3][0]!r} highlights {row[3][1]!r}")
            changed_rows += bool(changed)
        check(changed_rows > 0, "no row with changed bytes to check the highlighting on")
    return len(from_controller), len(to_controller)


def scenario_monitor(run):
    """The line monitor lists every frame of both directions with its time,
    Δt and the changed bytes highlighted, and counts the link."""
    sim = run.start_simulator("halten", extra=("--seed", "7"))
    w = run.start_zonter()
    start_display_run(run, w, refresh_every=5)
    m = open_line_monitor(run, w)
    wait_until(lambda: m.table_row_count("IDC_MON_LIST") >= 40, 30, "40 rows in the monitor's list")
    m.set_checked("IDC_MON_PAUSE", True)
    frozen = m.table_row_count("IDC_MON_LIST")
    rows = m.table_rows("IDC_MON_LIST")
    sent = sim.log.sent_frames()
    to_controller = [f["bytes"] for f in sim.log.display_frames()]
    km, display = check_monitor_rows(rows, sent, to_controller, (100, 400))
    note(f"{km} КМ→ and {display} →КМ rows, all in order with their changed bytes")
    check(m.table_row_count("IDC_MON_LIST") == frozen, "the paused list moved on")
    counters = m.text("IDC_MON_RX_COUNTERS")
    check(counters.startswith("КМ→  кадров: "), f"counters {counters!r}")
    note(f"counters: {counters!r}")
    m.set_checked("IDC_MON_PAUSE", False)
    wait_until(lambda: m.table_row_count("IDC_MON_LIST") > frozen, 10, "the list to move on after the pause")
    shot = os.path.join(run.work_dir, "screenshot-monitor.png")
    screenshot.take(run.desktop.framebuffer, shot, m.extents())
    finish_display_run(run, sim)


SCENARIOS = {
    "controls": scenario_controls,
    "monitor": scenario_monitor,
    "halten": scenario_halten,
    "kugoo": scenario_kugoo,
    "capture": scenario_capture,
    "unplug": scenario_unplug,
    "checkbox_actions": scenario_checkbox_actions,
    "no_selection": scenario_no_selection,
}


def missing_requirements():
    missing = desktop.missing_tools()
    if importlib.util.find_spec("pyatspi") is None or importlib.util.find_spec("gi") is None:
        missing.append("the AT-SPI Python bindings (python3-pyatspi, gir1.2-atspi-2.0)")
    return missing


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zonter", required=True, help="the zonter program")
    parser.add_argument("--kmsim", required=True, help="the zonter-kmsim program")
    parser.add_argument("--work-dir", required=True,
                        help="a folder for logs and zonter's files; each scenario empties its subfolder first")
    parser.add_argument("--screenshot", help="where the halten scenario also saves its PNG of the window")
    parser.add_argument("scenarios", nargs="+", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    args.zonter = os.path.abspath(args.zonter)
    args.kmsim = os.path.abspath(args.kmsim)
    if args.screenshot:
        args.screenshot = os.path.abspath(args.screenshot)

    # A runner told to stop cleans up on the way out (the finally clauses).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))

    missing = missing_requirements()
    if missing:
        print("SKIP: missing " + "; ".join(missing) + " (scripts/install-deps installs them)")
        return SKIP

    root = os.path.abspath(args.work_dir)
    os.makedirs(root, exist_ok=True)
    session = Session(root)
    try:
        session.start()
        failed = [name for name in args.scenarios if not run_scenario(args, session, name)]
    finally:
        session.close()
    if failed:
        note("FAILED: " + ", ".join(failed))
    return 1 if failed else 0


def run_scenario(args, session, name, scenarios=None, make_run=None, program="zonter",
                 status=lambda sim: "\n  ".join(_tail(sim.status_path))):
    """Runs one scenario in a fresh work folder; on a failure prints what the
    window, the simulators and the program left behind. The Wine runner
    passes its own scenarios, run object, program name and status reader."""
    scenarios = scenarios or SCENARIOS
    make_run = make_run or Run
    work_dir = os.path.join(os.path.abspath(args.work_dir), name)
    shutil.rmtree(work_dir, ignore_errors=True)  # the previous run's logs and captures
    os.makedirs(work_dir)
    note(f"=== {name} (logs in {work_dir})")
    run = make_run(args, session, work_dir)
    try:
        try:
            scenarios[name](run)
            if run.zonter is not None and run.zonter.poll() is None:
                run.quit_zonter()
            note(f"=== {name} passed")
            return True
        except Exception as error:
            note(f"=== {name} FAILED: {error}")
            traceback.print_exc()
            print("window:\n" + run.window_dump())
            for sim in run.simulators:
                print(f"{sim.log.path} (last lines):\n  " + "\n  ".join(_tail(sim.log.path)))
                print(f"{sim.status_path}:\n  " + status(sim))
            print(f"{program} output:\n  " + "\n  ".join(_tail(os.path.join(work_dir, "zonter.log"))))
            try:
                run.screenshot(os.path.join(work_dir, "failure.png"), whole_screen=True)
            except Exception as shot_error:
                note(f"no failure screenshot: {shot_error}")
            return False
    finally:
        run.close()


def _tail(path, count=8):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read().splitlines()[-count:]
    except OSError:
        return ["(none)"]


if __name__ == "__main__":
    sys.exit(main())
