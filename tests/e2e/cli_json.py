"""wexcon-cli --json read by Python's json module: `poll --json --count 3` against wexcon-sim."""
import json
import os
import subprocess
import sys
import tempfile


def main(sim_path, cli_path):
    folder = tempfile.mkdtemp(prefix="wexcon-json-")
    link = os.path.join(folder, "ttyDET0")
    # Detector 2 reports a fault, so that the fault words are read and named.
    sim = subprocess.Popen([sim_path, "--link", link, "--fast", "--detector", "1:ir,serial=21030077",
                            "--detector", "2:uvir", "--fault", "fault 2 40 on"],
                           stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    try:
        assert sim.stdout.readline().strip() == "ready " + link
        port = link + ":9600,n,8,1"
        expected = {
            1: {"serial": 21030077, "model": "0x0590", "mode": "N", "fault": False, "faults": [],
                "relays": {"alarm": False, "accessory": False, "fault": True}, "analog_ma": 4.0},
            2: {"model": "0x0592", "fault": True, "faults": [{"code": 40, "text": "Low 12V input voltage"}],
                "relays": {"alarm": False, "accessory": False, "fault": False}},
        }
        for address, fields in expected.items():
            run = subprocess.run([cli_path, "--port", port, "--address", str(address), "--json", "poll",
                                  "--count", "3", "--period", "10"], capture_output=True, text=True, timeout=60)
            assert run.returncode == 0, run.stderr
            lines = run.stdout.splitlines()
            assert len(lines) == 3, run.stdout
            for line in lines:
                record = json.loads(line)
                assert record["address"] == address, record
                for key in ("model_name", "state", "state_text", "temperature_c", "voltage_v", "heater"):
                    assert key in record, (key, record)
                for key, value in fields.items():
                    assert record[key] == value, (key, record[key], value)
        # A detector that does not answer is one object with the reason, exit status 1.
        run = subprocess.run([cli_path, "--port", port, "--address", "9", "--json", "poll"],
                             capture_output=True, text=True, timeout=60)
        assert run.returncode == 1 and json.loads(run.stdout)["error"].startswith("no answer"), run.stdout
    finally:
        sim.terminate()
        sim.wait(timeout=10)
        os.rmdir(folder)
    print("ok")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
