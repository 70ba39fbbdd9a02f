#!/usr/bin/python3
"""End-to-end scenarios (scenarios.py) on Linux: the Qt zonter window
against the controller simulator.

One invocation starts a private X display (Xvfb), D-Bus session and AT-SPI
bus; each scenario then starts the simulator zonter-kmsim and zonter itself,
and works the window through its accessibility interface (window.py).

Exit status: 0 passed, 1 failed, 77 skipped (a required system tool is
missing).
"""

import argparse
import importlib.util
import os
import shutil
import signal
import sys
import tempfile

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop  # noqa: E402
import scenarios  # noqa: E402
from processes import ProcessGroup, remove_at_end  # noqa: E402
from scenarios import SKIP, ScenarioRun, note  # noqa: E402


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


class Run(ScenarioRun):
    """One scenario on the Linux desktop."""

    system = "linux"
    program = "zonter"

    def __init__(self, args, session, work_dir):
        super().__init__(args, work_dir)
        self.desktop = session.desktop
        self.port_dir = session.port_dir
        self.framebuffer = self.desktop.framebuffer

    def _simulator_env(self):
        return self.desktop.env()  # the port link goes under its XDG_RUNTIME_DIR

    def _simulator_args(self):
        return ()

    def _port_mapped(self):
        return True  # zonter looks up COMn in that very folder

    def cpu_processes(self):
        return {}

    def _start_program(self, log):
        env = self.desktop.env()
        env.update(QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        if env.get("TSAN_OPTIONS"):
            env["TSAN_OPTIONS"] = self._tsan_options(env["TSAN_OPTIONS"])
        return self.processes.start("zonter", [self.args.zonter], cwd=self.zonter_dir, env=env, stdout=log,
                                    stderr=log)

    def _open_main_window(self):
        from window import Window  # binds to the bus that Session.start published

        window = Window(self.zonter.pid)
        note(f"{len(window.controls)} controls with identifiers")
        return window

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

    def close(self):
        super().close()
        shutil.rmtree(self.port_dir, ignore_errors=True)


def missing_requirements():
    missing = desktop.missing_tools()
    if shutil.which("xwininfo") is None:
        missing.append("xwininfo (x11-utils)")
    if importlib.util.find_spec("pyatspi") is None or importlib.util.find_spec("gi") is None:
        missing.append("the AT-SPI Python bindings (python3-pyatspi, gir1.2-atspi-2.0)")
    return missing


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--zonter", required=True, help="the zonter program")
    scenarios.add_common_arguments(parser)
    args = parser.parse_args()
    for attr in ("zonter", "kmsim", "work_dir"):
        setattr(args, attr, os.path.abspath(getattr(args, attr)))
    if args.screenshot:
        args.screenshot = os.path.abspath(args.screenshot)

    # A runner told to stop cleans up on the way out (the finally clauses).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))

    missing = missing_requirements()
    if missing:
        print("SKIP: missing " + "; ".join(missing) + " (scripts/install-deps installs them)")
        return SKIP

    os.makedirs(args.work_dir, exist_ok=True)
    session = Session(args.work_dir)
    try:
        session.start()
        return scenarios.run_all(args, lambda work_dir: Run(args, session, work_dir))
    finally:
        session.close()


if __name__ == "__main__":
    sys.exit(main())
