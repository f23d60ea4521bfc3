"""A pymodbus RTU client as an outside master against wexcon-sim."""
import logging
import sys

from pymodbus.client import ModbusSerialClient

from sim_peer_util import DETECTORS, Checker, Sim, swap


def main():
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    sim = Sim(sys.argv[1])
    c = Checker()
    client = ModbusSerialClient(port=sim.link, baudrate=9600, parity="N", stopbits=1, bytesize=8,
                                timeout=1)
    try:
        c.eq("connect", client.connect(), True)
        state = sim.status()
        for _, addr, model, serial in DETECTORS:
            r = client.read_input_registers(0, 32, slave=addr)
            c.eq("30,001..30,032 of %d answered" % addr, r.isError(), False)
            if r.isError():
                continue
            w = [swap(x) for x in r.registers]
            c.eq("model code of %d" % addr, w[0], model)
            c.eq("serial of %d" % addr, w[1] | w[2] << 16, serial)
            _, _, mode, st = state[addr]
            c.eq("mode/state of %d" % addr, w[4], ord(mode) << 8 | st)
            c.eq("relays of %d (fault energised, others off)" % addr, w[28:31], [1, 0, 0])
            r = client.read_holding_registers(0, 33, slave=addr)
            c.eq("40,001..40,033 of %d answered" % addr, r.isError(), False)
            if not r.isError():
                w = [swap(x) for x in r.registers]
                c.eq("address register of %d" % addr, w[0], addr)
                c.eq("BitPeriod and post-BIT duration of %d" % addr, (w[22], w[24]), (15, 3))
        r = client.read_input_registers(32, 1, slave=1)
        c.eq("unmapped input register refused", getattr(r, "exception_code", None), 2)

        r = client.write_register(0, 9, slave=2)
        c.eq("write 40,001 of 2 to 9", r.isError(), False)
        now = sim.status()
        c.eq("simulator sees 9, not 2", (9 in now, 2 in now), (True, False))
        r = client.read_holding_registers(0, 1, slave=9)
        c.eq("40,001 at the new address", [swap(x) for x in getattr(r, "registers", [])], [9])
        r = client.write_register(0, 30, slave=17)
        c.eq("locked detector refuses with exception 4", getattr(r, "exception_code", None), 4)
    finally:
        client.close()
        sim.close()
    return 1 if c.failures else 0


if __name__ == "__main__":
    sys.exit(main())
