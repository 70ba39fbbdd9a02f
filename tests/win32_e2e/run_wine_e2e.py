#!/usr/bin/python3
"""End-to-end checks of zonter.exe under Wine against the controller simulator.

One invocation starts a private X display (Xvfb) and readies a Wine prefix
of its own, in which COM1 is the simulator's pseudo-terminal: the registry
value HKLM\\Software\\Wine\\Ports "COM1" names the simulator's link in a
fixed port folder beside the prefix, so a new simulator on COM1 needs no
change in the prefix. Each scenario starts the Linux simulator zonter-kmsim,
zonter.exe and the Win32 driver program zonter-e2e-driver.exe, which works
the window's controls as a person does (see driver.cpp), and compares what
the window shows with what the simulator sent and received.

Exit status: 0 passed, 1 failed, 77 skipped (a required tool is missing).
"""

import argparse
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time
import traceback

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))

import desktop  # noqa: E402
import screenshot  # noqa: E402
from controller import Simulator  # noqa: E402
from processes import ProcessGroup, remove_at_end, wait_until  # noqa: E402
from run_e2e import run_scenario as linux_run_scenario  # noqa: E402
from run_e2e import (CAPTURE_DONE, CONNECTED, DECODER_ENTRIES, HALTEN_RS, KUGOO_M, MAIN_CONTROLS,  # noqa: E402
                     TIME_OUT, check, check_display_frames_sound, counter_number, descramble_halten, hex_bytes,
                     moving, read_capture, read_consistent, scenario_capture,
                     _tail, check_monitor_rows, start_display_run, wait_display_frames,
                     wait_sent, xor_all)

SKIP = 77
STARTED = time.monotonic()

MAIN_TITLE = "Zonter - КМ"
SPEED_TITLE = "Скорость"
ABOUT_TITLE = "О проекте Zonter"
RUN_BUTTONS = ("IDC_READ_ONCE", "IDC_READ_AUTO", "IDC_CAPTURE")
# Every control of the main template, labels included.
MAIN_CONTROL_COUNT = 46


def note(message):
    print(f"[{time.monotonic() - STARTED:6.1f} s] {message}", flush=True)


def resource_ids():
    """The identifiers of res/Resource.h, by name."""
    with open(os.path.join(SOURCE, "res", "Resource.h"), encoding="utf-8") as f:
        return {name: int(value) for name, value in
                re.findall(r"inline constexpr (?:int|unsigned) (\w+) = (-?\d+);", f.read())}


IDS = resource_ids()


# ----- Wine: the prefix, its COM1 and its processes ---------------------------


def wineserver_binary():
    server = "/usr/lib/wine/wineserver64"
    return server if os.access(server, os.X_OK) else shutil.which("wineserver")


def registry_value(path, key, name):
    """A string value from one of Wine's registry files, or None."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
    except OSError:
        return None
    header = "[" + key.replace("\\", "\\\\") + "]"
    inside = False
    for line in lines:
        if line.startswith("["):
            inside = line.split("]", 1)[0] + "]" == header
        elif inside and line.startswith(f'"{name}"='):
            value = line.split("=", 1)[1]
            return value[1:-1].replace("\\\\", "\\") if value.startswith('"') else None
    return None


def prefix_processes(prefix):
    """The Wine processes (pids) running in the prefix, the server included."""
    wanted = f"WINEPREFIX={prefix}".encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            if "wine" not in os.path.basename(os.readlink(f"/proc/{entry}/exe")):
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                if wanted in f.read().split(b"\0"):
                    found.append(int(entry))
        except OSError:
            pass
    return found


def cpu_seconds(pid):
    """User and system CPU time of a process, all its threads."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Prefix:
    """The tests' private Wine prefix, with COM1 mapped to a fixed link."""

    def __init__(self, path, wine_run, port_dir, log_dir):
        self.path = os.path.abspath(path)
        self.wine_run = wine_run
        self.port_dir = port_dir
        self.com1 = os.path.join(port_dir, "COM1")
        self.log_dir = log_dir
        self.env = dict(os.environ, WINEPREFIX=self.path, WINEDEBUG="-all")
        self.env.pop("WINEARCH", None)

    def _server(self, flag):
        subprocess.run([wineserver_binary(), flag], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)

    def stop(self):
        """Ends every process of the prefix: the server ends its clients;
        whatever a killed server left behind goes by its pid."""
        self._server("-k")
        self._server("-w")
        for sig in (signal.SIGTERM, signal.SIGKILL):
            left = prefix_processes(self.path)
            for pid in left:
                try:
                    os.kill(pid, sig)
                except OSError:
                    pass
            if not left:
                break
            time.sleep(1)

    def wine(self, *args):
        with open(os.path.join(self.log_dir, "wine-setup.log"), "ab") as log:
            subprocess.run([self.wine_run, "--prefix", self.path, *args], env=self.env, check=True,
                           stdout=log, stderr=log, timeout=300)

    def ready(self):
        """Makes the prefix if need be and maps COM1 to the fixed link (once:
        the value stays in the prefix, so later runs only read it)."""
        self.stop()  # a server or clients that an aborted run left
        os.makedirs(self.port_dir, exist_ok=True)
        ports_key = r"Software\Wine\Ports"
        x11_key = r"Software\Wine\X11 Driver"
        system_reg = os.path.join(self.path, "system.reg")
        user_reg = os.path.join(self.path, "user.reg")
        if (registry_value(system_reg, ports_key, "COM1") != self.com1 or
                registry_value(user_reg, x11_key, "Managed") != "N"):
            note("mapping COM1 into the Wine prefix")
            self.wine("reg", "add", "HKLM\\" + ports_key, "/v", "COM1", "/t", "REG_SZ", "/d", self.com1, "/f")
            # No window manager runs on the private display: Wine draws the
            # frames itself, as the dialog tests have it.
            self.wine("reg", "add", "HKCU\\" + x11_key, "/v", "Managed", "/t", "REG_SZ", "/d", "N", "/f")
            self.stop()  # the registry is written out; the next start maps the port
            check(registry_value(system_reg, ports_key, "COM1") == self.com1, "COM1 did not stay in the registry")

    def com1_mapped(self):
        """Whether Wine's COM1 is the simulator's link, nothing else."""
        device = os.path.join(self.path, "dosdevices", "com1")
        return os.path.islink(device) and os.readlink(device) == self.com1


# ----- the driver program and the window ---------------------------------------


class DriverError(Exception):
    pass


class Driver:
    """zonter-e2e-driver.exe: one command a line, one answer a line."""

    def __init__(self, processes, args, env, log_path):
        with open(log_path, "wb") as log:
            self.proc = processes.start("driver", [args.wine_run, "--prefix", args.prefix, args.driver], env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log)
        self._buffer = b""
        self.current = None  # the window the driver works on

    def call(self, command, timeout=60):
        self.proc.stdin.write(command.encode() + b"\n")
        self.proc.stdin.flush()
        end = time.monotonic() + timeout
        fd = self.proc.stdout.fileno()
        while b"\n" not in self._buffer:
            left = end - time.monotonic()
            if left <= 0:
                raise DriverError(f"the driver gave no answer to {command!r} within {timeout} s")
            ready, _, _ = select.select([fd], [], [], left)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise DriverError(f"the driver ended (status {self.proc.poll()}) at {command!r}")
                self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        answer = line.decode("utf-8", errors="replace").rstrip("\r")
        if answer.startswith("ok "):
            return json.loads(answer[3:])
        raise DriverError(f"{command!r}: {answer}")

    def quit(self):
        try:
            self.proc.stdin.write(b"quit\n")
            self.proc.stdin.flush()
            self.proc.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            pass


class Window:
    """A dialog of zonter.exe, its controls named as in res/Resource.h."""

    def __init__(self, driver, title, timeout=60):
        self.driver = driver
        self.title = title
        self.handle = driver.call(f"find {int(timeout * 1000)} {title}", timeout + 10)
        driver.current = self.handle

    def call(self, command, *idents, extra=""):
        # The driver works on one window at a time.
        if self.driver.current != self.handle:
            self.driver.call(f"window {self.handle}")
            self.driver.current = self.handle
        ids = " ".join(str(IDS[i]) for i in idents)
        return self.driver.call(f"{command} {ids} {extra}".rstrip())

    def text(self, ident):
        return self.call("texts", ident)[0]

    def texts(self, idents):
        return dict(zip(idents, self.call("texts", *idents)))

    def state(self, ident):
        return self.call("state", ident)

    def enabled(self, ident):
        return self.state(ident)["enabled"]

    def checked(self, ident):
        return self.state(ident)["checked"]

    def press(self, ident):
        self.call("click", ident)

    def set_checked(self, ident, want):
        if self.checked(ident) != int(want):
            self.press(ident)
        check(self.checked(ident) == int(want), f"{ident} did not take the tick {want}")

    def set_value(self, ident, pos):
        got = self.call("slide", ident, extra=str(pos))
        check(got == pos, f"{ident} went to {got}, not {pos}")

    def arrow(self, ident, up):
        self.call("arrow", ident, extra="up" if up else "down")

    def type_text(self, ident, text):
        self.call("type", ident, extra=text)

    def select_entry(self, ident, entry):
        entries = self.call("items", ident)
        check(entry in entries, f"{ident} has no entry {entry!r}: {entries}")
        got = self.call("pick", ident, extra=str(entries.index(entry)))
        check(got == entries.index(entry), f"{ident}: picked entry {got}, not {entry!r}")
        check(self.text(ident) == entry, f"{ident} shows {self.text(ident)!r} after picking {entry!r}")

    def syscommand(self, code):
        self.call("syscommand", extra=str(code))

    def rect(self):
        return self.call("rect")

    def controls(self):
        return self.call("controls")

    def wait_gone(self, timeout=10):
        self.call("gone", extra=str(int(timeout * 1000)))
        self.driver.current = None


# ----- one run: the display, the prefix, the simulator and the window ----------


class Session:
    def __init__(self, args):
        self.args = args
        self.processes = ProcessGroup()
        self.runtime_dir = os.path.join(args.work_dir, "runtime")
        shutil.rmtree(self.runtime_dir, ignore_errors=True)
        os.makedirs(self.runtime_dir)
        remove_at_end(self.runtime_dir)
        self.port_dir = os.path.join(os.path.dirname(args.prefix), "ports")
        self.prefix = Prefix(args.prefix, args.wine_run, self.port_dir, args.work_dir)
        self.display = desktop.Desktop(self.processes, self.runtime_dir, args.work_dir)

    def start(self):
        self.display._start_x()  # the display alone: no accessibility bus under Wine
        note(f"display {self.display.display}")
        self.prefix.ready()
        note(f"Wine prefix {self.prefix.path} ready, COM1 = {self.prefix.com1}")

    def env(self):
        env = dict(self.prefix.env, DISPLAY=self.display.display)
        env.pop("XAUTHORITY", None)
        return env

    def close(self):
        self.prefix.stop()
        self.processes.stop_all()
        if os.path.lexists(self.prefix.com1):
            os.unlink(self.prefix.com1)
        shutil.rmtree(self.runtime_dir, ignore_errors=True)


class Run:
    """One scenario: its simulators, zonter.exe, the driver and their files."""

    def __init__(self, args, session, work_dir):
        self.args = args
        self.session = session
        self.work_dir = work_dir
        self.processes = ProcessGroup()
        self.zonter_dir = os.path.join(work_dir, "cwd")  # zonter's working folder (captures land here)
        os.makedirs(self.zonter_dir)
        self.zonter = None
        self.window = None
        self.driver = Driver(self.processes, args, session.env(), os.path.join(work_dir, "driver.log"))
        self.simulators = []

    def start_simulator(self, protocol="halten", extra=(), name=None):
        name = name or f"kmsim-{len(self.simulators) + 1}"
        extra = ("--port-dir", self.session.port_dir, *extra)
        sim = Simulator(self.processes, self.args.kmsim, dict(os.environ), self.work_dir, port=1,
                        protocol=protocol, extra=extra, name=name)
        self.simulators.append(sim)
        note(f"{name}: {protocol} on COM1 = {sim.device}")
        return sim

    def start_zonter(self):
        with open(os.path.join(self.work_dir, "zonter.log"), "wb") as log:
            self.zonter = self.processes.start("zonter", [self.args.wine_run, "--prefix", self.args.prefix,
                                                          self.args.zonter],
                                               cwd=self.zonter_dir, env=self.session.env(), stdout=log, stderr=log)
        self.window = Window(self.driver, MAIN_TITLE)
        note(f"zonter.exe up (pid {self.zonter.pid})")
        return self.window

    def quit_zonter(self):
        """Closes the window with "Завершить", as a technician ends the
        program, and checks that it ended cleanly."""
        self.window.call("post-click", "IDCANCEL")
        try:
            code = self.zonter.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise AssertionError("zonter.exe did not end within 30 s of Завершить") from None
        self.processes.forget(self.zonter)
        check(code == 0, f"zonter.exe ended with status {code}")
        note("zonter.exe closed with Завершить")

    def connect(self):
        """Presses Connect, but only while COM1 is the simulator's line: no
        check may ever reach a real serial device."""
        w = self.window
        check(self.session.prefix.com1_mapped(), "Wine's COM1 is not the simulator's link")
        check(os.path.islink(self.session.prefix.com1) and
              os.readlink(self.session.prefix.com1).startswith("/dev/pts/"),
              "no simulator's pseudo-terminal is linked as COM1")
        check(w.text("IDC_PORT") == "1", f"the port box shows {w.text('IDC_PORT')!r}, not 1")
        w.press("IDC_CONNECT")
        wait_until(lambda: w.text("IDC_STATE") == CONNECTED, 15, lambda: f"the state line to say {CONNECTED!r} "
                   f"(it says {w.text('IDC_STATE')!r})")
        wait_until(lambda: all(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be enabled")
        note("connected to COM1")

    def wait_counter_above(self, floor, timeout):
        w = self.window
        return wait_until(lambda: (counter_number(w.text("IDC_COUNTER")) or 0) > floor and
                          counter_number(w.text("IDC_COUNTER")), timeout,
                          lambda: f"the counter line to pass {floor} (it shows {w.text('IDC_COUNTER')!r})")

    def screenshot(self, path, whole_screen=False):
        crop = None
        if not whole_screen:
            left, top, right, bottom = self.window.rect()
            crop = (left, top, right - left, bottom - top)
        screenshot.take(self.session.display.framebuffer, path, crop)
        note(f"screenshot: {path}")

    def window_dump(self):
        if self.window is None:
            return "(no window)"
        try:
            texts = self.window.texts([i for i in MAIN_CONTROLS])
            lines = [f"  {ident:18} {text!r}" for ident, text in texts.items()]
            lines.append(f"  top-level windows: {self.driver.call('windows')}")
            return "\n".join(lines)
        except Exception as error:  # the window or the driver may be gone
            return f"  <{error}>"

    def close(self):
        self.driver.quit()
        self.processes.stop_all()


def latest_status(sim):
    """The simulator's latest status line."""
    return sim.status_text().replace("\r", "\n").rstrip("\n").rsplit("\n", 1)[-1]


# ----- scenarios ---------------------------------------------------------------


def scenario_connect(run):
    """The window as a fresh start shows it, then Connect and Disconnect."""
    sim = run.start_simulator("halten", extra=("--seed", "3"))
    w = run.start_zonter()
    controls = w.controls()
    check(len(controls) == MAIN_CONTROL_COUNT, f"{len(controls)} controls, the template has {MAIN_CONTROL_COUNT}")
    by_id = {c["id"]: c for c in controls}
    missing = [ident for ident in MAIN_CONTROLS if IDS[ident] not in by_id]
    check(not missing, f"controls not found by identifier: {missing}")
    for ident, caption in MAIN_CONTROLS.items():
        if caption is not None:
            check(by_id[IDS[ident]]["text"] == caption,
                  f"{ident} shows {by_id[IDS[ident]]['text']!r}, its caption is {caption!r}")
    labels = [c["text"] for c in controls if c["id"] == -1]
    for label in ("Сырой входной поток (от КМ):", "Порт COM", "Декодер", "Расшифровка:", "Начальный шаблон:",
                  "Выходной поток (к КМ):", "\"Передача\":", "Курок:", "EBS (P9/P11):"):
        check(label in labels, f"no label {label!r} among {labels}")
    left, top, right, bottom = w.rect()
    hidden = [c for c in controls if not c["visible"]]
    check([c["id"] for c in hidden] == [IDS["IDC_COUNTER_BTN"]], f"hidden controls: {hidden}")
    outside = [c for c in controls if c["rect"][0] < 0 or c["rect"][1] < 0 or
               c["rect"][2] > right - left or c["rect"][3] > bottom - top]
    check(not outside, f"controls outside the window: {outside}")
    note(f"all {len(controls)} controls there, captions in Cyrillic")

    check(w.call("items", "IDC_DECODER") == DECODER_ENTRIES, f"decoder entries {w.call('items', 'IDC_DECODER')}")
    fresh = {
        "IDC_DECODER": HALTEN_RS, "IDC_PORT": "1", "IDC_GEAR_CODE": "5", "IDC_MAXP_VAL": "1", "IDC_MAXV_VAL": "90",
        "IDC_THROTTLE_VAL": "0", "IDC_EBS": "1", "IDC_VT": "0", "IDC_P": "0", "IDC_RAW_IN": "", "IDC_DECODED": "",
        "IDC_TEMPLATE": "", "IDC_OUT": "", "IDC_STATE": "", "IDC_COUNTER": "",
    }
    shown = w.texts(list(fresh))
    check(shown == fresh, "fresh start differs: " + ", ".join(
        f"{k} {shown[k]!r} (expected {v!r})" for k, v in fresh.items() if shown[k] != v))
    sliders = {ident: w.state(ident)["pos"] for ident in ("IDC_GEAR", "IDC_MAXP", "IDC_MAXV", "IDC_THROTTLE")}
    check(sliders == {"IDC_GEAR": 3, "IDC_MAXP": 1, "IDC_MAXV": 90, "IDC_THROTTLE": 0}, f"sliders at {sliders}")
    ticks = {ident: w.checked(ident) for ident in ("IDC_SIMULATE", "IDC_ZERO_START", "IDC_CRUISE", "IDC_SOFT_START")}
    check(ticks == {"IDC_SIMULATE": 0, "IDC_ZERO_START": 0, "IDC_CRUISE": 0, "IDC_SOFT_START": 1},
          f"check boxes {ticks}")
    enabled = [b for b in RUN_BUTTONS if w.enabled(b)]
    check(not enabled, f"run buttons enabled before any Connect: {enabled}")

    # The port box's arrows step the number and hold at 1.
    w.arrow("IDC_PORT_SPIN", up=False)
    w.arrow("IDC_PORT_SPIN", up=True)
    wait_until(lambda: w.text("IDC_PORT") == "2", 5, "the port number to hold at 1, then step up to 2")
    w.arrow("IDC_PORT_SPIN", up=False)
    wait_until(lambda: w.text("IDC_PORT") == "1", 5, "the port number to step back to 1")

    run.connect()
    wait_until(lambda: "sending at 1200 bit/s" in latest_status(sim), 10,
               lambda: f"the simulator to see its own speed, 1200 bit/s (status: {latest_status(sim)})")
    note("the simulator sees the line at 1200 bit/s")
    w.press("IDC_DISCONNECT")
    wait_until(lambda: w.text("IDC_STATE") == "", 10, "Disconnect to clear the state line")
    wait_until(lambda: not any(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be disabled")
    wait_until(lambda: "port closed by the reader" in latest_status(sim), 10,
               lambda: f"the simulator to see the port closed (status: {latest_status(sim)})")
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
    raw = hex_bytes(raw_text)
    check(len(raw) == 15 and raw[0] == 0x36 and xor_all(raw[:14]) == raw[14], f"raw line {raw_text!r}")
    wait_sent(sim, raw, "the raw line's frame")
    plain = descramble_halten(raw)
    decoded = w.text("IDC_DECODED")
    check(hex_bytes(decoded) == plain[:14],
          f"decoded line {decoded!r}, expected {' '.join(f'{b:02X}' for b in plain[:14])}")
    note(f"raw {raw_text} is a frame the simulator sent")
    run.quit_zonter()
    sim.stop()


def finish_display_run(run, sim):
    run.quit_zonter()
    check_display_frames_sound(sim)
    summary = sim.stop()
    note(f"simulator: {summary}")
    check(summary.get("checksum-errors") == "0", f"checksum errors: {summary}")
    return summary


def check_out_frame(w, sim, length, header):
    """The output line shows a sealed display frame that the controller got."""
    def shown_and_received():
        out = hex_bytes(w.text("IDC_OUT"))
        if len(out) != length:
            return None
        return out if out in [f["bytes"] for f in sim.log.display_frames()] else None

    out = wait_until(shown_and_received, 10, f"the output line's frame ({length} bytes) in the simulator's log")
    check(out[:len(header)] == header and xor_all(out) == 0, f"output frame {out}")


def scenario_halten(run):
    """Halten RS read continuously with "имит. БК": counts, values, and the
    settings of the sliders and boxes in the display frames."""
    sim = run.start_simulator("halten", extra=("--seed", "7"))
    w = run.start_zonter()
    start_display_run(run, w, refresh_every=5)

    shown = read_consistent(w, ["IDC_DECODED", "IDC_VT", "IDC_P"], 20, moving)
    raw = hex_bytes(shown["IDC_RAW_IN"])
    check(len(raw) == 15 and raw[0] == 0x36, f"raw line {shown['IDC_RAW_IN']!r}")
    wait_sent(sim, raw, "the raw line's frame")
    plain = descramble_halten(raw)
    check(hex_bytes(shown["IDC_DECODED"]) == plain[:14], f"decoded line {shown['IDC_DECODED']!r}")
    vt, p = plain[7] * 256 + plain[8], plain[10]
    check(shown["IDC_VT"].strip() == str(vt) and shown["IDC_P"].strip() == str(p),
          f"V/T {shown['IDC_VT']!r} and P {shown['IDC_P']!r}, the frame says {vt} and {p}")
    note(f"raw {shown['IDC_RAW_IN'].strip()} -> V/T {vt}, P {p}")

    frames = wait_display_frames(sim, {"gear": "7"}, 15, "display frames asking for gear 7")
    check_out_frame(w, sim, 15, [0x01, 0x03])
    shot = os.path.join(run.work_dir, "screenshot-main.png")
    run.screenshot(shot)
    if run.args.screenshot:
        os.makedirs(os.path.dirname(run.args.screenshot), exist_ok=True)
        shutil.copyfile(shot, run.args.screenshot)
        note(f"screenshot copied to {run.args.screenshot}")
    note(f"{len(frames)} display frames with gear 7 (code F)")

    w.set_value("IDC_GEAR", 5)
    w.set_value("IDC_MAXV", 45)
    w.set_checked("IDC_CRUISE", True)
    w.set_checked("IDC_SOFT_START", False)
    w.arrow("IDC_EBS_SPIN", up=True)
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
    wait_until(lambda: "sending at 9600 bit/s" in latest_status(sim), 10,
               lambda: f"the simulator to see 9600 bit/s (status: {latest_status(sim)})")

    shown = read_consistent(w, ["IDC_DECODED", "IDC_VT", "IDC_P"], 20, moving)
    raw = hex_bytes(shown["IDC_RAW_IN"])
    check(len(raw) == 14 and raw[:2] == [0x02, 0x0E], f"raw line {shown['IDC_RAW_IN']!r}")
    wait_sent(sim, raw, "the raw line's frame")
    vt, p = raw[8] * 256 + raw[9], raw[7]
    check(shown["IDC_VT"].strip() == str(vt) and shown["IDC_P"].strip() == str(p),
          f"V/T {shown['IDC_VT']!r} and P {shown['IDC_P']!r}, the frame says {vt} and {p}")
    note(f"raw {shown['IDC_RAW_IN'].strip()} -> V/T {vt}, P {p}")

    frames = wait_display_frames(sim, {"gear": "7"}, 15, "display frames asking for gear 7")
    check_out_frame(w, sim, 20, [0x01, 0x14])
    note(f"{len(frames)} display frames with gear 7")

    w.set_value("IDC_MAXP", 60)
    w.set_value("IDC_THROTTLE", 1100)
    w.set_value("IDC_MAXV", 30)
    w.set_checked("IDC_ZERO_START", True)
    w.arrow("IDC_EBS_SPIN", up=False)
    wait_until(lambda: w.texts(["IDC_MAXP_VAL", "IDC_THROTTLE_VAL", "IDC_MAXV_VAL", "IDC_EBS"]) ==
               {"IDC_MAXP_VAL": "60", "IDC_THROTTLE_VAL": "1100", "IDC_MAXV_VAL": "30", "IDC_EBS": "0"}, 5,
               "the boxes beside the sliders and the EBS box to follow")
    wait_display_frames(sim, {"gear": "7", "max-power": "60", "throttle": "1100", "max-speed": "30",
                              "zero-start": "1", "ebs": "0"}, 15,
                        "display frames with maximum power 60, throttle 1100, maximum speed 30, zero start, EBS 0")
    note("maximum power, throttle, maximum speed, zero start and EBS reached the controller")
    finish_display_run(run, sim)


def speed_shown(w):
    return w.text("IDC_SPEED")


def scenario_line_speed(run):
    """The line-speed dialog from the window menu; the About box too."""
    sim = run.start_simulator("halten", extra=("--seed", "9"))
    main = run.start_zonter()
    run.connect()
    wait_until(lambda: "sending at 1200 bit/s" in latest_status(sim), 10, "the simulator to see 1200 bit/s")

    main.syscommand(IDS["CMD_LINE_SPEED"])
    speed = Window(run.driver, SPEED_TITLE, 15)
    check(speed_shown(speed) == "1200", f"the dialog shows {speed_shown(speed)!r}, the line runs at 1200")
    steps = [(True, "2400"), (True, "4800"), (False, "2400"), (True, "4800"), (True, "9600")]
    for up, want in steps:
        speed.arrow("IDC_SPEED_SPIN", up)
        wait_until(lambda: speed_shown(speed) == want, 5,
                   lambda: f"the rate to step {'up' if up else 'down'} to {want} (it shows {speed_shown(speed)!r})")
    note("the arrows step the ladder 1200 -> 2400 -> 4800 -> 2400 -> 4800 -> 9600")
    speed.press("IDOK")
    speed.wait_gone()
    wait_until(lambda: "line 9600 bit/s" in latest_status(sim), 10,
               lambda: f"the simulator to see 9600 bit/s (status: {latest_status(sim)})")
    note("OK: the simulator sees the line at 9600 bit/s")

    # Cancel keeps the rate; the dialog shows what the line runs at.
    main.syscommand(IDS["CMD_LINE_SPEED"])
    speed = Window(run.driver, SPEED_TITLE, 15)
    check(speed_shown(speed) == "9600", f"the dialog shows {speed_shown(speed)!r}, the line runs at 9600")
    speed.arrow("IDC_SPEED_SPIN", up=False)
    wait_until(lambda: speed_shown(speed) == "4800", 5, "the rate to step down to 4800")
    speed.press("IDCANCEL")
    speed.wait_gone()
    check("line 9600 bit/s" in latest_status(sim), f"Cancel changed the line: {latest_status(sim)}")

    # Back to the controller's own rate, typed in: frames flow again.
    main.syscommand(IDS["CMD_LINE_SPEED"])
    speed = Window(run.driver, SPEED_TITLE, 15)
    speed.call("select-all", "IDC_SPEED")
    speed.type_text("IDC_SPEED", "1200")
    speed.press("IDOK")
    speed.wait_gone()
    wait_until(lambda: "sending at 1200 bit/s" in latest_status(sim), 10,
               lambda: f"the simulator to see 1200 bit/s again (status: {latest_status(sim)})")
    note("a typed 1200 brought the line back to the controller's rate")

    main.syscommand(IDS["CMD_ABOUT"])
    about = Window(run.driver, ABOUT_TITLE, 15)
    text = about.text("IDC_ABOUT_TEXT")
    check(text.startswith("Zonter 2.0"), f"the About box says {text!r}")
    about.press("IDOK")
    about.wait_gone()
    check(main.enabled("IDC_CONNECT"), "the main window stayed disabled after the About box")
    note("the About box came and went")
    run.quit_zonter()
    sim.stop()


def scenario_unplug(run):
    """The cable is pulled during a continuous read; a controller is then
    plugged in again and Disconnect/Connect recovers."""
    hangup_after = 30
    sim = run.start_simulator("halten", extra=("--hangup-after", str(hangup_after)), name="kmsim-unplugged")
    w = run.start_zonter()
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0, 20)
    note(f"counter shows {count}")

    wait_until(lambda: not sim.running(), 30, "the simulator to hang up")
    summary = sim.summary()
    check(summary.get("frames-sent") == str(hangup_after), f"simulator: {summary}")
    check(not os.path.lexists(run.session.prefix.com1), "COM1 is still linked after the hang-up")
    note("line hung up")
    wait_until(lambda: w.text("IDC_COUNTER") == TIME_OUT, 15,
               lambda: f"the counter line to say {TIME_OUT!r} (it shows {w.text('IDC_COUNTER')!r})")
    note("counter shows Time Out")

    # The window still answers (every message the driver sends has a bound).
    w.set_value("IDC_GEAR", 6)
    wait_until(lambda: w.text("IDC_GEAR_CODE") == "D", 5, "the gear code box to show D")
    zonter_cpu = cpu_seconds(run.zonter.pid)
    time.sleep(2)  # a span to measure, not a wait for a condition
    spent = cpu_seconds(run.zonter.pid) - zonter_cpu
    check(spent < 1.0, f"zonter.exe used {spent:.2f} s of CPU in 2 s on an unplugged line: a spin")
    note(f"window still answers; {spent * 1000:.0f} ms of CPU in 2 s on the unplugged line")

    sim2 = run.start_simulator("halten", name="kmsim-replugged")
    w.press("IDC_DISCONNECT")
    wait_until(lambda: w.text("IDC_STATE") == "", 10, "Disconnect to clear the state line")
    wait_until(lambda: not any(w.enabled(b) for b in RUN_BUTTONS), 5, "the run buttons to be disabled")
    run.connect()
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0, 20)
    note(f"reading again: counter shows {count}")
    later = run.wait_counter_above(count, 20)
    raw = hex_bytes(wait_until(lambda: w.text("IDC_RAW_IN").strip(), 5, "a raw frame"))
    wait_sent(sim2, raw, "the raw line's frame from the new controller")
    note(f"counter moved on to {later}")
    wait_display_frames(sim2, {"gear": "6"}, 15, "display frames with gear 6 on the new line")
    run.quit_zonter()
    summary = sim2.stop()
    check(summary.get("checksum-errors") == "0", f"checksum errors on the new line: {summary}")


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
    state = w.state("IDC_DECODER")
    check(not state["dropped"], "the list opened")
    check(state["selection"] == -1, f"after typing, the decoder box has entry {state['selection']} selected "
          f"and shows {state['text']!r}")
    run.connect()
    wait_until(lambda: "line 1200 bit/s" in latest_status(sim), 10,
               lambda: f"the simulator to see the line at 1200 bit/s (status: {latest_status(sim)})")
    note("Connect with no decoder selected: line at 1200 bit/s")

    w.press("IDC_READ_AUTO")
    w.press("IDC_READ_ONCE")
    # Nothing may start: the line and the counter are watched for a while.
    deadline = time.monotonic() + 2
    while time.monotonic() < deadline:
        status = latest_status(sim)
        check("line 1200 bit/s" in status, f"a run with no decoder changed the line: {status}")
        check(w.text("IDC_COUNTER") == "", f"a run with no decoder shows a count: {w.text('IDC_COUNTER')!r}")
        time.sleep(0.2)
    note("the reads started nothing and left the line at 1200 bit/s")

    w.select_entry("IDC_DECODER", KUGOO_M)
    w.press("IDC_READ_AUTO")
    count = run.wait_counter_above(0, 20)
    note(f"with Kugoo M picked again the counter shows {count}")
    run.quit_zonter()
    sim.stop()


def scenario_bench(run):
    """A measurement, not a check of the default run: Kugoo M at 9600 bit/s
    with the line kept full, continuous read with "имит. БК" for about a
    minute. The count must match the frames sent; the CPU of zonter.exe's
    process (and of the prefix's wineserver) is reported."""
    seconds = run.args.seconds
    frame_seconds = 14 * 10 / 9600
    frames = max(10, int(seconds / frame_seconds) // 10 * 10)
    # Mute while the port runs at another speed: Connect at Halten RS's
    # 1200 bit/s keeps the line quiet until the read sets 9600.
    sim = run.start_simulator("kugoo", extra=("--interval", "0", "--mismatch", "mute", "--frames", str(frames),
                                              "--seed", "13"))
    w = run.start_zonter()
    run.connect()
    w.set_checked("IDC_SIMULATE", True)
    w.select_entry("IDC_DECODER", KUGOO_M)
    servers = [p for p in prefix_processes(run.args.prefix) if "wineserver" in os.readlink(f"/proc/{p}/exe")]
    check(len(servers) == 1, f"wineserver processes of the prefix: {servers}")
    pid, server = run.zonter.pid, servers[0]
    with open(f"/proc/{pid}/cmdline", "rb") as f:
        check(b"zonter.exe" in f.read(), "the measured process is not zonter.exe")
    cpu0, server0, t0 = cpu_seconds(pid), cpu_seconds(server), time.monotonic()
    w.press("IDC_READ_AUTO")
    note(f"reading {frames} frames at 9600 bit/s (about {frames * frame_seconds:.0f} s)")

    # The window is left alone until the last second (the driver's messages
    # cost the window CPU); then the counter is read until the line ends.
    def sent_so_far():
        found = re.findall(r"\| sent (\d+) \|", sim.status_text())
        return int(found[-1]) if found else 0

    wait_until(lambda: sent_so_far() >= frames - 80 or not sim.running(), frames * frame_seconds * 2 + 60,
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
    t1 = time.monotonic()
    cpu = cpu_seconds(pid) - cpu0
    server_cpu = cpu_seconds(server) - server0
    summary = sim.stop()
    sent = int(summary["frames-sent"])
    counted = max(counts) if counts else 0
    wall = t1 - t0
    result = {
        "frames-sent": sent, "frames-counted": counted, "frames-lost": sent - counted, "seconds": round(wall, 1),
        "zonter-cpu-seconds": round(cpu, 2), "zonter-cpu-percent": round(cpu / wall * 100, 2),
        "wineserver-cpu-seconds": round(server_cpu, 2), "wineserver-cpu-percent": round(server_cpu / wall * 100, 2),
        "display-frames": summary.get("display-frames"), "checksum-errors": summary.get("checksum-errors"),
        "load-average": os.getloadavg()[0],
    }
    print("BENCH " + json.dumps(result), flush=True)
    note(f"{sent} frames sent, {counted} counted, {sent - counted} lost; zonter.exe CPU {cpu:.2f} s in "
         f"{wall:.1f} s = {cpu / wall * 100:.2f} % of a core; wineserver {server_cpu / wall * 100:.2f} %")
    check(counts == sorted(counts), f"the counter went back: {counts}")
    check(sent == frames, f"the simulator sent {sent} of {frames} frames")
    check(counted == sent, f"the counter reached {counted}, the simulator sent {sent}")
    check(summary.get("checksum-errors") == "0", f"checksum errors in the display frames: {summary}")
    run.quit_zonter()


MONITOR_TITLE = "Монитор линии"


def scenario_monitor(run):
    """The line monitor from the window menu lists every frame of both
    directions with Δt and the changed bytes highlighted."""
    sim = run.start_simulator("halten", extra=("--seed", "7"))
    w = run.start_zonter()
    start_display_run(run, w, refresh_every=5)
    w.syscommand(IDS["CMD_LINE_MONITOR"])
    m = Window(run.driver, MONITOR_TITLE, 30)

    def count():
        return m.call("list-count", "IDC_MON_LIST")

    wait_until(lambda: count() >= 40, 30, "40 rows in the monitor's list")
    m.set_checked("IDC_MON_PAUSE", True)
    frozen = count()
    rows = []
    for r in range(frozen):
        row = m.call("list-row", "IDC_MON_LIST", extra=str(r))
        rows.append(list(zip(row["cells"], row["marks"])))
    km, display = check_monitor_rows(rows, sim.log.sent_frames(), [f["bytes"] for f in sim.log.display_frames()],
                                     (100, 400))
    note(f"{km} КМ→ and {display} →КМ rows, all in order with their changed bytes")
    check(count() == frozen, "the paused list moved on")
    counters = m.text("IDC_MON_RX_COUNTERS")
    check(counters.startswith("КМ→  кадров: "), f"counters {counters!r}")
    m.set_checked("IDC_MON_PAUSE", False)
    wait_until(lambda: count() > frozen, 10, "the list to move on after the pause")
    chart = m.call("chart", "IDC_MON_CHART")
    check(chart.startswith("V/T "), f"chart {chart!r}")
    left, top, right, bottom = m.rect()
    screenshot.take(run.session.display.framebuffer, os.path.join(run.work_dir, "screenshot-monitor.png"),
                    (left, top, right - left, bottom - top))
    finish_display_run(run, sim)


SCENARIOS = {
    "connect": scenario_connect,
    "monitor": scenario_monitor,
    "single_read": scenario_single_read,
    "halten": scenario_halten,
    "kugoo": scenario_kugoo,
    "line_speed": scenario_line_speed,
    "capture": scenario_capture,
    "unplug": scenario_unplug,
    "no_selection": scenario_no_selection,
    "bench": scenario_bench,
}


def missing_requirements(args):
    missing = []  # the display alone, not the accessibility bus the Linux checks need
    if shutil.which("Xvfb") is None:
        missing.append("Xvfb (xvfb)")
    if not (os.access("/usr/lib/wine/wine64", os.X_OK) or shutil.which("wine64") or shutil.which("wine")):
        missing.append("Wine (wine, wine64)")
    if not wineserver_binary():
        missing.append("wineserver (wine64)")
    if not os.access(args.kmsim, os.X_OK):
        missing.append(f"the Linux simulator {args.kmsim} (cmake --preset default && "
                       "cmake --build build/default --target zonter-kmsim)")
    return missing


def run_scenario(args, session, name):
    return linux_run_scenario(args, session, name, scenarios=SCENARIOS, make_run=Run, program="zonter.exe",
                              status=latest_status)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zonter", required=True, help="zonter.exe")
    parser.add_argument("--driver", required=True, help="zonter-e2e-driver.exe")
    parser.add_argument("--kmsim", required=True, help="the Linux zonter-kmsim")
    parser.add_argument("--wine-run", default=os.path.join(SOURCE, "scripts", "wine-run"))
    parser.add_argument("--prefix", required=True, help="the Wine prefix of these checks (made if missing)")
    parser.add_argument("--work-dir", required=True, help="logs and zonter.exe's working folders")
    parser.add_argument("--screenshot", help="where the halten scenario also saves its PNG of the window")
    parser.add_argument("--seconds", type=float, default=60, help="length of the bench measurement")
    parser.add_argument("scenarios", nargs="+", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    for attr in ("zonter", "driver", "kmsim", "wine_run", "prefix", "work_dir"):
        setattr(args, attr, os.path.abspath(getattr(args, attr)))
    if args.screenshot:
        args.screenshot = os.path.abspath(args.screenshot)

    # A runner told to stop cleans up on the way out (the finally clauses).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))

    missing = missing_requirements(args)
    if missing:
        print("SKIP: missing " + "; ".join(missing))
        return SKIP

    os.makedirs(args.work_dir, exist_ok=True)
    session = Session(args)
    try:
        session.start()
        failed = [name for name in args.scenarios if not run_scenario(args, session, name)]
    finally:
        session.close()
    if failed:
        note("FAILED: " + ", ".join(failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
