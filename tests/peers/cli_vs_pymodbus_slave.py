#!/usr/bin/python3
"""wexcon-cli against an outside Modbus implementation: a pymodbus RTU slave.

Two pseudo-terminals joined by a byte pump stand in for the wire; the slave's
own data store is what the checks look at. Standard Modbus puts register
values high byte first; the tool's hand-framed register functions put them
low byte first, and its address change uses the standard order.
"""
import asyncio
import os
import select
import sys
import threading
import tty

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server.async_io import ModbusSerialServer
from pymodbus.transaction import ModbusRtuFramer

CLI = sys.argv[1]


def wire():
    """Two pty pairs with their masters joined: returns the two slave paths."""
    ends = [os.openpty() for _ in range(2)]
    for _, slave in ends:
        tty.setraw(slave)
    (ma, sa), (mb, sb) = ends

    def pump():
        while True:
            ready, _, _ = select.select([ma, mb], [], [])
            for fd in ready:
                try:
                    data = os.read(fd, 4096)
                except OSError:
                    continue
                os.write(mb if fd == ma else ma, data)

    threading.Thread(target=pump, daemon=True).start()
    return os.ttyname(sa), os.ttyname(sb)


async def cli(port, *args):
    proc = await asyncio.create_subprocess_exec(
        CLI, "--port", f"{port}:9600,n,8,1", "--address", "1", *args,
        stdout=asyncio.subprocess.PIPE, stderr=asyncio.subprocess.PIPE)
    out, err = await proc.communicate()
    return proc.returncode, out.decode().strip(), err.decode().strip()


async def main():
    tool_port, slave_port = wire()
    store = ModbusSlaveContext(
        ir=ModbusSequentialDataBlock(0, [0x1234, 0x0001, 0xBEEF, 0x00FF]),
        hr=ModbusSequentialDataBlock(0, [1] + [0] * 40),
        zero_mode=True)
    server = ModbusSerialServer(ModbusServerContext(slaves={1: store}, single=False),
                                framer=ModbusRtuFramer, port=slave_port, baudrate=9600)
    await server.start()
    failures = []
    checks = []

    def check(name, got, want):
        checks.append(name)
        if got != want:
            failures.append(f"{name}: got {got!r}, want {want!r}")

    rc, out, err = await cli(tool_port, "read-input", "30001", "4")
    check("read-input", (rc, out), (0, "3412 0100 EFBE FF00"))
    rc, out, err = await cli(tool_port, "write-register", "40002", "1234")
    check("write-register rc", rc, 0)
    check("write-register store", store.getValues(3, 1, 1), [0x3412])
    rc, out, err = await cli(tool_port, "write-registers", "40003", "0102", "0304")
    check("write-registers rc", rc, 0)
    check("write-registers store", store.getValues(3, 2, 2), [0x0201, 0x0403])
    rc, out, err = await cli(tool_port, "read-holding", "40002", "3")
    check("read-holding", (rc, out), (0, "1234 0102 0304"))
    # An address change first reads the detector's setup for its lock, which a
    # plain Modbus slave cannot answer: refused, and nothing is written.
    before = store.getValues(3, 0, 1)
    rc, out, err = await cli(tool_port, "set-address", "7")
    check("set-address rc", rc, 1)
    check("set-address store", store.getValues(3, 0, 1), before)
    # An address the slave refuses to hold: pymodbus answers an exception.
    rc, out, err = await cli(tool_port, "read-holding", "40100", "2")
    check("exception rc", rc, 1)
    check("exception text", "exception 2" in err, True)

    await server.shutdown()
    for f in failures:
        print("FAIL", f)
    print(f"{len(checks) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


sys.exit(asyncio.run(main()))
