"""Child processes of an end-to-end run: each in a process group of its own,
so that ending it also ends whatever it spawned (the AT-SPI bus launcher
starts a bus daemon and a registry daemon of its own).

A guard process outlives the runner: should the runner be killed outright
(a test time-out), the guard ends every group the runner left behind."""

import os
import signal
import subprocess
import sys
import time


class Deadline(Exception):
    """A condition did not come true in time."""


def wait_until(condition, timeout, what, interval=0.05):
    """Polls `condition` until it returns a true value and returns that value.

    Raises Deadline naming `what` (a text, or a function giving the text at
    that moment) when `timeout` seconds pass first."""
    end = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = condition()
            if value:
                return value
        except Exception as error:  # an accessible object may vanish between two looks
            last_error = error
        if time.monotonic() >= end:
            detail = f" (last error: {last_error})" if last_error else ""
            try:
                text = what() if callable(what) else what
            except Exception as error:
                text = f"<{error}>"
            raise Deadline(f"timed out after {timeout:.0f} s waiting for {text}{detail}")
        time.sleep(interval)


# The guard reads "+pgid" and "-pgid" lines, and "=folder" for a temporary
# folder; when its input closes (the runner ended, however), it ends the
# groups still listed and removes the folders. It detaches first, so that
# killing the runner's process tree does not reach it.
_GUARD = r"""
import os, shutil, signal, sys, time
if os.fork():
    os._exit(0)
groups = set()
folders = []
for line in sys.stdin:
    line = line.rstrip("\n")
    if line[:1] == "+":
        groups.add(int(line[1:]))
    elif line[:1] == "-":
        groups.discard(int(line[1:]))
    elif line[:1] == "=":
        folders.append(line[1:])
for sig in (signal.SIGTERM, signal.SIGKILL):
    for group in groups:
        try:
            os.killpg(group, sig)
        except OSError:
            pass
    if sig == signal.SIGTERM and groups:
        time.sleep(2)
for folder in folders:
    shutil.rmtree(folder, ignore_errors=True)
"""


class _Guard:
    def __init__(self):
        self._pipe = None

    def _write(self, line):
        if self._pipe is None:
            read_fd, write_fd = os.pipe()
            starter = subprocess.Popen([sys.executable, "-c", _GUARD], stdin=read_fd, start_new_session=True,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(read_fd)
            starter.wait()  # the guard proper runs on, detached
            self._pipe = os.fdopen(write_fd, "w", buffering=1)
        self._pipe.write(line + "\n")

    def watch(self, group):
        self._write(f"+{group}")

    def release(self, group):
        self._write(f"-{group}")

    def remove_at_end(self, folder):
        self._write(f"={folder}")


_guard = _Guard()


def remove_at_end(folder):
    """Has `folder` removed once the runner has ended, however it ended."""
    _guard.remove_at_end(folder)


class ProcessGroup:
    """Starts processes in new sessions and ends them all, newest first."""

    def __init__(self):
        self._started = []  # (name, Popen)

    def start(self, name, argv, **kwargs):
        proc = subprocess.Popen(argv, start_new_session=True, **kwargs)
        _guard.watch(proc.pid)
        self._started.append((name, proc))
        return proc

    def stop(self, proc, grace=5.0):
        """Sends SIGTERM to the process's group, then SIGKILL after `grace` s.

        Returns the exit status of the leader."""
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            code = proc.wait(timeout=grace)
        except subprocess.TimeoutExpired:
            code = None
        # Whatever the group still holds (daemons the leader spawned) goes now.
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        if code is None:
            code = proc.wait(timeout=grace)
        _guard.release(proc.pid)
        return code

    def stop_all(self):
        for name, proc in reversed(self._started):
            try:
                self.stop(proc)
            except Exception as error:  # cleanup goes on with the others
                print(f"cleanup: could not stop {name} (pid {proc.pid}): {error}")
        self._started.clear()

    def forget(self, proc):
        """Drops a process that ended by itself; its group is ended all the same."""
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        _guard.release(proc.pid)
        self._started = [(n, p) for n, p in self._started if p is not proc]
