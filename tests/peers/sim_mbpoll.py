"""mbpoll (libmodbus) as an outside master against wexcon-sim."""
import os
import re
import subprocess
import sys
import tempfile

# Detectors the master must read back: option, address, model code, serial.
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
        out = {}
        for part in self.proc.stdout.readline().split("|")[1:]:
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


def mbpoll(link, addr, table, ref, count=1, write=None):
    """Return code, the words read (in the detectors' byte order) and mbpoll's text."""
    args = ["mbpoll", "-m", "rtu", "-b", "9600", "-P", "none", "-a", str(addr), "-r", str(ref),
            "-1", "-o", "1"]
    if write is None:
        args += ["-t", table + ":hex", "-c", str(count), link]
    else:
        args += ["-t", table, link, str(write)]
    r = subprocess.run(args, capture_output=True, text=True, timeout=30)
    words = [int(v, 16) for v in re.findall(r"^\[\d+\]:\s+0x([0-9A-Fa-f]+)", r.stdout, re.M)]
    return r.returncode, [swap(w) for w in words], r.stdout + r.stderr


def main():
    sim = Sim(sys.argv[1])
    failures = 0

    def eq(what, got, want):
        nonlocal failures
        print("%s %s: got %r, want %r" % ("ok  " if got == want else "FAIL", what, got, want))
        failures += got != want

    try:
        state = sim.status()
        for _, addr, model, serial in DETECTORS:
            rc, w, _ = mbpoll(sim.link, addr, "3", 1, 32)
            eq("30,001..30,032 of %d answered" % addr, (rc, len(w)), (0, 32))
            if len(w) < 32:
                continue
            _, _, mode, st = state[addr]
            eq("model, serial, 4-20 and mode/state of %d" % addr,
               (w[0], w[1] | w[2] << 16, w[3], w[4]), (model, serial, 40, ord(mode) << 8 | st))
            eq("temperature and Vin of %d plausible" % addr, (15 <= w[14] <= 35, 230 <= w[15] <= 250),
               (True, True))
            eq("relays of %d (fault energised, others off)" % addr, w[28:31], [1, 0, 0])
            rc, w, _ = mbpoll(sim.link, addr, "4", 1, 33)
            eq("40,001..40,009 of %d" % addr, w[:9], [addr, 0, 1, 1, 0, 0, 0, 2, 2])
            eq("BitPeriod and post-BIT duration of %d" % addr, w[22:25:2], [15, 3])
        rc, w, _ = mbpoll(sim.link, 1, "3", 257, 2)
        # First character in the low byte, which arrives first.
        eq("version text starts", b"".join(bytes([x & 0xFF, x >> 8]) for x in w), b"IR4 ")

        # 40,001 written in the standard byte order moves the detector.
        rc, _, _ = mbpoll(sim.link, 1, "4", 1, write=5)
        eq("write 40,001 of 1 to 5", rc, 0)
        now = sim.status()
        eq("simulator sees 5, not 1", (5 in now, 1 in now), (True, False))
        rc, w, _ = mbpoll(sim.link, 5, "4", 1, 1)
        eq("40,001 at the new address", w, [5])
        # The locked detector refuses without elevation: exception 4.
        rc, _, out = mbpoll(sim.link, 17, "4", 1, write=30)
        eq("locked detector refuses the write and stays at 17",
           (rc != 0, "Slave device or server failure" in out, 17 in sim.status()), (True, True, True))
    finally:
        sim.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
