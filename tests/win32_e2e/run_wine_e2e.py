#!/usr/bin/python3
"""End-to-end scenarios (tests/e2e/scenarios.py) under Wine: zonter.exe
against the controller simulator.

One invocation starts a private X display (Xvfb) and readies a Wine prefix
of its own, in which COM1 is the simulator's pseudo-terminal: the registry
value HKLM\\Software\\Wine\\Ports "COM1" names the simulator's link in a
fixed port folder beside the prefix, so a new simulator on COM1 needs no
change in the prefix. Each scenario starts the Linux simulator zonter-kmsim,
zonter.exe and the Win32 driver program zonter-e2e-driver.exe, which works
the window's controls as a person does (see driver.cpp).

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

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))

import desktop  # noqa: E402
import scenarios  # noqa: E402
from processes import ProcessGroup, remove_at_end  # noqa: E402
from scenarios import MAIN_TITLE, SKIP, ScenarioRun, check, note  # noqa: E402


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


class Prefix:
    """The tests' private Wine prefix, with COM1 mapped to a fixed link."""

    def __init__(self, path, wine_run, port_dir, log_dir):
        self.path = os.path.abspath(path)
        self.wine_run = wine_run
        self.port_dir = port_dir
        self.com1 = os.path.join(port_dir, "COM1")
        self.com2 = os.path.join(port_dir, "COM2")  # the bench's floor: a second line fed the same bytes
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
                registry_value(system_reg, ports_key, "COM2") != self.com2 or
                registry_value(user_reg, x11_key, "Managed") != "N"):
            note("mapping COM1 and COM2 into the Wine prefix")
            self.wine("reg", "add", "HKLM\\" + ports_key, "/v", "COM1", "/t", "REG_SZ", "/d", self.com1, "/f")
            self.wine("reg", "add", "HKLM\\" + ports_key, "/v", "COM2", "/t", "REG_SZ", "/d", self.com2, "/f")
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
    """A dialog of zonter.exe, its controls named as in res/Resource.h: the
    Win32 driver of the scenarios (the calls are listed in scenarios.py)."""

    def __init__(self, driver, title, timeout=60):
        self.driver = driver
        self.handle = driver.call(f"find {int(timeout * 1000)} {title}", timeout + 10)
        driver.current = self.handle

    def call(self, command, *idents, extra=""):
        # The driver works on one window at a time.
        if self.driver.current != self.handle:
            self.driver.call(f"window {self.handle}")
            self.driver.current = self.handle
        ids = " ".join(str(IDS[i]) for i in idents)
        return self.driver.call(f"{command} {ids} {extra}".rstrip())

    def title(self):
        return self.call("title")

    def text(self, ident):
        return self.call("texts", ident)[0]

    caption = text

    def texts(self, idents):
        return dict(zip(idents, self.call("texts", *idents)))

    def state(self, ident):
        return self.call("state", ident)

    def enabled(self, ident):
        return self.state(ident)["enabled"]

    def visible(self, ident):
        return self.state(ident)["visible"]

    def checked(self, ident):
        return bool(self.state(ident)["checked"])

    def value(self, ident):
        return self.state(ident)["pos"]

    def kind(self, ident):
        state = self.state(ident)
        return _kind(state["class"], state["style"])

    def layout(self):
        names = {number: name for name, number in reversed(IDS.items())}
        return [{"ident": names.get(c["id"]) if c["id"] != -1 else None, "kind": _kind(c["class"], c["style"]),
                 "text": c["text"], "visible": c["visible"],
                 "rect": (c["rect"][0], c["rect"][1], c["rect"][2] - c["rect"][0], c["rect"][3] - c["rect"][1])}
                for c in self.call("controls")]

    def press(self, ident):
        self.call("click", ident)

    def press_hidden(self, ident):
        self.call("command", ident)

    def press_and_go(self, ident):
        self.call("post-click", ident)

    def set_checked(self, ident, want):
        if self.checked(ident) != want:
            self.press(ident)
        check(self.checked(ident) == want, f"{ident} did not take the tick {want}")

    click_checked = set_checked  # BM_CLICK is the mouse's click

    def set_value(self, ident, pos):
        got = self.call("slide", ident, extra=str(pos))
        check(got == pos, f"{ident} went to {got}, not {pos}")

    def step(self, ident, up):
        self.call("arrow", ident, extra="up" if up else "down")

    def type_text(self, ident, text):
        self.call("type", ident, extra=text)

    def replace_text(self, ident, text):
        self.call("select-all", ident)
        self.type_text(ident, text)
        check(self.text(ident) == text, f"{ident} shows {self.text(ident)!r} after typing {text!r}")

    def entries(self, ident):
        return self.call("items", ident)

    def select_entry(self, ident, entry):
        entries = self.entries(ident)
        check(entry in entries, f"{ident} has no entry {entry!r}: {entries}")
        got = self.call("pick", ident, extra=str(entries.index(entry)))
        check(got == entries.index(entry), f"{ident}: picked entry {got}, not {entry!r}")
        check(self.text(ident) == entry, f"{ident} shows {self.text(ident)!r} after picking {entry!r}")

    def combo_state(self, ident):
        state = self.state(ident)
        return {"open": state["dropped"], "selection": state["selection"]}

    def window_menu(self, command):
        self.call("syscommand", extra=str(IDS[command]))

    def find_window(self, title, required, timeout=30):
        window = Window(self.driver, title, timeout)
        window.state(required)  # fails when the window lacks it
        return window

    def wait_gone(self, timeout=10):
        self.call("gone", extra=str(int(timeout * 1000)))
        self.driver.current = None

    def row_count(self, ident):
        return self.call("list-count", ident)

    def rows(self, ident):
        rows = []
        for r in range(self.row_count(ident)):
            row = self.call("list-row", ident, extra=str(r))
            rows.append(list(zip(row["cells"], row["marks"])))
        return rows

    def chart(self, ident):
        return self.call("chart", ident)

    def rect(self):
        left, top, right, bottom = self.call("rect")
        return left, top, right - left, bottom - top


def _kind(window_class, style):
    if window_class == "Button":
        return "check box" if style & 0xF in (2, 3, 5, 6) else "push button"
    return {"msctls_trackbar32": "slider", "ComboBox": "combo box", "Edit": "text",
            "Static": "label"}.get(window_class, "other")


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
        for link in (self.prefix.com1, self.prefix.com2):
            if os.path.lexists(link):
                os.unlink(link)
        shutil.rmtree(self.runtime_dir, ignore_errors=True)


class Run(ScenarioRun):
    """One scenario under Wine: zonter.exe and the driver join the
    simulators."""

    system = "wine"
    program = "zonter.exe"

    def __init__(self, args, session, work_dir):
        super().__init__(args, work_dir)
        self.session = session
        self.port_dir = session.port_dir
        self.framebuffer = session.display.framebuffer
        self.driver = Driver(self.processes, args, session.env(), os.path.join(work_dir, "driver.log"))

    def _simulator_env(self):
        return dict(os.environ)

    def _simulator_args(self):
        return ("--port-dir", self.port_dir)

    def _port_mapped(self):
        return self.session.prefix.com1_mapped()

    def cpu_processes(self):
        servers = [p for p in prefix_processes(self.args.prefix) if "wineserver" in os.readlink(f"/proc/{p}/exe")]
        check(len(servers) == 1, f"wineserver processes of the prefix: {servers}")
        return {"wineserver": servers[0]}

    def start_floor(self, speed):
        if not self.args.floor_reader:
            return None
        proc = self.processes.start("floor", [self.args.wine_run, "--prefix", self.args.prefix, self.args.floor_reader,
                                              "COM2", str(speed)], env=self.session.env(), stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL)
        ready = proc.stdout.readline()  # the reader opens the port, or ends
        check(ready.strip() == b"ready", f"the floor reader did not open COM2: {ready!r}")
        return proc

    def _start_program(self, log):
        return self.processes.start("zonter", [self.args.wine_run, "--prefix", self.args.prefix, self.args.zonter],
                                    cwd=self.zonter_dir, env=self.session.env(), stdout=log, stderr=log)

    def _open_main_window(self):
        return Window(self.driver, MAIN_TITLE)

    def window_dump(self):
        try:
            windows = self.driver.call("windows")
        except Exception as error:  # the driver may be gone
            windows = f"<{error}>"
        return super().window_dump() + f"\n  top-level windows: {windows}"

    def close(self):
        self.driver.quit()
        super().close()


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


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zonter", required=True, help="zonter.exe")
    parser.add_argument("--driver", required=True, help="zonter-e2e-driver.exe")
    parser.add_argument("--wine-run", default=os.path.join(SOURCE, "scripts", "wine-run"))
    parser.add_argument("--prefix", required=True, help="the Wine prefix of these checks (made if missing)")
    parser.add_argument("--floor-reader", help="bench: zonter-bench-overlapped-reader.exe, the floor on COM2")
    scenarios.add_common_arguments(parser)
    args = parser.parse_args()
    for attr in ("zonter", "driver", "kmsim", "wine_run", "prefix", "work_dir"):
        setattr(args, attr, os.path.abspath(getattr(args, attr)))
    if args.floor_reader:
        args.floor_reader = os.path.abspath(args.floor_reader)
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
        return scenarios.run_all(args, lambda work_dir: Run(args, session, work_dir))
    finally:
        session.close()


if __name__ == "__main__":
    sys.exit(main())
