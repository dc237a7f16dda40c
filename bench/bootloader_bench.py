#!/usr/bin/env python3
"""Whole-process benchmark of LumoraBootLoader (run by scripts/bench).

`bootloader_bench.py --prefix P [--runs N]`: P is an installation of the kit
(cmake --install). For lists of 10, 100 and 1,000 login items (each holding
one stale item of the daemon in its middle, and keys other software wrote),
it times whole runs of LumoraBootLoader and, side by side in the same loop,
of an equivalent Python script using plistlib (read, drop the daemon's
items, append the new one, write a new file, flush it and rename it into
place). The preference file is restored before every run; only the run is
timed. Prints the median and mean of each and checks the two targets:

- the 1,000-item run costs at most 10 times the 10-item run;
- the 10-item run takes at most a third of the Python script's time.

Exits 1 when a target is missed.
"""

import argparse
import os
import plistlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

KEY = "AutoLaunchedApplicationDictionary"
BOOT_LOADER = "LumoraBootLoader.app/Contents/MacOS/LumoraBootLoader"

# The Python equivalent of one LumoraBootLoader run, as a whole process.
PYTHON_EQUIVALENT = r'''
import os, plistlib, sys, tempfile
prefs, daemon = sys.argv[1], sys.argv[2]
with open(prefs, "rb") as f:
    root = plistlib.load(f)
def name(entry):
    parts = [p for p in str(entry.get("Path", "")).split("/") if p]
    return parts[-1] if parts else ""
items = [e for e in root.get("AutoLaunchedApplicationDictionary", [])
         if not (isinstance(e, dict) and name(e) == "LumoraDaemon")]
items.append({"Hide": False, "Path": daemon})
root["AutoLaunchedApplicationDictionary"] = items
folder = os.path.dirname(prefs)
fd, temporary = tempfile.mkstemp(prefix=".loginwindow.plist.", dir=folder)
with os.fdopen(fd, "wb") as f:
    plistlib.dump(root, f)
    f.flush()
    os.fsync(f.fileno())
os.replace(temporary, prefs)
'''


def login_items(count):
    items = [{"Path": "/Applications/App %04d.app" % i, "Hide": i % 2 == 0}
             for i in range(count - 1)]
    items.insert((count - 1) // 2, {"Path": "/old/place/LumoraDaemon", "Hide": False})
    return {KEY: items, "OtherSetting": "kept", "Numbers": [1, 2.5, "three"]}


def timed(command, env, restore):
    restore()
    start = time.perf_counter()
    done = subprocess.run(command, env=env, stdin=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit("%s failed with status %d" % (command[0], done.returncode))
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prefix", required=True, help="an installation of the kit")
    parser.add_argument("--runs", type=int, default=40)
    parser.add_argument("--python", default=sys.executable)
    args = parser.parse_args()

    scratch = tempfile.mkdtemp(prefix="lumora-bench-")
    try:
        prefix = os.path.join(scratch, "kit")
        shutil.copytree(args.prefix, prefix, symlinks=True)
        daemon = os.path.join(prefix, "LumoraDaemon")
        with open(daemon, "w") as f:
            f.write("#!/bin/sh\n")
        os.chmod(daemon, 0o755)
        config = os.path.join(scratch, "config")
        prefs = os.path.join(config, "Preferences", "loginwindow.plist")
        os.makedirs(os.path.dirname(prefs), mode=0o700)
        env = dict(os.environ, HOME=scratch, XDG_CONFIG_HOME=config)
        equivalent = os.path.join(scratch, "equivalent.py")
        with open(equivalent, "w") as f:
            f.write(PYTHON_EQUIVALENT)

        results = {}
        for count in (10, 100, 1000):
            original = plistlib.dumps(login_items(count))

            def restore():
                with open(prefs, "wb") as f:
                    f.write(original)

            loader, python = [], []
            # One unmeasured run of each warms the caches.
            timed([os.path.join(prefix, BOOT_LOADER)], env, restore)
            timed([args.python, equivalent, prefs, daemon], env, restore)
            for _ in range(args.runs):
                loader.append(timed([os.path.join(prefix, BOOT_LOADER)], env, restore))
                python.append(timed([args.python, equivalent, prefs, daemon], env, restore))
            with open(prefs, "rb") as f:
                items = plistlib.load(f)[KEY]
            if len(items) != count or items[-1] != {"Hide": False, "Path": daemon}:
                sys.exit("LumoraBootLoader left an unexpected list for %d items" % count)
            results[count] = (statistics.median(loader), statistics.median(python))
            print("%5d items: LumoraBootLoader median %7.2f ms (mean %7.2f)   "
                  "Python plistlib median %7.2f ms (mean %7.2f)" %
                  (count, 1000 * results[count][0], 1000 * statistics.mean(loader),
                   1000 * results[count][1], 1000 * statistics.mean(python)))
    finally:
        shutil.rmtree(scratch, ignore_errors=True)

    scaling = results[1000][0] / results[10][0]
    versus = results[10][0] / results[10][1]
    print("1,000 items / 10 items: %.2fx (target at most 10x)" % scaling)
    print("10 items, LumoraBootLoader / Python: %.3f (target at most 0.333)" % versus)
    return 0 if scaling <= 10 and versus <= 1 / 3 else 1


if __name__ == "__main__":
    sys.exit(main())
