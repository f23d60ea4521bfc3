"""Starts wexcon-sim for a peer test and reads its own view of the line."""
import os
import re
import subprocess
import tempfile

# Detectors of the peer tests: values the outside masters must read back.
DETECTORS = [
    ("1:ir,serial=21030077,model=0x0595", 1, 0x0595, 21030077),
    ("2:uvir,serial=305419896", 2, 0x0592, 305419896),
    ("17:ir,locked,maint=m17,admin=a17,serial=17", 17, 0x0590, 17),
]


def swap(word):
    """Outside masters read words big-endian; the detectors send them low byte first."""
    return ((word & 0xFF) << 8) | (word >> 8)


class Sim:
    def __init__(self, sim_path):
        self.dir = tempfile.mkdtemp(prefix="wexcon-peer-")
        self.link = os.path.join(self.dir, "ttyDET0")
        args = [sim_path, "--link", self.link, "--fast"]
        for option, *_ in DETECTORS:
            args += ["--detector", option]
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        line = self.proc.stdout.readline().strip()
        if line != "ready " + self.link:
            raise RuntimeError("simulator did not start: %r" % line)

    def status(self):
        """{address: (family, baud, mode, state)} as the simulator sees its detectors."""
        self.proc.stdin.write("status\n")
        self.proc.stdin.flush()
        text = self.proc.stdout.readline()
        out = {}
        for part in text.split("|")[1:]:
            m = re.match(r"\s*(\d+) (\w+) (\d+) (\S) (\d+) elev (\d+)", part)
            if m:
                out[int(m.group(1))] = (m.group(2), int(m.group(3)), m.group(4), int(m.group(5)))
        return out

    def close(self):
        self.proc.terminate()
        self.proc.wait(timeout=10)
        if os.path.lexists(self.link):
            raise RuntimeError("link left behind")
        os.rmdir(self.dir)


class Checker:
    def __init__(self):
        self.failures = 0

    def eq(self, what, got, want):
        ok = got == want
        print("%s %s: got %r, want %r" % ("ok  " if ok else "FAIL", what, got, want))
        if not ok:
            self.failures += 1

    def true(self, what, cond):
        self.eq(what, bool(cond), True)
