"""The controller simulator zonter-kmsim as a process of the run, and the
reading of its log."""

import os
import re
import subprocess

from processes import wait_until


# The log's marker lines of --unplug-after and --replug-after.
UNPLUGGED = "# unplugged: "
REPLUGGED = "# replugged: "


class SimulatorLog:
    """The lines of a `--log` file: frames sent and display frames decoded.
    With `since` (a marker line's start, such as REPLUGGED) only the lines
    after that marker count, none while it is not there yet."""

    def __init__(self, path):
        self.path = path

    def _lines(self, since=None):
        if not os.path.exists(self.path):
            return []
        with open(self.path, encoding="ascii", errors="replace") as f:
            # The last line may still be half written.
            lines = [line.rstrip("\n") for line in f if line.endswith("\n")]
        if since is not None:
            marks = [i for i, line in enumerate(lines) if line.startswith(since)]
            lines = lines[marks[-1] + 1:] if marks else []
        return lines

    def sent_frames(self, since=None):
        """The frames sent, each as a list of ints, in order."""
        frames = []
        for line in self._lines(since):
            if line.startswith("tx "):
                hex_part = line[3:].split("#", 1)[0]
                frames.append([int(b, 16) for b in hex_part.split()])
        return frames

    def display_frames(self, since=None):
        """The display frames received: dicts with 'bytes', 'checksum_ok' and
        the decoded settings ('gear', 'max-speed', ... as strings)."""
        frames = []
        for line in self._lines(since):
            if not line.startswith("rx "):
                continue
            hex_part, _, tail = line[3:].partition(" | ")
            frame = {"bytes": [int(b, 16) for b in hex_part.split()], "checksum_ok": tail != "checksum-error"}
            for key, value in re.findall(r"([a-z-]+)=(\S+)", tail):
                frame[key] = value
            frames.append(frame)
        return frames


def parse_summary(line):
    return dict(re.findall(r"([a-z-]+)=(\S+)", line))


class Simulator:
    """One zonter-kmsim process playing the controller on COM<port>."""

    def __init__(self, processes, binary, env, log_dir, port=1, protocol="halten", extra=(), name="kmsim"):
        self.processes = processes
        self.port = port
        self.log = SimulatorLog(os.path.join(log_dir, f"{name}.log"))
        self.status_path = os.path.join(log_dir, f"{name}.status")
        self._stdout = bytearray()
        argv = [binary, "--protocol", protocol, "--port", str(port), "--log", self.log.path, *extra]
        with open(self.status_path, "wb") as status:
            self.proc = processes.start(name, argv, env=env, stdout=subprocess.PIPE, stderr=status)
        os.set_blocking(self.proc.stdout.fileno(), False)
        ready = wait_until(self._ready_line, 15, f"{name} to register COM{port}")
        self.device = ready.split()[1]

    def _pull_stdout(self):
        try:
            chunk = self.proc.stdout.read()
        except BlockingIOError:
            chunk = None
        if chunk:
            self._stdout.extend(chunk)

    def _stdout_lines(self):
        self._pull_stdout()
        return self._stdout.decode(errors="replace").splitlines()

    def _ready_line(self):
        for line in self._stdout_lines():
            if line.startswith(f"COM{self.port} "):
                return line
        if self.proc.poll() is not None:
            raise RuntimeError(f"the simulator ended ({self.proc.returncode}) before it was ready: "
                               + self.status_text())
        return None

    def event_time(self, word):
        """When the simulator printed its "unplugged" or "replugged" line, on
        the monotonic clock that time.monotonic() reads; None before."""
        for line in self._stdout_lines():
            if line.startswith(f"{word} COM{self.port} "):
                return float(re.search(r" monotonic=(\S+)", line).group(1))
        return None

    def wait_event(self, word, timeout):
        return wait_until(lambda: self.event_time(word), timeout, f"the simulator's {word!r} line")

    def status_text(self):
        with open(self.status_path, encoding="utf-8", errors="replace") as f:
            return f.read()[-2000:]

    def latest_status(self):
        """The simulator's latest status line."""
        return self.status_text().replace("\r", "\n").rstrip("\n").rsplit("\n", 1)[-1]

    def sent_so_far(self):
        """The frames sent so far, as the status line counts them."""
        found = re.findall(r"\| sent (\d+) \|", self.status_text())
        return int(found[-1]) if found else 0

    def running(self):
        return self.proc.poll() is None

    def stop(self):
        """Ends the simulator (SIGTERM) and returns its summary as a dict."""
        if self.running():
            self.processes.stop(self.proc)
        self.processes.forget(self.proc)
        return self.summary()

    def summary(self):
        self.proc.wait(timeout=10)
        self._stdout.extend(self.proc.stdout.read() or b"")
        for line in self._stdout_lines():
            if line.startswith("summary "):
                return parse_summary(line)
        printed = self._stdout.decode(errors="replace")
        raise AssertionError(f"the simulator printed no summary line; its output was: {printed}")
