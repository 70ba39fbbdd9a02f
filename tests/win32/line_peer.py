#!/usr/bin/env python3
"""Plays the controller's side of a serial line for a Windows test program
running under Wine.

A pseudo-terminal stands in for the line. Its slave is reached through a
stable symbolic link, which the private Wine prefix knows as COMn: the
registry value HKLM\\Software\\Wine\\Ports "COMn", and the prefix's
dosdevices/comn link that Wine opens. The test program runs under the
emulator command given after "--"; it asks for the peer's moves with lines
"@@peer <command>" on its standard output and reads one answer line
("ok ..." or "error ...") on its standard input. Everything else it prints
is passed through.

Commands:
  fresh                  a live line: a new pseudo-terminal if the last one
                         was unplugged; both directions emptied
  preset <rate> <frame>  sets the line as another program left it, e.g.
                         "preset 2400 7E1"
  send <hex>             writes the bytes towards the program
  send-later <ms> <hex>  the same, after ms milliseconds; answers at once
  recv <n> <ms>          reads up to n bytes the program wrote, within ms
  pending                bytes waiting in the line for the program to read
  unread                 bytes the program wrote that the peer has not read
  line                   the line's rate and frame as the program set them,
                         e.g. "9600 8N1"
  unplug                 closes the controller's side and removes the link to
                         it, as a pulled adapter
  cpu                    CPU milliseconds used so far by the program's
                         process and by the prefix's wineserver
"""

import argparse
import array
import fcntl
import os
import pty
import select
import struct
import subprocess
import sys
import termios
import threading
import time
import tty

TCGETS2 = 0x802C542A
TERMIOS2 = struct.Struct("4I B 19s 2I")  # iflag oflag cflag lflag line cc ispeed ospeed

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def get_termios2(fd):
    raw = fcntl.ioctl(fd, TCGETS2, bytes(TERMIOS2.size))
    return list(TERMIOS2.unpack(raw))


def frame_of(cflag):
    size = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
    if not cflag & termios.PARENB:
        parity = "N"
    else:
        parity = "O" if cflag & termios.PARODD else "E"
    stop = 2 if cflag & termios.CSTOPB else 1
    return f"{size}{parity}{stop}"


class Line:
    """The pseudo-terminal and the stable link to its slave."""

    def __init__(self, link):
        self.link = link
        self.master = -1
        self.slave = -1
        self.lock = threading.Lock()

    def plug(self):
        self.unplug()
        self.master, self.slave = pty.openpty()
        # Raw from the start, so that nothing sent before the program sets
        # the line is echoed or changed.
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        temp = self.link + ".new"
        if os.path.lexists(temp):
            os.unlink(temp)
        os.symlink(os.ttyname(self.slave), temp)
        os.replace(temp, self.link)

    def unplug(self):
        with self.lock:
            for fd in (self.master, self.slave):
                if fd >= 0:
                    os.close(fd)
            self.master = self.slave = -1
            # The port goes with the line: its pseudo-terminal's number may
            # soon be another program's.
            if os.path.lexists(self.link):
                os.unlink(self.link)

    @property
    def live(self):
        return self.master >= 0

    def send(self, data):
        with self.lock:
            view = memoryview(data)
            end = time.monotonic() + 5
            while view:
                select.select([], [self.master], [], max(0, end - time.monotonic()))
                try:
                    view = view[os.write(self.master, view):]
                except BlockingIOError:
                    pass
                if time.monotonic() > end:
                    raise RuntimeError("the line does not take the bytes")

    def recv(self, n, ms):
        got = b""
        end = time.monotonic() + ms / 1000
        while len(got) < n:
            left = end - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([self.master], [], [], left)
            if ready:
                try:
                    got += os.read(self.master, n - len(got))
                except (BlockingIOError, OSError):
                    pass
        return got

    def drain(self):
        # What the program wrote earlier and no one read; recv() with no
        # time left would not look.
        while select.select([self.master], [], [], 0)[0]:
            try:
                if not os.read(self.master, 4096):
                    break
            except (BlockingIOError, OSError):
                break
        termios.tcflush(self.slave, termios.TCIFLUSH)

    def pending(self):
        buf = array.array("i", [0])
        fcntl.ioctl(self.slave, termios.TIOCINQ, buf)
        return buf[0]

    def unread(self):
        buf = array.array("i", [0])
        fcntl.ioctl(self.master, termios.FIONREAD, buf)
        return buf[0]

    def describe(self):
        fields = get_termios2(self.slave)
        return f"{fields[7]} {frame_of(fields[2])}"

    def preset(self, rate, frame):
        # A standard rate: Wine reads the line's rate back through the
        # classic speed codes only. (A pseudo-terminal keeps 8 data bits and
        # no parity whatever is asked; the stop bits it keeps.)
        attrs = termios.tcgetattr(self.slave)
        cflag = attrs[2] & ~(termios.CSIZE | termios.PARENB | termios.PARODD | termios.CSTOPB)
        cflag |= {5: termios.CS5, 6: termios.CS6, 7: termios.CS7, 8: termios.CS8}[int(frame[0])]
        cflag |= {"N": 0, "E": termios.PARENB, "O": termios.PARENB | termios.PARODD}[frame[1]]
        cflag |= termios.CSTOPB if frame[2] == "2" else 0
        attrs[2] = cflag
        attrs[4] = attrs[5] = getattr(termios, f"B{rate}")
        termios.tcsetattr(self.slave, termios.TCSANOW, attrs)

    def reset(self):
        tty.setraw(self.slave)
        self.preset(9600, "8N1")


def cpu_ms(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) * 1000 // CLOCK_TICKS
    except (OSError, IndexError, ValueError):
        return 0


def wineserver_pids(prefix):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            exe = os.readlink(f"/proc/{entry}/exe")
            if "wineserver" not in os.path.basename(exe):
                continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                env = f.read().split(b"\0")
        except OSError:
            continue
        if f"WINEPREFIX={prefix}".encode() in env:
            found.append(int(entry))
    return found


class Prefix:
    """Registers the line as COMn in the private Wine prefix, and takes it out again."""

    def __init__(self, prefix, emulator, port, link):
        self.prefix = os.path.abspath(prefix)
        self.emulator = emulator
        self.port = port
        self.link = link
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all")
        self.dosdevice = os.path.join(self.prefix, "dosdevices", f"com{port}")
        self.server = None
        self.kept_server = False

    def wine(self, *args):
        subprocess.run(self.emulator + list(args), env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    @staticmethod
    def server_path():
        server = "/usr/lib/wine/wineserver64"
        return server if os.access(server, os.X_OK) else "wineserver"

    def wineserver(self, flag):
        subprocess.run([self.server_path(), flag], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)

    def wineserver_kill(self):
        self.wineserver("-k")
        self.wineserver_wait()

    def wineserver_wait(self):
        self.wineserver("-w")

    def place_device_link(self):
        temp = self.dosdevice + ".new"
        if os.path.lexists(temp):
            os.unlink(temp)
        os.symlink(self.link, temp)
        os.replace(temp, self.dosdevice)

    def register(self):
        # A server kept up for the whole test run (wine-run --start-server)
        # is brought back when the port goes, or the tests after this one
        # would each start and lose servers of their own.
        self.kept_server = bool(wineserver_pids(self.prefix))
        # The first run makes the prefix; the value then survives the
        # restart below, at which Wine maps the port anew.
        self.wine("reg", "add", r"HKLM\Software\Wine\Ports", "/v", f"COM{self.port}", "/t", "REG_SZ",
                  "/d", self.link, "/f")
        self.wineserver_kill()
        self.place_device_link()
        # A server of our own for the program's run, whose shutdown report
        # stays out of the program's output.
        self.server = subprocess.Popen([self.server_path(), "-f", "-p"], env=self.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def unregister(self):
        try:
            self.wine("reg", "delete", r"HKLM\Software\Wine\Ports", "/v", f"COM{self.port}", "/f")
        except subprocess.SubprocessError:
            pass
        self.wineserver_kill()
        if self.server:
            try:
                self.server.wait(timeout=60)
            except subprocess.TimeoutExpired:
                self.server.kill()
        if os.path.lexists(self.dosdevice):
            os.unlink(self.dosdevice)
        if self.kept_server:
            # Without this run's display, which may end with the run.
            env = {k: v for k, v in self.env.items() if k != "DISPLAY"}
            subprocess.run(self.emulator + ["--start-server"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def serve(program, line, prefix, log):
    """Answers the program's requests until it ends; returns its exit status."""
    timers = []

    def answer(text):
        program.stdin.write((text + "\n").encode())
        program.stdin.flush()

    def handle(words):
        command, args = words[0], words[1:]
        if command == "fresh":
            for t in timers:
                t.join()
            timers.clear()
            if not line.live:
                line.plug()
            line.reset()
            line.drain()
            return "ok"
        if command == "preset":
            line.preset(int(args[0]), args[1])
            return "ok"
        if command == "send":
            line.send(bytes.fromhex(args[0]))
            return "ok"
        if command == "send-later":
            delay, data = int(args[0]) / 1000, bytes.fromhex(args[1])
            timer = threading.Timer(delay, lambda: line.live and line.send(data))
            timer.start()
            timers.append(timer)
            return "ok"
        if command == "recv":
            return "ok " + line.recv(int(args[0]), int(args[1])).hex()
        if command == "pending":
            return f"ok {line.pending()}"
        if command == "unread":
            return f"ok {line.unread()}"
        if command == "line":
            return "ok " + line.describe()
        if command == "unplug":
            for t in timers:
                t.join()
            timers.clear()
            line.unplug()
            return "ok"
        if command == "cpu":
            server = sum(cpu_ms(pid) for pid in wineserver_pids(prefix.prefix))
            return f"ok {cpu_ms(program.pid)} {server}"
        return f"error unknown command {command}"

    for raw in program.stdout:
        text = raw.decode("utf-8", "replace").rstrip("\r\n")
        if not text.startswith("@@peer "):
            log.write(text + "\n")
            log.flush()
            continue
        try:
            reply = handle(text.split()[1:])
        except Exception as error:  # the program sees it and fails its check
            reply = f"error {error!r}"
        try:
            answer(reply)
        except BrokenPipeError:
            break
    for t in timers:
        t.join()
    return program.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--prefix", required=True, help="the private Wine prefix")
    parser.add_argument("--work-dir", required=True, help="where the stable link to the line is kept")
    parser.add_argument("--port", type=int, default=5, help="the COM number the line gets")
    parser.add_argument("command", nargs=argparse.REMAINDER, help="-- emulator... program.exe [arguments]")
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if len(command) < 2:
        parser.error("give the emulator command and the program after --")
    emulator, program_args = command[:-1], command[-1:]

    os.makedirs(args.work_dir, exist_ok=True)
    link = os.path.join(os.path.abspath(args.work_dir), f"com{args.port}-line")
    line = Line(link)
    line.plug()
    prefix = Prefix(args.prefix, emulator, args.port, link)
    status = 1
    try:
        prefix.register()
        program = subprocess.Popen(command + [f"--port=COM{args.port}"], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, env=prefix.env)
        status = serve(program, line, prefix, sys.stdout)
    finally:
        line.unplug()
        prefix.unregister()
        if os.path.lexists(link):
            os.unlink(link)
    return status


if __name__ == "__main__":
    sys.exit(main())
