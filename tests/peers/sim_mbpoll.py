"""mbpoll (libmodbus) as an outside master against wexcon-sim."""
import re
import subprocess
import sys

from sim_peer_util import DETECTORS, Checker, Sim, swap


def mbpoll(link, addr, table, ref, count=1, write=None):
    args = ["mbpoll", "-m", "rtu", "-b", "9600", "-P", "none", "-a", str(addr), "-r", str(ref),
            "-1", "-o", "1"]
    if write is None:
        args += ["-t", table + ":hex", "-c", str(count), link]
    else:
        args += ["-t", table, link, str(write)]
    r = subprocess.run(args, capture_output=True, text=True, timeout=30)
    words = [int(v, 16) for v in re.findall(r"^\[\d+\]:\s+0x([0-9A-Fa-f]+)", r.stdout, re.M)]
    return r.returncode, words, r.stdout + r.stderr


def main():
    sim = Sim(sys.argv[1])
    c = Checker()
    try:
        state = sim.status()
        for _, addr, model, serial in DETECTORS:
            rc, w, out = mbpoll(sim.link, addr, "3", 1, 6)
            c.eq("30,001.. of %d answered" % addr, (rc, len(w)), (0, 6))
            if len(w) < 6:
                print(out)
                continue
            c.eq("model code of %d" % addr, swap(w[0]), model)
            c.eq("serial of %d" % addr, swap(w[1]) | swap(w[2]) << 16, serial)
            c.eq("4-20 of %d" % addr, swap(w[3]), 40)
            _, _, mode, st = state[addr]
            c.eq("mode/state of %d" % addr, swap(w[4]), ord(mode) << 8 | st)
            rc, w, _ = mbpoll(sim.link, addr, "3", 15, 2)
            c.true("temperature and Vin of %d plausible" % addr,
                   len(w) == 2 and 15 <= swap(w[0]) <= 35 and 230 <= swap(w[1]) <= 250)
            rc, w, _ = mbpoll(sim.link, addr, "4", 1, 9)
            c.eq("holding 40,001..40,009 of %d" % addr, [swap(x) for x in w],
                 [addr, 0, 1, 1, 0, 0, 0, 2, 2])
        rc, w, _ = mbpoll(sim.link, 1, "3", 257, 2)
        # First character in the low byte, which arrives first.
        c.eq("version text starts", b"".join(bytes([x >> 8, x & 0xFF]) for x in w), b"IR4 ")

        # 40,001 written in the standard byte order moves the detector.
        rc, _, out = mbpoll(sim.link, 1, "4", 1, write=5)
        c.eq("write 40,001 of 1 to 5", rc, 0)
        c.eq("simulator sees 5, not 1", (5 in sim.status(), 1 in sim.status()), (True, False))
        rc, w, _ = mbpoll(sim.link, 5, "4", 1, 1)
        c.eq("40,001 at the new address", [swap(x) for x in w], [5])
        # The locked detector refuses without elevation.
        rc, _, out = mbpoll(sim.link, 17, "4", 1, write=30)
        c.true("locked detector refuses the write", rc != 0)
        c.eq("locked detector stays at 17", 17 in sim.status(), True)
    finally:
        sim.close()
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())
