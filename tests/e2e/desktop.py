"""A private desktop for one run: an Xvfb display, a D-Bus session bus and
the AT-SPI accessibility bus, all owned by a ProcessGroup."""

import os
import shutil

from processes import wait_until

AT_SPI_BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"

REQUIRED_TOOLS = {
    "Xvfb": "xvfb",
    "dbus-daemon": "dbus-daemon",
}


def missing_tools():
    """Names the system tools (and the Debian package holding each) that
    the desktop needs and this machine lacks."""
    missing = [f"{tool} ({package})" for tool, package in REQUIRED_TOOLS.items() if shutil.which(tool) is None]
    if not os.access(AT_SPI_BUS_LAUNCHER, os.X_OK):
        missing.append(f"{AT_SPI_BUS_LAUNCHER} (at-spi2-core)")
    return missing


def _read_line_from(fd, timeout, what):
    """Reads one line that a child writes to the pipe `fd` (closed after)."""
    data = bytearray()
    os.set_blocking(fd, False)

    def got_line():
        try:
            chunk = os.read(fd, 4096)
        except BlockingIOError:
            return False
        if not chunk:
            raise EOFError(f"{what}: the pipe closed before a line arrived")
        data.extend(chunk)
        return b"\n" in data

    try:
        wait_until(got_line, timeout, what)
    finally:
        os.close(fd)
    return data.split(b"\n", 1)[0].decode().strip()


class Desktop:
    def __init__(self, processes, runtime_dir, log_dir):
        self.processes = processes
        self.runtime_dir = runtime_dir
        self.log_dir = log_dir
        self.display = None
        self.bus_address = None
        # Xvfb keeps its screen in this file, in xwd format (screenshots).
        self.framebuffer = os.path.join(runtime_dir, "Xvfb_screen0")

    def start(self):
        self._start_x()
        self._start_session_bus()
        self._start_accessibility_bus()

    def env(self):
        """The environment every process of the run gets."""
        env = dict(os.environ)
        env.update(
            DISPLAY=self.display,
            DBUS_SESSION_BUS_ADDRESS=self.bus_address,
            XDG_RUNTIME_DIR=self.runtime_dir,
        )
        env.pop("AT_SPI_BUS_ADDRESS", None)
        env.pop("XAUTHORITY", None)
        return env

    def _log(self, name):
        return open(os.path.join(self.log_dir, name), "wb")

    def _start_x(self):
        read_fd, write_fd = os.pipe()
        with self._log("xvfb.log") as log:
            self.processes.start(
                "Xvfb",
                ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                 "-noreset", "-nocursor", "-fbdir", self.runtime_dir],
                pass_fds=(write_fd,),
                stdout=log,
                stderr=log,
            )
        os.close(write_fd)
        number = _read_line_from(read_fd, 30, "Xvfb to report its display number")
        self.display = f":{number}"

    def _start_session_bus(self):
        read_fd, write_fd = os.pipe()
        env = dict(os.environ, DISPLAY=self.display, XDG_RUNTIME_DIR=self.runtime_dir)
        with self._log("dbus-session.log") as log:
            self.processes.start(
                "dbus-daemon",
                ["dbus-daemon", "--session", "--nofork", "--nopidfile", f"--print-address={write_fd}"],
                pass_fds=(write_fd,),
                stdout=log,
                stderr=log,
                env=env,
            )
        os.close(write_fd)
        self.bus_address = _read_line_from(read_fd, 30, "the D-Bus session bus to report its address")

    def _start_accessibility_bus(self):
        # Started here rather than on demand, so that it lives in a process
        # group of ours and ends with the run.
        with self._log("at-spi-bus.log") as log:
            self.processes.start(
                "at-spi-bus-launcher",
                [AT_SPI_BUS_LAUNCHER, "--launch-immediately", "--a11y=1"],
                stdout=log,
                stderr=log,
                env=self.env(),
            )
        wait_until(self._accessibility_bus_named, 30, "the AT-SPI bus launcher to take its name on the session bus")

    def _accessibility_bus_named(self):
        from gi.repository import Gio, GLib

        flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
        bus = Gio.DBusConnection.new_for_address_sync(self.bus_address, flags, None, None)
        try:
            reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "NameHasOwner", GLib.Variant("(s)", ("org.a11y.Bus",)),
                                  GLib.VariantType("(b)"), Gio.DBusCallFlags.NONE, 5000, None)
            return reply.unpack()[0]
        finally:
            bus.close_sync(None)
