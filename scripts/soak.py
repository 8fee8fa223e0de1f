#!/usr/bin/env python3
"""The soak's run and its checks; scripts/soak.sh builds, prepares the folder and starts this.

Runs lumetta-server in fault mode and the sanitizer build of Tessal (already copied into the
work folder) for the given seconds, right-clicks the panel every few seconds, samples the
program's resident memory, stops it with SIGTERM, and then checks its exit status, its log,
System.ini and the server's log. Prints the summary; the exit status is 1 when a check failed.
The window steps are the shell helpers of scripts/common.sh, the ones the real-window tests use.
"""

import argparse
import collections
import os
import re
import signal
import socket
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
COMMON_SH = os.path.join(ROOT, "scripts", "common.sh")

# The widget gives up on a request after 15 s and asks every 3 s (RefreshTime below).
CLIENT_TIMEOUT = 15
REFRESH = 3
RECOVERY_LIMIT = CLIENT_TIMEOUT + REFRESH + 2
# The faults end this long before the end, leaving room to see the recovery and a few menus.
TAIL_SECONDS = RECOVERY_LIMIT + 5
MENU_EVERY = 5
RSS_GROWTH_LIMIT_KB = 1024
SETTINGS = ["[System]", "PriceType=au", f"RefreshTime={REFRESH}", "Transparent=50",
            "LockState=UnLock", "AutoRun=False"]
POSITION_KEYS = ("Left", "Top")
QUOTE_PATH = "/Soft/Price.asp"
SANITIZER_REPORT = re.compile(r"ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:")


class GiveUp(Exception):
    """The run cannot go on; no summary."""


def mark_offset(duration):
    """When memory is marked: after the first minute, or a third of a run under two minutes."""
    return 60 if duration >= 120 else duration // 3


def wait_for(seconds, condition, interval=0.05):
    """Polls condition until it holds or the seconds pass."""
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() >= deadline:
            return False
        time.sleep(interval)
    return True


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=1):
            return True
    except OSError:
        return False


def shell(*command, timeout=120):
    """Runs a function of scripts/common.sh; its status and what it printed."""
    done = subprocess.run(["bash", "-c", '. "$0" && "$@"', COMMON_SH, *map(str, command)],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          timeout=timeout, check=False)
    return done.returncode, done.stdout.strip()


def rss_kb(pid):
    """The process's resident size in kB, or None once it is gone."""
    try:
        with open(f"/proc/{pid}/status", encoding="ascii", errors="replace") as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except (OSError, ValueError, IndexError):
        pass
    return None


def wait_status(returncode):
    """A status as the shell reports it: 128 plus the signal for a process a signal ended."""
    return returncode if returncode >= 0 else 128 - returncode


def stop(process, seconds=10):
    """Asks a process to end, waits a bounded while, then forces it."""
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(seconds)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


class ServerLog:
    """The lines lumetta-server prints with --log --faults-for, each behind the time (in
    microseconds) it was read, so that times are the server's, not the poll's:
      lumetta-server listening on HOST:PORT
      lumetta-server fault cycle: NAME...
      METHOD TARGET                    each request
      fault NAME METHOD TARGET         each request to a disturbed endpoint, NAME "none" once
                                       the faults are over
      lumetta-server faults over
    A method and a target never hold a blank: both end at the request line's next one.
    """

    def __init__(self, text):
        self.cycle = []
        self.over_at = None
        # (time, fault name, method, target) in the order printed.
        self.faults = []
        stamped = []
        for line in text.splitlines():
            stamp, _, rest = line.partition(" ")
            if stamp.isdigit():
                stamped.append((int(stamp), rest))
        for stamp, rest in stamped:
            if rest.startswith("lumetta-server fault cycle:") and not self.cycle:
                self.cycle = rest[len("lumetta-server fault cycle:"):].split()
            elif rest == "lumetta-server faults over" and self.over_at is None:
                self.over_at = stamp
        names = set(self.cycle) | {"none"}
        for stamp, rest in stamped:
            fields = rest.split(" ", 3)
            if len(fields) == 4 and fields[0] == "fault" and fields[1] in names:
                self.faults.append((stamp, fields[1], fields[2], fields[3]))

    def served(self, name):
        return sum(1 for fault in self.faults if fault[1] == name)

    def first_normal_quote_at(self):
        for stamp, name, _, target in self.faults:
            if name == "none" and target.partition("?")[0] == QUOTE_PATH:
                return stamp
        return None


def settings_lines(text):
    """The lines of a profile file, line ends and trailing blank lines aside."""
    return text.replace("\r", "").rstrip("\n").split("\n")


def settings_faults(before, after):
    """What is wrong with the settings written after the run: besides one numeric Left and one
    numeric Top, exactly the lines there were before."""
    found = []
    position = re.compile(r"^(%s)=" % "|".join(POSITION_KEYS))
    kept = [line for line in settings_lines(after) if not position.match(line)]
    if collections.Counter(kept) != collections.Counter(settings_lines(before)):
        found.append("System.ini changed beyond Left and Top")
    for key in POSITION_KEYS:
        numeric = re.compile(r"^%s=[0-9]+(\.[0-9]+)?$" % key)
        if sum(1 for line in settings_lines(after) if numeric.match(line)) != 1:
            found.append(f"System.ini does not hold one numeric {key}")
    return found


def tenths(microseconds):
    """Seconds with one decimal, cut rather than rounded."""
    milliseconds = abs(microseconds) // 1000
    sign = "-" if microseconds < 0 else ""
    return f"{sign}{milliseconds // 1000}.{milliseconds % 1000 // 100}"


def read_text(path):
    try:
        with open(path, "rb") as file:
            return file.read().decode("utf-8", errors="replace")
    except OSError:
        return ""


class Soak:
    def __init__(self, options):
        self.options = options
        self.work = options.work
        self.duration = options.seconds
        self.fault_seconds = self.duration - TAIL_SECONDS
        self.mark_offset = mark_offset(self.duration)
        self.server_log = os.path.join(self.work, "server.log")
        self.tessal_log = os.path.join(self.work, "tessal.log")
        self.server = None
        self.stamper = None
        self.tessal = None
        self.start = None
        self.failures = []
        self.menu_opened = 0
        self.menu_missed = 0
        self.rss_start = self.rss_mark = self.rss_end = None
        self.exit_status = None

    def elapsed(self):
        return int(time.monotonic() - self.start)

    def fail(self, message):
        self.failures.append(message)
        print(f"soak: FAIL: {message}", file=sys.stderr, flush=True)

    def tessal_gone(self):
        return self.tessal.poll() is not None

    def panel(self):
        status, panel = shell("find_panel", self.tessal.pid)
        return panel if status == 0 and panel else None

    def start_server(self):
        port = self.options.port
        if listening(port):
            raise GiveUp(f"port {port} is taken; the soak needs it for its own server")
        self.start = time.monotonic()
        self.server = subprocess.Popen(
            [self.options.server, "--port", str(port), "--seed", "7", "--log", "--faults-for",
             str(self.fault_seconds)],
            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.stamper = threading.Thread(target=self.stamp_lines, daemon=True)
        self.stamper.start()
        if not wait_for(10, lambda: listening(port)):
            raise GiveUp(f"lumetta-server did not start on port {port}")

    def stamp_lines(self):
        with open(self.server_log, "wb") as log:
            for line in self.server.stdout:
                log.write(b"%d %s" % (time.time_ns() // 1000, line))
                log.flush()

    def start_tessal(self):
        with open(self.tessal_log, "wb") as log:
            self.tessal = subprocess.Popen(["./Tessal"], cwd=self.work, stdin=subprocess.DEVNULL,
                                           stdout=log, stderr=subprocess.STDOUT)
        # The first start with sanitizers is slow, and a fetch may hold it up to the client's
        # time-out.
        wait_for(60, lambda: self.tessal_gone() or self.panel() is not None, interval=0.2)
        if self.panel() is None:
            raise GiveUp(f"the panel did not show (log: {self.tessal_log})")
        self.rss_start = rss_kb(self.tessal.pid)

    def menu_check(self):
        """Right-clicks the panel's background and waits for one more window of the process (the
        menu), then closes it with Escape. A menu that opens late is closed all the same."""
        pid = self.tessal.pid
        panel = self.panel()
        if panel is None:
            self.fail(f"no panel at {self.elapsed()} s")
            return
        _, origin = shell("window_origin", panel)
        try:
            x, y = (int(value) for value in origin.split())
        except ValueError:
            self.fail(f"no panel at {self.elapsed()} s")
            return
        _, before = shell("shown_windows", pid)
        opened, _ = shell("menu_opens_at", pid, x + 150, y + 25, before)
        if opened == 0:
            self.menu_opened += 1
        else:
            self.menu_missed += 1
            self.fail(f"no menu within 10 s of a right click at {self.elapsed()} s")
        closed, _ = shell("menu_closes", pid, before, 3)
        if closed != 0:
            self.fail(f"the menu did not close at {self.elapsed()} s")

    def watch(self):
        deadline = self.start + self.duration
        next_menu = time.monotonic() + MENU_EVERY
        while time.monotonic() < deadline:
            if self.tessal_gone():
                status = wait_status(self.tessal.wait())
                self.fail(f"the program ended after {self.elapsed()} s with status {status}")
                return
            if self.rss_mark is None and time.monotonic() - self.start >= self.mark_offset:
                self.rss_mark = rss_kb(self.tessal.pid)
            if time.monotonic() >= next_menu:
                self.menu_check()
                next_menu = time.monotonic() + MENU_EVERY
            # Pacing only: every wait for a condition above is a bounded poll.
            time.sleep(0.5)

    def end_tessal(self):
        if self.tessal_gone():
            return
        self.rss_end = rss_kb(self.tessal.pid)
        self.tessal.send_signal(signal.SIGTERM)
        try:
            self.exit_status = wait_status(self.tessal.wait(30))
        except subprocess.TimeoutExpired:
            self.fail("still running 30 s after SIGTERM")
            return
        if self.exit_status != 0:
            self.fail(f"exit status {self.exit_status} after SIGTERM")

    def stop_all(self):
        stop(self.tessal)
        stop(self.server)
        if self.stamper is not None:
            self.stamper.join(10)

    def check(self):
        if SANITIZER_REPORT.search(read_text(self.tessal_log)):
            self.fail("a sanitizer report in the program's log")

        growth = None
        if self.rss_mark is not None and self.rss_end is not None:
            growth = self.rss_end - self.rss_mark
            if growth >= RSS_GROWTH_LIMIT_KB:
                self.fail(f"memory grew by {growth} kB after {self.mark_offset} s"
                          f" (limit {RSS_GROWTH_LIMIT_KB} kB)")
        elif self.rss_end is not None:
            self.fail(f"no memory reading at {self.mark_offset} s")

        if self.exit_status is not None:
            before = read_text(os.path.join(self.work, "System.ini.before"))
            after = read_text(os.path.join(self.work, "System.ini"))
            for message in settings_faults(before, after):
                self.fail(message)

        log = ServerLog(read_text(self.server_log))
        good_at = log.first_normal_quote_at()
        recovery = None
        if log.over_at is None:
            self.fail("the server never reported the end of its faults")
        elif good_at is None:
            self.fail("no normal quote request after the faults ended")
        else:
            recovery = tenths(good_at - log.over_at)
            if (good_at - log.over_at) // 1000 > RECOVERY_LIMIT * 1000:
                self.fail(f"the first normal quote request came {recovery} s after the faults"
                          f" (limit {RECOVERY_LIMIT} s)")
        return log, recovery, growth

    def summary(self, log, recovery, growth):
        def known(value):
            return "?" if value is None else value

        print(f"soak: {self.duration} s against faults for the first {self.fault_seconds} s"
              f" ({self.options.build_dir})")
        print("  requests per fault:")
        for name in log.cycle:
            print(f"    {name:<14} {log.served(name)}")
        print(f"    {'after faults':<14} {log.served('none')}")
        print(f"  first normal quote request: {recovery or 'none'} s after the faults ended"
              f" (limit {RECOVERY_LIMIT} s)")
        print(f"  menu: opened {self.menu_opened} of {self.menu_opened + self.menu_missed}"
              " right clicks")
        print(f"  RSS: start {known(self.rss_start)} kB, at {self.mark_offset} s"
              f" {known(self.rss_mark)} kB, end {known(self.rss_end)} kB,"
              f" growth {known(growth)} kB (limit {RSS_GROWTH_LIMIT_KB} kB)")
        exit_status = "none" if self.exit_status is None else self.exit_status
        print(f"  exit status on SIGTERM: {exit_status}")
        print(f"  logs: {self.options.logs}")
        if self.failures:
            print("soak: FAILED")
            for message in self.failures:
                print(f"  - {message}")
            return 1
        print("soak: ok")
        return 0

    def run(self):
        for name in ("System.ini", "System.ini.before"):
            with open(os.path.join(self.work, name), "w", encoding="ascii", newline="") as ini:
                ini.write("".join(f"{line}\r\n" for line in SETTINGS))
        try:
            self.start_server()
            self.start_tessal()
            self.watch()
            self.end_tessal()
        except GiveUp as reason:
            print(f"soak.sh: {reason}", file=sys.stderr)
            return 1
        finally:
            self.stop_all()
        return self.summary(*self.check())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=int, required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--server", required=True, help="the lumetta-server executable")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--work", required=True, help="the folder holding the copy of Tessal")
    parser.add_argument("--logs", required=True, help="where soak.sh keeps the logs")
    options = parser.parse_args()
    if options.seconds <= TAIL_SECONDS:
        parser.error(f"--seconds must leave some of the run to the faults: above {TAIL_SECONDS}")
    # soak.sh stops this run with SIGTERM; what it started goes too.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    return Soak(options).run()


if __name__ == "__main__":
    sys.exit(main())
