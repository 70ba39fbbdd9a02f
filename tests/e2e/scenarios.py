"""The end-to-end scenarios, written once for both window systems.

A scenario gets a run (see ScenarioRun) that starts the controller
simulator zonter-kmsim and the program, and a window object that works the
program's window as a technician at the bench would. Two drivers give that
window: AT-SPI on Linux (window.py) and the Win32 driver program under Wine
(tests/win32_e2e). Both offer the same calls:

  title()                   the window's title
  caption(id)               what the control's caption says
  text(id), texts([id...])  what a control shows (a box's text, a label,
                            a combo box's shown entry)
  enabled(id), checked(id), visible(id), value(id) (a slider's position)
  kind(id)                  "push button", "check box", "slider",
                            "combo box", "text", "label" or "other"
  layout()                  every child control: ident (None for a
                            label), kind, text, rect (x, y, w, h in the
                            window), visible
  press(id), press_hidden(id), press_and_go(id) (a button whose handler
                            closes or opens a window)
  set_checked(id, ticked), click_checked(id, ticked) (with the mouse)
  set_value(id, pos), step(spin id, up)
  entries(id), select_entry(id, entry), combo_state(id) ({"open",
                            "selection"}: the selected entry or -1, None
                            where NOT_ON says it cannot be told)
  type_text(id, text), replace_text(id, text)
  window_menu(command)      picks an item of the window menu, by its
                            command's name (WINDOW_MENU)
  find_window(title, required id, timeout) another window of the program
  wait_gone(timeout)        waits for this window to go
  row_count(id), rows(id)   a report list: per row, per cell (text,
                            highlighted characters as "first+count ...")
  chart(id)                 what a strip chart shows, as text
  rect()                    the window on the screen: x, y, w, h

What a driver cannot do on its system is listed in NOT_ON, with the reason.

Exit status of a runner: 0 passed, 1 failed, 77 skipped.
"""

import json
import os
import shutil
import subprocess
import time
import traceback

import screenshot
from controller import REPLUGGED, UNPLUGGED, Simulator
from processes import ProcessGroup, wait_until

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
# Every control of the main template, labels included.
MAIN_CONTROL_COUNT = 46
MAIN_LABELS = ("Сырой входной поток (от КМ):", "Порт COM", "Декодер", "Расшифровка:", "Начальный шаблон:",
               "Выходной поток (к КМ):", "\"Передача\":", "Курок:", "EBS (P9/P11):")
KINDS = {"IDC_CONNECT": "push button", "IDC_SIMULATE": "check box", "IDC_GEAR": "slider",
         "IDC_DECODER": "combo box", "IDC_PORT": "text", "IDC_COUNTER": "label"}

# The two status lines are labels whose text is their name, empty at start.
STATUS_LINES = {"IDC_STATE", "IDC_COUNTER"}

DECODER_ENTRIES = [" Неизвестный (Test)", " Halten RS", " Kugoo M (QS-S4)"]
HALTEN_RS = " Halten RS"
KUGOO_M = " Kugoo M (QS-S4)"

MAIN_TITLE = "Zonter - КМ"
SPEED_TITLE = "Скорость"
ABOUT_TITLE = "О проекте Zonter"
MONITOR_TITLE = "Монитор линии"
DETECT_TITLE = "Определение протокола"
# The program's own items at the end of the window menu, in their order.
WINDOW_MENU = ("CMD_ABOUT", "CMD_LINE_SPEED", "CMD_LINE_MONITOR", "CMD_DETECT")

CONNECTED = "Соединение установ."
LINE_GONE = "COM1 отключён"
TIME_OUT = "Time Out"
CAPTURE_DONE = "300/600 пак. зап."

RUN_BUTTONS = ("IDC_READ_ONCE", "IDC_READ_AUTO", "IDC_CAPTURE")

# Lines by which AddressSanitizer, UBSan and ThreadSanitizer builds report.
SANITIZER_MARKS = ("ERROR: AddressSanitizer", "runtime error:", "WARNING: ThreadSanitizer", "ERROR: LeakSanitizer")

# The checks that one system cannot make, with the reason; every other
# check runs on both.
NOT_ON = {
    "accessible names": ("wine", "a Win32 control has no accessible name of its own: the driver reads window "
                                 "texts, and the label before an uncaptioned control is checked among the labels"),
    "place of a hidden control": ("linux", "AT-SPI gives a control that is not on screen no place (its extents "
                                           "are empty), so only the shown controls are checked to lie inside"),
    "combo selection": ("linux", "Qt's combo box shows AT-SPI its text and its list's highlighted row, which stays on "
                                 "the entry last picked when typing leaves none selected; that the shown text is no "
                                 "entry is checked on both"),
}


def can(run, what):
    system, _reason = NOT_ON[what]
    return run.system != system


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


def cpu_seconds(pid):
    """User and system CPU time of a process, all its threads."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def cpu_ns_and_wakeups(pid):
    """CPU time of a process's living threads to the nanosecond (schedstat)
    and their wake-ups (voluntary switches) so far."""
    ns = wakeups = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                ns += int(f.read().split()[0])
            with open(f"/proc/{pid}/task/{task}/status") as f:
                wakeups += int(next(line for line in f if line.startswith("voluntary_ctxt_switches")).split()[1])
        except (OSError, StopIteration):
            pass  # a thread that ended meanwhile
    return ns, wakeups


# ----- one scenario's run: the simulators, the program and their files -------


class ScenarioRun:
    """What a scenario works with. A system's runner derives from it and
    gives: system, program (its name in messages), port_dir (where COMn
    links live), framebuffer (the display's xwd file), _simulator_env(),
    _simulator_args(), _start_program(log), _open_main_window(),
    _port_mapped() and cpu_processes() (other processes the bench
    measures)."""

    system = None
    program = None

    def __init__(self, args, work_dir):
        self.args = args
        self.work_dir = work_dir
        self.processes = ProcessGroup()
        self.zonter_dir = os.path.join(work_dir, "cwd")  # the program's current directory (captures land here)
        os.makedirs(self.zonter_dir)
        self.zonter = None
        self.window = None
        self.simulators = []

    def start_floor(self, speed):
        """A bare reader of COM2 (the simulator's --mirror-port line) at
        `speed`, as a process to measure; None where the run has none."""
        return None

    def start_simulator(self, protocol="halten", extra=(), name=None):
        name = name or f"kmsim-{len(self.simulators) + 1}"
        sim = Simulator(self.processes, self.args.kmsim, self._simulator_env(), self.work_dir, port=1,
                        protocol=protocol, extra=(*self._simulator_args(), *extra), name=name)
        self.simulators.append(sim)
        note(f"{name}: {protocol} on COM1 = {sim.device}")
        return sim

    def start_zonter(self):
        with open(os.path.join(self.work_dir, "zonter.log"), "wb") as log:
            self.zonter = self._start_program(log)
        self.window = self._open_main_window()
        note(f"{self.program} up (pid {self.zonter.pid})")
        return self.window

    def quit_zonter(self):
        """Closes the window with "Завершить" while the line may still be
        busy, as a technician ends the program, and checks it ended cleanly."""
        self.window.press_and_go("IDCANCEL")
        try:
            code = self.zonter.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"{self.program} did not end within 30 s of Завершить") from None
        self.processes.forget(self.zonter)
        check(code == 0, f"{self.program} ended with status {code}")
        with open(os.path.join(self.work_dir, "zonter.log"), encoding="utf-8", errors="replace") as f:
            output = f.read()
        reports = [line for line in output.splitlines() if any(mark in line for mark in SANITIZER_MARKS)]
        check(not reports, f"{self.program}'s output holds sanitizer reports: " + "; ".join(reports[:3]))
        note(f"{self.program} closed with Завершить")

    def com_link(self):
        return os.path.join(self.port_dir, "COM1")

    def connect(self):
        """Presses Connect, but only while COM1 is a simulator's line: no
        check may ever reach a real serial device."""
        w = self.window
        link = self.com_link()
        check(os.path.islink(link) and os.readlink(link).startswith("/dev/pts/"),
              "no simulator's pseudo-terminal is linked as COM1")
        check(self._port_mapped(), f"{self.program}'s COM1 is not the simulator's link")
        check(w.text("IDC_PORT") == "1", f"the port box shows {w.text('IDC_PORT')!r}, not 1")
        w.press("IDC_CONNECT")
        wait_until(lambda: w.text("IDC_STATE") == CONNECTED, 15,
                   lambda: f"the state line to say {CONNECTED!r} (it says {w.text('IDC_STATE')!r})")
        wait_until(lambda: all(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be enabled")
        note("connected to COM1")

    def wait_counter_above(self, floor, timeout=20):
        w = self.window
        return wait_until(lambda: (counter_number(w.text("IDC_COUNTER")) or 0) > floor and
                          counter_number(w.text("IDC_COUNTER")), timeout,
                          lambda: f"the counter line to pass {floor} (it shows {w.text('IDC_COUNTER')!r})")

    def screenshot(self, path, window=None, whole_screen=False):
        """Saves a window (the main one unless told), or the whole screen
        with its pop-ups, as a PNG."""
        crop = None if whole_screen else (window or self.window).rect()
        screenshot.take(self.framebuffer, path, crop)
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


# ----- checks shared by the scenarios ----------------------------------------


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


def wait_status(sim, text, what, timeout=10):
    wait_until(lambda: text in sim.latest_status(), timeout,
               lambda: f"{what} (status: {sim.latest_status()})")


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


def check_raw_frame(sim, raw_text, decoded):
    """A Halten RS frame on the raw line: one the simulator sent, and the
    decoded line beside it is its descrambled form."""
    raw = hex_bytes(raw_text)
    check(len(raw) == 15 and raw[0] == 0x36 and xor_all(raw[:14]) == raw[14], f"raw line {raw_text!r}")
    wait_sent(sim, raw, "the raw line's frame")
    plain = descramble_halten(raw)
    check(hex_bytes(decoded) == plain[:14],
          f"decoded line {decoded!r}, expected {' '.join(f'{b:02X}' for b in plain[:14])}")
    return plain


def start_display_run(run, w, refresh_every):
    """Gear 7, Connect, "имит. БК" and "Авто. чтен."; waits for two counts."""
    w.set_value("IDC_GEAR", 7)
    wait_until(lambda: w.text("IDC_GEAR_CODE") == "F", 5, "the gear code box to show F")
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.press("IDC_READ_AUTO")
    first = run.wait_counter_above(0)
    note(f"counter shows {first}")
    check(first >= refresh_every,
          f"the first count shown is {first}; the window refreshes every {refresh_every} frames")
    later = run.wait_counter_above(first)
    note(f"counter moved on to {later}")


def finish_display_run(run, sim):
    """Closes the window, checks the display frames and returns the simulator's summary."""
    run.quit_zonter()
    check_display_frames_sound(sim)
    summary = sim.stop()
    note(f"simulator: {summary}")
    check(summary.get("checksum-errors") == "0", f"checksum errors: {summary}")
    return summary


def check_measured_values(shown, vt, p):
    check(shown["IDC_VT"].strip() == str(vt) and shown["IDC_P"].strip() == str(p),
          f"V/T {shown['IDC_VT']!r} and P {shown['IDC_P']!r}, the frame says {vt} and {p}")
    note(f"raw {shown['IDC_RAW_IN'].strip()} -> V/T {vt}, P {p}")


# ----- scenarios ---------------------------------------------------------------


def scenario_controls(run):
    """Every control is there, with its identifier, caption, kind and place,
    in its state after a fresh start; the setting controls answer."""
    w = run.start_zonter()
    check(w.title() == MAIN_TITLE, f"window title {w.title()!r}")
    layout = w.layout()
    check(len(layout) == MAIN_CONTROL_COUNT, f"{len(layout)} controls, the template has {MAIN_CONTROL_COUNT}")
    by_ident = {c["ident"]: c for c in layout if c["ident"]}
    missing = [ident for ident in MAIN_CONTROLS if ident not in by_ident]
    check(not missing, f"controls not found by identifier: {missing}")
    note(f"all {len(MAIN_CONTROLS)} identifiers found")
    for ident, caption in MAIN_CONTROLS.items():
        if caption is not None:
            check(w.caption(ident) == caption, f"{ident} shows {w.caption(ident)!r}, its caption is {caption!r}")
        elif ident not in STATUS_LINES and can(run, "accessible names"):
            check(w.caption(ident).strip(), f"{ident} has no accessible name")
    labels = [c["text"] for c in layout if c["ident"] is None]
    for label in MAIN_LABELS:
        check(label in labels, f"no label {label!r} among {labels}")
    for ident, kind in KINDS.items():
        check(w.kind(ident) == kind, f"{ident} is a {w.kind(ident)}, not a {kind}")
    hidden = [c["ident"] for c in layout if not c["visible"]]
    check(hidden == ["IDC_COUNTER_BTN"], f"hidden controls: {hidden}")
    _, _, width, height = w.rect()
    placed = [c for c in layout if c["visible"] or can(run, "place of a hidden control")]
    outside = [c for c in placed if c["rect"][0] < 0 or c["rect"][1] < 0 or
               c["rect"][0] + c["rect"][2] > width or c["rect"][1] + c["rect"][3] > height]
    check(not outside, f"controls outside the window ({width}x{height}): {outside}")
    note(f"all {len(layout)} controls there, captions in Cyrillic")

    check(w.entries("IDC_DECODER") == DECODER_ENTRIES, f"decoder entries {w.entries('IDC_DECODER')}")
    fresh = {
        "IDC_DECODER": HALTEN_RS, "IDC_PORT": "1", "IDC_GEAR_CODE": "5", "IDC_MAXP_VAL": "1", "IDC_MAXV_VAL": "90",
        "IDC_THROTTLE_VAL": "0", "IDC_EBS": "1", "IDC_VT": "0", "IDC_P": "0", "IDC_RAW_IN": "", "IDC_DECODED": "",
        "IDC_TEMPLATE": "", "IDC_OUT": "", "IDC_STATE": "", "IDC_COUNTER": "",
    }
    shown = w.texts(list(fresh))
    check(shown == fresh, "fresh start differs: " + ", ".join(
        f"{k} {shown[k]!r} (expected {v!r})" for k, v in fresh.items() if shown[k] != v))
    sliders = {ident: w.value(ident) for ident in ("IDC_GEAR", "IDC_MAXP", "IDC_MAXV", "IDC_THROTTLE")}
    check(sliders == {"IDC_GEAR": 3, "IDC_MAXP": 1, "IDC_MAXV": 90, "IDC_THROTTLE": 0}, f"sliders at {sliders}")
    ticks = {ident: w.checked(ident) for ident in ("IDC_SIMULATE", "IDC_ZERO_START", "IDC_CRUISE", "IDC_SOFT_START")}
    check(ticks == {"IDC_SIMULATE": False, "IDC_ZERO_START": False, "IDC_CRUISE": False, "IDC_SOFT_START": True},
          f"check boxes {ticks}")
    enabled = [b for b in RUN_BUTTONS if w.enabled(b)]
    check(not enabled, f"run buttons enabled before any Connect: {enabled}")
    check(not w.visible("IDC_COUNTER_BTN"), "the counter button is on screen")

    # The setting controls answer: the boxes beside the sliders follow them.
    for ident, value, box, text in (("IDC_GEAR", 5, "IDC_GEAR_CODE", "A"), ("IDC_GEAR", 7, "IDC_GEAR_CODE", "F"),
                                    ("IDC_MAXP", 55, "IDC_MAXP_VAL", "55"),
                                    ("IDC_THROTTLE", 1100, "IDC_THROTTLE_VAL", "1100"),
                                    ("IDC_MAXV", 25, "IDC_MAXV_VAL", "25")):
        w.set_value(ident, value)
        wait_until(lambda: w.text(box) == text, 5, f"{box} to show {text!r} after {ident} = {value}")
    # The arrows stop at their bounds (EBS 0..2, port 1..10). A step at a
    # bound shows nothing, so the step after it tells whether it was held.
    w.step("IDC_EBS_SPIN", up=True)
    wait_until(lambda: w.text("IDC_EBS") == "2", 5, "EBS to step up to 2")
    w.step("IDC_EBS_SPIN", up=True)
    w.step("IDC_EBS_SPIN", up=False)
    wait_until(lambda: w.text("IDC_EBS") == "1", 5, "EBS to hold at 2, then step down to 1")
    w.step("IDC_PORT_SPIN", up=False)
    w.step("IDC_PORT_SPIN", up=True)
    wait_until(lambda: w.text("IDC_PORT") == "2", 5, "the port number to hold at 1, then step up to 2")
    w.step("IDC_PORT_SPIN", up=False)
    wait_until(lambda: w.text("IDC_PORT") == "1", 5, "the port number to step back to 1")
    w.set_checked("IDC_CRUISE", True)
    w.set_checked("IDC_SOFT_START", False)
    w.select_entry("IDC_DECODER", KUGOO_M)
    w.select_entry("IDC_DECODER", HALTEN_RS)
    note("setting controls answer")


def scenario_connect(run):
    """Connect opens the line at the controller's speed, Disconnect gives
    it back."""
    sim = run.start_simulator("halten", extra=("--seed", "3"))
    w = run.start_zonter()
    run.connect()
    wait_status(sim, "sending at 1200 bit/s", "the simulator to see its own speed, 1200 bit/s")
    note("the simulator sees the line at 1200 bit/s")
    w.press("IDC_DISCONNECT")
    wait_until(lambda: w.text("IDC_STATE") == "", 10, "Disconnect to clear the state line")
    wait_until(lambda: not any(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be disabled")
    wait_status(sim, "port closed by the reader", "the simulator to see the port closed")
    note("Disconnect gave the line back")
    run.quit_zonter()
    sim.stop()


def scenario_single_read(run):
    """One "Ед. чтен.": the raw line shows a frame the simulator sent."""
    sim = run.start_simulator("halten", extra=("--seed", "5"))
    w = run.start_zonter()
    run.connect()
    w.press("IDC_READ_ONCE")
    raw_text = wait_until(lambda: w.text("IDC_RAW_IN").strip(), 15, "the raw line to show a frame")
    check_raw_frame(sim, raw_text, w.text("IDC_DECODED"))
    note(f"raw {raw_text} is a frame the simulator sent")
    run.quit_zonter()
    sim.stop()


def scenario_halten(run):
    """Halten RS read continuously with "имит. БК": counts, values, and the
    settings of the sliders and boxes in the display frames."""
    sim = run.start_simulator("halten", extra=("--seed", "7"))
    w = run.start_zonter()
    start_display_run(run, w, refresh_every=5)

    shown = read_consistent(w, ["IDC_DECODED", "IDC_VT", "IDC_P"], 20, moving)
    plain = check_raw_frame(sim, shown["IDC_RAW_IN"], shown["IDC_DECODED"])
    check_measured_values(shown, plain[7] * 256 + plain[8], plain[10])

    frames = wait_display_frames(sim, {"gear": "7"}, 15, "display frames asking for gear 7")
    check_out_frame_reaches_controller(w, sim, 15, [0x01, 0x03])
    shot = os.path.join(run.work_dir, "screenshot-main.png")
    run.screenshot(shot)
    if run.args.screenshot:
        os.makedirs(os.path.dirname(run.args.screenshot), exist_ok=True)
        shutil.copyfile(shot, run.args.screenshot)
        note(f"screenshot copied to {run.args.screenshot}")
    note(f"{len(frames)} display frames with gear 7 (code F)")

    # Settings changed during the run reach the controller with the next frames.
    w.set_value("IDC_GEAR", 5)
    w.set_value("IDC_MAXV", 45)
    w.click_checked("IDC_CRUISE", True)
    w.set_checked("IDC_SOFT_START", False)
    w.step("IDC_EBS_SPIN", up=True)
    wait_until(lambda: w.text("IDC_GEAR_CODE") == "A", 5, "the gear code box to show A")
    wait_until(lambda: w.text("IDC_EBS") == "2", 5, "EBS to step up to 2")
    wait_display_frames(sim, {"gear": "5", "max-speed": "45", "cruise": "1", "soft-start": "0", "ebs": "2"}, 15,
                        "display frames with gear 5, maximum speed 45, cruise, no soft start and EBS 2")
    note("gear 5, maximum speed 45, cruise, no soft start and EBS 2 reached the controller")

    summary = finish_display_run(run, sim)
    check(summary.get("counter-gaps") == "0", f"the display frame counter jumped: {summary}")
    check(int(summary.get("display-frames", 0)) >= 10, f"few display frames: {summary}")


def scenario_kugoo(run):
    """Kugoo M read continuously with "имит. БК"."""
    sim = run.start_simulator("kugoo", extra=("--seed", "3"))
    w = run.start_zonter()
    w.select_entry("IDC_DECODER", KUGOO_M)
    start_display_run(run, w, refresh_every=10)
    wait_status(sim, "sending at 9600 bit/s", "the simulator to see 9600 bit/s")

    shown = read_consistent(w, ["IDC_DECODED", "IDC_VT", "IDC_P"], 20, moving)
    raw = hex_bytes(shown["IDC_RAW_IN"])
    check(len(raw) == 14 and raw[:2] == [0x02, 0x0E], f"raw line {shown['IDC_RAW_IN']!r}")
    sent = wait_sent(sim, raw, "the raw line's frame")
    previous = hex_bytes(shown["IDC_DECODED"])
    check(previous in sent and sent.index(previous) < len(sent) - 1 - sent[::-1].index(raw),
          f"the second line {shown['IDC_DECODED']!r} is not an earlier controller frame")
    check_measured_values(shown, raw[8] * 256 + raw[9], raw[7])

    frames = wait_display_frames(sim, {"gear": "7"}, 15, "display frames asking for gear 7")
    check_out_frame_reaches_controller(w, sim, 20, [0x01, 0x14])
    note(f"{len(frames)} display frames with gear 7")

    w.set_value("IDC_MAXP", 60)
    w.set_value("IDC_THROTTLE", 1100)
    w.set_value("IDC_MAXV", 30)
    w.set_checked("IDC_ZERO_START", True)
    w.step("IDC_EBS_SPIN", up=False)
    wait_until(lambda: w.texts(["IDC_MAXP_VAL", "IDC_THROTTLE_VAL", "IDC_MAXV_VAL", "IDC_EBS"]) ==
               {"IDC_MAXP_VAL": "60", "IDC_THROTTLE_VAL": "1100", "IDC_MAXV_VAL": "30", "IDC_EBS": "0"}, 5,
               "the boxes beside the sliders and the EBS box to follow")
    wait_display_frames(sim, {"gear": "7", "max-power": "60", "throttle": "1100", "max-speed": "30",
                              "zero-start": "1", "ebs": "0"}, 15,
                        "display frames with maximum power 60, throttle 1100, maximum speed 30, zero start, EBS 0")
    note("maximum power, throttle, maximum speed, zero start and EBS reached the controller")
    finish_display_run(run, sim)


def scenario_checkbox_actions(run):
    """Ticking the check boxes (on Linux through their accessible Toggle
    action) counts as a click: the setting reaches the controller, not
    only the tick on screen."""
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
                        "display frames with zero start, without soft start and with cruise, as the boxes show")
    note("the ticks reached the controller")


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
    state = w.combo_state("IDC_DECODER")
    check(not state["open"], "the list opened")
    check(w.text("IDC_DECODER") not in DECODER_ENTRIES, f"the decoder box shows {w.text('IDC_DECODER')!r}")
    check(not can(run, "combo selection") or state["selection"] == -1, f"after typing, the decoder box has entry {state['selection']} selected")
    run.connect()
    wait_status(sim, "line 1200 bit/s", "the simulator to see the line at 1200 bit/s")
    note("Connect with no decoder selected: line at 1200 bit/s")

    w.press("IDC_READ_AUTO")
    w.press("IDC_READ_ONCE")
    # Nothing may start: the line and the counter are watched for a while.
    deadline = time.monotonic() + 2
    while time.monotonic() < deadline:
        status = sim.latest_status()
        check("line 1200 bit/s" in status, f"a run with no decoder changed the line: {status}")
        check(w.text("IDC_COUNTER") == "", f"a run with no decoder shows a count: {w.text('IDC_COUNTER')!r}")
        time.sleep(0.2)
    note("the reads started nothing and left the line at 1200 bit/s")

    w.select_entry("IDC_DECODER", KUGOO_M)
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0)
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
                          "a capture file in the program's working folder")
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
    """The cable is pulled during a continuous read; a controller is then
    plugged in again and Disconnect/Connect recovers."""
    hangup_after = 30
    sim = run.start_simulator("halten", extra=("--hangup-after", str(hangup_after)), name="kmsim-unplugged")
    w = run.start_zonter()
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0)
    note(f"counter shows {count}")

    wait_until(lambda: not sim.running(), 30, "the simulator to hang up")
    summary = sim.summary()
    check(summary.get("frames-sent") == str(hangup_after), f"simulator: {summary}")
    check(not os.path.lexists(run.com_link()), "COM1 is still linked after the hang-up")
    note("line hung up")
    wait_until(lambda: w.text("IDC_COUNTER") == TIME_OUT, 15,
               lambda: f"the counter line to say {TIME_OUT!r} (it shows {w.text('IDC_COUNTER')!r})")
    note("counter shows Time Out")

    # The window still answers, and does not spin on the dead line.
    w.set_value("IDC_GEAR", 6)
    wait_until(lambda: w.text("IDC_GEAR_CODE") == "D", 5, "the gear code box to show D")
    w.press_hidden("IDC_COUNTER_BTN")
    wait_until(lambda: w.text("IDC_COUNTER") == "0 (TimeOut)", 5, "the counter button to show the time-out status")
    zonter_cpu = cpu_seconds(run.zonter.pid)
    time.sleep(2)  # a span to measure, not a wait for a condition
    spent = cpu_seconds(run.zonter.pid) - zonter_cpu
    check(spent < 1.0, f"{run.program} used {spent:.2f} s of CPU in 2 s on an unplugged line: a spin")
    note(f"window still answers; {spent * 1000:.0f} ms of CPU in 2 s on the unplugged line")

    sim2 = run.start_simulator("halten", name="kmsim-replugged")
    w.press("IDC_DISCONNECT")
    wait_until(lambda: w.text("IDC_STATE") == "", 10, "Disconnect to clear the state line")
    wait_until(lambda: not any(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be disabled")
    run.connect()
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0)
    note(f"reading again: counter shows {count}")
    later = run.wait_counter_above(count)
    raw = hex_bytes(read_consistent(w, ["IDC_VT"])["IDC_RAW_IN"])
    wait_sent(sim2, raw, "the raw line's frame from the new controller")
    note(f"counter moved on to {later}")
    wait_display_frames(sim2, {"gear": "6"}, 15, "display frames with gear 6 on the new line")
    run.quit_zonter()
    summary = sim2.stop()
    check(summary.get("checksum-errors") == "0", f"checksum errors on the new line: {summary}")


def thread_wakeups(pid):
    """Voluntary context switches of each thread of a process, by thread
    id, with the thread's name: each is the thread going to sleep, i.e.
    waking again later."""
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                fields = dict(line.rstrip("\n").split(":\t", 1) for line in f if ":\t" in line)
            threads[tid] = (fields["Name"], int(fields["voluntary_ctxt_switches"]))
        except (OSError, KeyError, ValueError):
            pass  # a thread that ended meanwhile
    return threads


def wakeups_between(before, after):
    """The wake-ups between two readings of thread_wakeups, and the threads
    that had any ("name/tid count, ..."); a thread that appeared in between
    counts from zero."""
    counts = {tid: n - before.get(tid, (name, 0))[1] for tid, (name, n) in after.items()}
    busiest = sorted(counts.items(), key=lambda count: -count[1])
    busy = ", ".join(f"{after[tid][0]}/{tid} {n}" for tid, n in busiest if n > 0)
    return sum(counts.values()), busy


def wait_state_after(run, text, since, within, what):
    """Waits for the state line to read `text` and checks that it did so
    within `within` s of the simulator's event at `since` (monotonic).
    Returns the seconds it took, as closely as the window can be polled."""
    w = run.window
    seen = wait_until(lambda: w.text("IDC_STATE") == text and time.monotonic(), within + 15,
                      lambda: f"the state line to say {text!r} (it says {w.text('IDC_STATE')!r})", interval=0.01)
    took = seen - since
    check(took <= within, f"the state line said {text!r} {took:.2f} s after {what}, later than {within} s")
    note(f"state line {text!r} {took:.2f} s after {what}")
    return took


def unplug_and_replug(run, gone_seconds):
    """The adapter is pulled during a continuous read with "имит. БК"
    ticked and plugged in again `gone_seconds` later: the state line tells
    that the line has gone, the program reopens the port by itself when it
    is back, sends no display frame on its own, and a single read then
    decodes a frame. Returns what was measured on the way: the state
    line's delays, and the program's CPU and wake-ups while the line was
    gone (the window left alone then, since reading it costs the program
    CPU)."""
    unplug_after = 15
    sim = run.start_simulator("halten", extra=("--seed", "17", "--unplug-after", str(unplug_after),
                                               "--replug-after", str(gone_seconds)))
    w = run.start_zonter()
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.press("IDC_READ_AUTO")

    unplugged = sim.wait_event("unplugged", 60)
    check(not os.path.lexists(run.com_link()), "COM1 is still linked after the unplug")
    before = len(sim.log.display_frames()) - len(sim.log.display_frames(since=UNPLUGGED))
    check(before > 0, "no display frame reached the controller before the unplug: the run with "
                      "\"имит. БК\" did not go")
    note(f"unplugged after {unplug_after} frames and {before} display frames")
    figures = {"unplug-to-state-seconds": round(wait_state_after(run, LINE_GONE, unplugged, 2, "the unplug"), 3)}
    wait_until(lambda: not any(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be disabled")
    wait_until(lambda: w.text("IDC_COUNTER") == TIME_OUT, 5,
               lambda: f"the counter line to say {TIME_OUT!r} (it shows {w.text('IDC_COUNTER')!r})")

    # A span to measure, not a wait for a condition: up to shortly before
    # the line returns.
    pid, others = run.zonter.pid, run.cpu_processes()
    t0, cpu0, wakeups0 = time.monotonic(), cpu_seconds(pid), thread_wakeups(pid)
    others0 = {name: cpu_seconds(p) for name, p in others.items()}
    time.sleep(max(0.0, unplugged + gone_seconds - 0.2 - t0))
    span = max(time.monotonic() - t0, 0.001)
    spent = cpu_seconds(pid) - cpu0
    wakeups, busy = wakeups_between(wakeups0, thread_wakeups(pid))
    figures.update({"gone-span-seconds": round(span, 2), "gone-cpu-percent": round(spent / span * 100, 3),
                    "gone-wakeups-per-second": round(wakeups / span, 2), "gone-wakeups-by-thread": busy,
                    "gone-cpu-percent-of": {name: round((cpu_seconds(p) - others0[name]) / span * 100, 3)
                                            for name, p in others.items()}})
    check(spent <= 0.25 * span + 0.05, f"{run.program} used {spent:.2f} s of CPU in {span:.2f} s without a line: "
                                       "a spin")
    note(f"without a line: {spent * 1000:.0f} ms of CPU in {span:.2f} s, "
         f"{figures['gone-wakeups-per-second']} wake-ups/s")

    replugged = sim.wait_event("replugged", 30)
    check(os.path.islink(run.com_link()) and os.readlink(run.com_link()).startswith("/dev/pts/"),
          "COM1 is not linked to the new line after the replug")
    figures["replug-to-connected-seconds"] = round(wait_state_after(run, CONNECTED, replugged, 3, "the replug"), 3)
    wait_status(sim, "sending at 1200 bit/s", "the reopened line at the controller's 1200 bit/s")
    wait_until(lambda: all(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be enabled again")
    # The display simulation drives a motor controller: it never comes
    # back by itself. It would send a frame every few hundred ms.
    quiet_until = time.monotonic() + 2
    while time.monotonic() < quiet_until:
        sent = sim.log.display_frames(since=REPLUGGED)
        check(not sent, f"{len(sent)} display frames went out after the replug with no run started: {sent[:1]}")
        time.sleep(0.1)
    note("no display frame after the replug")

    def shows_new_frame():
        text = w.text("IDC_RAW_IN")
        return text if hex_bytes(text) in sim.log.sent_frames(since=REPLUGGED) else None

    w.press("IDC_READ_ONCE")
    raw_text = wait_until(shows_new_frame, 15, "the raw line to show a frame sent after the replug")
    check_raw_frame(sim, raw_text, w.text("IDC_DECODED"))
    note(f"single read after the replug: raw {raw_text.strip()}")
    run.quit_zonter()
    summary = sim.stop()
    check(summary.get("checksum-errors") == "0", f"checksum errors: {summary}")
    return figures


def scenario_replug(run):
    """Unplug and replug, the line gone for 2 s (see unplug_and_replug)."""
    unplug_and_replug(run, gone_seconds=2)


def scenario_replug_bench(run):
    """A measurement, not a check of the default run: unplug and replug
    with the line gone for --seconds. Prints the figures as RESULT lines
    (scripts/bench's table) and one BENCH line."""
    figures = unplug_and_replug(run, gone_seconds=run.args.seconds)
    figures["load-average"] = os.getloadavg()[0]
    print("BENCH " + json.dumps(figures), flush=True)
    where = f"{run.program}, {run.system}"
    rows = [
        (f"{where}: CPU while the line is gone", f"{figures['gone-cpu-percent']:.3f}", "% of a core", "<= 1 %",
         figures["gone-cpu-percent"] <= 1, f"over {figures['gone-span-seconds']} s" + "".join(
             f"; {name} {percent:.3f} %" for name, percent in figures["gone-cpu-percent-of"].items())),
        (f"{where}: wake-ups while the line is gone", f"{figures['gone-wakeups-per-second']:.2f}", "wake-ups/s", "-",
         None, "a port retried once a second adds 1/s; by thread: " + (figures["gone-wakeups-by-thread"] or "none")),
        (f"{where}: unplug -> \"{LINE_GONE}\"", f"{figures['unplug-to-state-seconds'] * 1000:.0f}", "ms",
         "<= 2000 ms", figures["unplug-to-state-seconds"] <= 2, "window polled every 10 ms"),
        (f"{where}: port back -> \"{CONNECTED}\"", f"{figures['replug-to-connected-seconds'] * 1000:.0f}", "ms",
         "<= 3000 ms", figures["replug-to-connected-seconds"] <= 3, "window polled every 10 ms"),
    ]
    for figure, value, unit, target, met, remark in rows:
        verdict = "-" if met is None else "met" if met else "MISSED"
        print("\t".join(("RESULT", "replug", figure, value, "-", unit, target, verdict, remark)), flush=True)


def scenario_line_speed(run):
    """The line-speed dialog from the window menu; the About box too."""
    sim = run.start_simulator("halten", extra=("--seed", "9"))
    main = run.start_zonter()
    run.connect()
    wait_status(sim, "sending at 1200 bit/s", "the simulator to see 1200 bit/s")

    def open_speed():
        main.window_menu("CMD_LINE_SPEED")
        return main.find_window(SPEED_TITLE, "IDC_SPEED", 15)

    speed = open_speed()
    check(speed.text("IDC_SPEED") == "1200", f"the dialog shows {speed.text('IDC_SPEED')!r}, the line runs at 1200")
    for up, want in [(True, "2400"), (True, "4800"), (False, "2400"), (True, "4800"), (True, "9600")]:
        speed.step("IDC_SPEED_SPIN", up)
        wait_until(lambda: speed.text("IDC_SPEED") == want, 5,
                   lambda: f"the rate to step {'up' if up else 'down'} to {want} (it shows {speed.text('IDC_SPEED')!r})")
    note("the arrows step the ladder 1200 -> 2400 -> 4800 -> 2400 -> 4800 -> 9600")
    speed.press_and_go("IDOK")
    speed.wait_gone()
    wait_status(sim, "line 9600 bit/s", "the simulator to see 9600 bit/s")
    note("OK: the simulator sees the line at 9600 bit/s")

    # Cancel keeps the rate; the dialog shows what the line runs at.
    speed = open_speed()
    check(speed.text("IDC_SPEED") == "9600", f"the dialog shows {speed.text('IDC_SPEED')!r}, the line runs at 9600")
    speed.step("IDC_SPEED_SPIN", up=False)
    wait_until(lambda: speed.text("IDC_SPEED") == "4800", 5, "the rate to step down to 4800")
    speed.press_and_go("IDCANCEL")
    speed.wait_gone()
    check("line 9600 bit/s" in sim.latest_status(), f"Cancel changed the line: {sim.latest_status()}")

    # Back to the controller's own rate, typed in: frames flow again.
    speed = open_speed()
    speed.replace_text("IDC_SPEED", "1200")
    speed.press_and_go("IDOK")
    speed.wait_gone()
    wait_status(sim, "sending at 1200 bit/s", "the simulator to see 1200 bit/s again")
    note("a typed 1200 brought the line back to the controller's rate")

    main.window_menu("CMD_ABOUT")
    about = main.find_window(ABOUT_TITLE, "IDC_ABOUT_TEXT", 15)
    text = about.text("IDC_ABOUT_TEXT")
    check(text.startswith("Zonter 2.0"), f"the About box says {text!r}")
    about.press_and_go("IDOK")
    about.wait_gone()
    check(main.enabled("IDC_CONNECT"), "the main window stayed disabled after the About box")
    note("the About box came and went")
    run.quit_zonter()
    sim.stop()


def scenario_detect(run):
    """"Определить протокол ..." with another decoder selected: the line is
    heard through the simulator's wrong-rate model until the sweep reaches
    the controller's speed; "Применить" selects the decoder found and sets
    its speed, and a single read then decodes V/T and P. Kugoo M found while
    Halten RS is selected, then Halten RS while Kugoo M is."""
    w = None
    for protocol, found, selected, speed in (("kugoo", KUGOO_M, HALTEN_RS, 9600),
                                             ("halten", HALTEN_RS, KUGOO_M, 1200)):
        sim = run.start_simulator(protocol, extra=("--seed", "4"))
        w = w or run.start_zonter()
        w.select_entry("IDC_DECODER", selected)
        run.connect()
        w.window_menu("CMD_DETECT")
        detect = w.find_window(DETECT_TITLE, "IDC_DETECT_RESULT", 15)
        result = wait_until(lambda: detect.enabled("IDC_DETECT_APPLY") and detect.text("IDC_DETECT_RESULT"), 15,
                            lambda: f"a result (it says {detect.text('IDC_DETECT_RESULT')!r}, "
                                    f"{detect.text('IDC_DETECT_PROGRESS')!r})")
        check(result.startswith(f"{found.strip()}, {speed} бит/с: ") and result.endswith(", 0 ошибок"),
              f"detection says {result!r}")
        note(f"with {selected.strip()} selected: {result}")
        detect.press_and_go("IDC_DETECT_APPLY")
        detect.wait_gone()
        check(w.text("IDC_DECODER") == found, f"the decoder box shows {w.text('IDC_DECODER')!r} after Применить")
        wait_status(sim, f"sending at {speed} bit/s", f"the simulator to see {speed} bit/s")

        before = w.text("IDC_RAW_IN").strip()
        w.press("IDC_READ_ONCE")
        raw_text = wait_until(lambda: w.text("IDC_RAW_IN").strip() not in ("", before) and w.text("IDC_RAW_IN").strip(),
                              15, "the raw line to show a new frame")
        shown = w.texts(["IDC_VT", "IDC_P"])
        shown["IDC_RAW_IN"] = raw_text
        raw = hex_bytes(raw_text)
        if protocol == "kugoo":
            check(len(raw) == 14 and raw[:2] == [0x02, 0x0E] and xor_all(raw) == 0, f"raw line {raw_text!r}")
            wait_sent(sim, raw, "the raw line's frame")
            check_measured_values(shown, raw[8] * 256 + raw[9], raw[7])
        else:
            plain = check_raw_frame(sim, raw_text, w.text("IDC_DECODED"))
            check_measured_values(shown, plain[7] * 256 + plain[8], plain[10])
        w.press("IDC_DISCONNECT")
        wait_until(lambda: not w.enabled("IDC_READ_ONCE"), 5, "the run buttons to be disabled")
        sim.stop()
    run.quit_zonter()


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
    """The line monitor from the window menu lists every frame of both
    directions with its time, Δt and the changed bytes highlighted, counts
    the link and charts the values."""
    sim = run.start_simulator("halten", extra=("--seed", "7"))
    w = run.start_zonter()
    start_display_run(run, w, refresh_every=5)
    w.window_menu("CMD_LINE_MONITOR")
    m = w.find_window(MONITOR_TITLE, "IDC_MON_LIST", 30)
    wait_until(lambda: m.row_count("IDC_MON_LIST") >= 40, 30, "40 rows in the monitor's list")
    m.set_checked("IDC_MON_PAUSE", True)
    frozen = m.row_count("IDC_MON_LIST")
    rows = m.rows("IDC_MON_LIST")
    km, display = check_monitor_rows(rows, sim.log.sent_frames(), [f["bytes"] for f in sim.log.display_frames()],
                                     (100, 400))
    note(f"{km} КМ→ and {display} →КМ rows, all in order with their changed bytes")
    check(m.row_count("IDC_MON_LIST") == frozen, "the paused list moved on")
    counters = m.text("IDC_MON_RX_COUNTERS")
    check(counters.startswith("КМ→  кадров: "), f"counters {counters!r}")
    note(f"counters: {counters!r}")
    m.set_checked("IDC_MON_PAUSE", False)
    wait_until(lambda: m.row_count("IDC_MON_LIST") > frozen, 10, "the list to move on after the pause")
    chart = m.chart("IDC_MON_CHART")
    check(chart.startswith("V/T "), f"chart {chart!r}")
    run.screenshot(os.path.join(run.work_dir, "screenshot-monitor.png"), m)
    finish_display_run(run, sim)


def scenario_bench(run):
    """A measurement, not a check of the default run: Kugoo M at 9600 bit/s
    with the line kept full, continuous read with "имит. БК" for about a
    minute (--seconds); with --no-simulation the box stays unticked. The
    count must match the frames sent; the CPU of the program's process (and
    of a Wine prefix's wineserver) is reported, and where the run has a
    floor (a bare reader of a second line fed the same bytes at the same
    moments) the program's CPU as a multiple of it, over the same seconds."""
    seconds = run.args.seconds
    frame_seconds = 14 * 10 / 9600
    frames = max(10, int(seconds / frame_seconds) // 10 * 10)
    # Mute while the port runs at another speed: Connect at Halten RS's
    # 1200 bit/s keeps the line quiet until the read sets 9600.
    sim = run.start_simulator("kugoo", extra=("--interval", "0", "--mismatch", "mute", "--frames", str(frames),
                                              "--seed", "13", "--mirror-port", "2"))
    floor = run.start_floor(9600)
    w = run.start_zonter()
    run.connect()
    if not run.args.no_simulation:
        w.set_checked("IDC_SIMULATE", True)
    w.select_entry("IDC_DECODER", KUGOO_M)
    pid = run.zonter.pid
    with open(f"/proc/{pid}/cmdline", "rb") as f:
        check(os.path.basename(run.args.zonter).encode() in f.read(), f"the measured process is not {run.program}")
    others = run.cpu_processes()
    cpu0, others0, t0 = cpu_seconds(pid), {k: cpu_seconds(p) for k, p in others.items()}, time.monotonic()
    pair0 = (cpu_ns_and_wakeups(pid), cpu_ns_and_wakeups(floor.pid)) if floor else None
    w.press("IDC_READ_AUTO")
    note(f"reading {frames} frames at 9600 bit/s (about {frames * frame_seconds:.0f} s)")

    # The window is left alone until the last second (reading it costs the
    # window CPU); then the counter is read until the line ends.
    wait_until(lambda: sim.sent_so_far() >= frames - 80 or not sim.running(), frames * frame_seconds * 2 + 60,
               "the simulator to near its last frame", interval=0.5)
    counts = []
    end = time.monotonic() + 30
    while time.monotonic() < end:
        text = w.text("IDC_COUNTER")
        if counter_number(text) is not None:
            counts.append(counter_number(text))
            if counts[-1] >= frames:
                break
        if not sim.running() and text == TIME_OUT:
            break  # the line ended before the count got there
        time.sleep(0.02)
    pair1 = (cpu_ns_and_wakeups(pid), cpu_ns_and_wakeups(floor.pid)) if floor else None
    wall = time.monotonic() - t0
    cpu = cpu_seconds(pid) - cpu0
    result = {"zonter-cpu-seconds": round(cpu, 2), "zonter-cpu-percent": round(cpu / wall * 100, 2)}
    for name, p in others.items():
        spent = cpu_seconds(p) - others0[name]
        result.update({f"{name}-cpu-seconds": round(spent, 2), f"{name}-cpu-percent": round(spent / wall * 100, 2)})
    if floor:
        (tool_ns0, tool_w0), (floor_ns0, floor_w0) = pair0
        (tool_ns1, tool_w1), (floor_ns1, floor_w1) = pair1
        tool_percent = (tool_ns1 - tool_ns0) / 1e9 / wall * 100
        floor_percent = (floor_ns1 - floor_ns0) / 1e9 / wall * 100
        result.update({"floor-cpu-percent": round(floor_percent, 4), "zonter-cpu-percent-schedstat":
                       round(tool_percent, 4), "zonter-wakeups-per-second": round((tool_w1 - tool_w0) / wall, 1),
                       "floor-wakeups-per-second": round((floor_w1 - floor_w0) / wall, 1),
                       "ratio-to-floor": round(tool_percent / floor_percent, 2) if floor_percent > 0 else None})
        run.processes.stop(floor)
    summary = sim.stop()
    sent = int(summary["frames-sent"])
    counted = max(counts) if counts else 0
    result.update({"frames-sent": sent, "frames-counted": counted, "frames-lost": sent - counted,
                   "seconds": round(wall, 1), "display-frames": summary.get("display-frames"),
                   "checksum-errors": summary.get("checksum-errors"), "load-average": os.getloadavg()[0]})
    print("BENCH " + json.dumps(result), flush=True)
    note(f"{sent} frames sent, {counted} counted, {sent - counted} lost; {run.program} CPU {cpu:.2f} s in "
         f"{wall:.1f} s = {cpu / wall * 100:.2f} % of a core")
    if floor:
        ratio = result["ratio-to-floor"]
        note(f"{run.program} {result['zonter-cpu-percent-schedstat']:.3f} % "
             f"({result['zonter-wakeups-per-second']} wake-ups/s), floor {result['floor-cpu-percent']:.3f} % "
             f"({result['floor-wakeups-per-second']} wake-ups/s): {ratio}x the floor (target <= 3x: "
             f"{'met' if ratio is not None and ratio <= 3 else 'MISSED'})")
    check(counts == sorted(counts), f"the counter went back: {counts}")
    check(sent == frames, f"the simulator sent {sent} of {frames} frames")
    check(counted == sent, f"the counter reached {counted}, the simulator sent {sent}")
    check(summary.get("checksum-errors") == "0", f"checksum errors in the display frames: {summary}")
    run.quit_zonter()


SCENARIOS = {
    "controls": scenario_controls,
    "connect": scenario_connect,
    "single_read": scenario_single_read,
    "halten": scenario_halten,
    "kugoo": scenario_kugoo,
    "checkbox_actions": scenario_checkbox_actions,
    "no_selection": scenario_no_selection,
    "capture": scenario_capture,
    "unplug": scenario_unplug,
    "replug": scenario_replug,
    "replug_bench": scenario_replug_bench,
    "line_speed": scenario_line_speed,
    "detect": scenario_detect,
    "monitor": scenario_monitor,
    "bench": scenario_bench,
}


def add_common_arguments(parser):
    parser.add_argument("--kmsim", required=True, help="the Linux zonter-kmsim")
    parser.add_argument("--work-dir", required=True,
                        help="a folder for logs and the program's files; each scenario empties its subfolder first")
    parser.add_argument("--screenshot", help="where the halten scenario also saves its PNG of the window")
    parser.add_argument("--seconds", type=float, default=60,
                        help="length of the bench measurement (replug_bench: how long the line is gone)")
    parser.add_argument("--no-simulation", action="store_true",
                        help="bench: a continuous read alone, \"имит. БК\" left unticked")
    parser.add_argument("scenarios", nargs="+", choices=sorted(SCENARIOS))


def run_all(args, make_run):
    """Runs the scenarios named on the command line, each in a fresh work
    folder; returns the runner's exit status."""
    failed = [name for name in args.scenarios if not run_scenario(args, name, make_run)]
    if failed:
        note("FAILED: " + ", ".join(failed))
    return 1 if failed else 0


def run_scenario(args, name, make_run):
    """Runs one scenario; on a failure prints what the window, the
    simulators and the program left behind."""
    work_dir = os.path.join(os.path.abspath(args.work_dir), name)
    shutil.rmtree(work_dir, ignore_errors=True)  # the previous run's logs and captures
    os.makedirs(work_dir)
    note(f"=== {name} (logs in {work_dir})")
    run = make_run(work_dir)
    try:
        try:
            SCENARIOS[name](run)
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
                print(f"{sim.status_path}:\n  {sim.latest_status()}")
            if run.zonter is not None:
                code = run.zonter.poll()
                print(f"{run.program}: " + ("still running" if code is None else f"ended with status {code}"))
            print(f"{run.program} output:\n  " + "\n  ".join(_tail(os.path.join(work_dir, "zonter.log"))))
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
