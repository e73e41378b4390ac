"""dln-sim with its live page on free ports, for the live page's script tests."""
import re
import subprocess
import sys


def start(dln_sim):
    """Starts dln-sim --http; returns the process and the page's port once it serves."""
    sim = subprocess.Popen([dln_sim, "--port", "0", "--http", "0"], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, text=True)
    for line in sim.stdout:
        found = re.search(r"live page on http://127\.0\.0\.1:(\d+)/", line)
        if found:
            return sim, int(found.group(1))
    sys.exit("dln-sim did not start")
