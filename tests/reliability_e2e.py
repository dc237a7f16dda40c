#!/usr/bin/env python3
"""Reliability of the login item list under faults, on the installed programs.

`reliability_e2e.py --stage STAGE --adder STORE_ADDER [TestClass...]` uses the
installation that programs_e2e.py made below STAGE (the Programs.install
fixture) and its scratch kits:

- KillTests: the registration programs are killed (SIGKILL) at random moments
  on a list of a few hundred items; after each round the file must parse,
  keep every other item and key as it was, and hold only whole changes; the
  new files of killed writers must not pile up.
- ConcurrencyTests: register and unregister loops run beside two processes
  adding distinct items through the store; every add that reported success
  must be in the file, and no add that reported failure.
"""

import argparse
import os
import plistlib
import random
import re
import signal
import subprocess
import sys
import threading
import time
import unittest

import programs_e2e as e2e
from programs_e2e import BOOT_LOADER, BOOT_UNLOADER, EXIT_OK, KEY, Kit, item

ADDER = None  # set from the command line
DAEMON = "LumoraDaemon"


def is_daemons(entry):
    parts = [p for p in entry.get("Path", "").split("/") if p]
    return bool(parts) and parts[-1] == DAEMON


def temporaries(kit):
    folder = os.path.dirname(kit.prefs)
    pattern = re.compile(r"^\.loginwindow\.plist\.[A-Za-z0-9]{6}$")
    return [n for n in os.listdir(folder) if pattern.match(n)]


class KillTests(unittest.TestCase):
    ROUNDS = 40
    ITEMS = 300

    def setUp(self):
        random.seed(os.environ.get("LUMORA_KILL_SEED", "7"))
        self.kit = Kit(self)
        self.daemon = self.kit.add_daemon()
        # Other software's items, with keys the store never writes, and three
        # stale registrations of the daemon spread through the list (so a run
        # of the loader makes four writes: three removals and the add).
        items = [item("/Applications/App%03d.app" % i, hide=i % 3 == 0, Index=i)
                 for i in range(self.ITEMS)]
        for at, folder in ((10, "/old/a"), (150, "/old/b"), (290, "/old/c")):
            items.insert(at, item(folder + "/" + DAEMON))
        self.original = items
        self.others = {"OtherSetting": "kept", "Numbers": [1, 2.5, "three"]}

    def restore(self):
        self.kit.write_items(self.original, **self.others)

    def duration(self, program):
        """Median wall time of a whole run of `program` on the full list."""
        times = []
        for _ in range(3):
            self.restore()
            start = time.perf_counter()
            self.assertEqual(self.kit.run(program), EXIT_OK)
            times.append(time.perf_counter() - start)
        return sorted(times)[1]

    def run_and_kill(self, program, delay):
        path = os.path.join(self.kit.prefix, program)
        process = subprocess.Popen([path], env=self.kit.environment(), cwd=self.kit.root,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        time.sleep(delay)
        process.send_signal(signal.SIGKILL)
        return process.wait(timeout=60)

    def check_whole(self, program, label):
        root = self.kit.read_prefs()  # raises when the file does not parse
        items = root.pop(KEY)
        self.assertEqual(root, self.others, label + ": other keys changed")
        self.assertEqual([e for e in items if not is_daemons(e)],
                         [e for e in self.original if not is_daemons(e)],
                         label + ": other items changed")
        stale = [e for e in self.original if is_daemons(e)]
        daemons = [e for e in items if is_daemons(e)]
        # Each removal and the add is one whole change: the stale items left
        # are the last ones of the walk's order (it runs from the end), and
        # the new item comes only after all of them are gone.
        if daemons and daemons[-1] == item(self.daemon) and program == BOOT_LOADER:
            self.assertEqual(daemons, [item(self.daemon)], label)
            self.assertEqual(items[-1], item(self.daemon), label)
        else:
            self.assertEqual(daemons, stale[:len(daemons)], label)
        return len(daemons)

    def kill_rounds(self, program):
        full = self.duration(program)
        outcomes = set()
        for round_ in range(self.ROUNDS):
            self.restore()
            delay = random.uniform(0, full * 1.1)
            status = self.run_and_kill(program, delay)
            label = "%s round %d (killed after %.1f ms, status %d)" % (
                os.path.basename(program), round_, delay * 1000, status)
            outcomes.add(self.check_whole(program, label))
            self.assertLessEqual(len(temporaries(self.kit)), 1,
                                 label + ": new files of killed writers pile up")
        # A run after all the kills finishes the job and leaves no leftovers.
        self.assertEqual(self.kit.run(program), EXIT_OK)
        self.assertEqual(temporaries(self.kit), [])
        return outcomes

    def test_boot_loader_killed_at_random_moments(self):
        self.kill_rounds(BOOT_LOADER)
        self.assertEqual(self.kit.read_items()[-1], item(self.daemon))

    def test_boot_unloader_killed_at_random_moments(self):
        self.kill_rounds(BOOT_UNLOADER)
        self.assertEqual([e for e in self.kit.read_items() if is_daemons(e)], [])


class ConcurrencyTests(unittest.TestCase):

    def test_registration_loops_beside_store_writers_lose_no_reported_change(self):
        kit = Kit(self)
        daemon = kit.add_daemon()
        kept = item("/Applications/Kept.app", hide=True, Note="other software")
        kit.write_items([kept])
        stop = threading.Event()
        codes = {BOOT_LOADER: [], BOOT_UNLOADER: []}

        def loop(program):
            while not stop.is_set():
                codes[program].append(kit.run(program))

        loops = [threading.Thread(target=loop, args=(p,)) for p in codes]
        for t in loops:
            t.start()
        try:
            # Two processes adding distinct items through the store: besides
            # the programs, each races the other between its read and write.
            adders = [subprocess.Popen([ADDER, tag, "200"], env=kit.environment(),
                                       stdout=subprocess.PIPE) for tag in ("one", "two")]
            outputs = [(tag, a.communicate(timeout=100)[0]) for tag, a in
                       zip(("one", "two"), adders)]
            self.assertEqual([a.returncode for a in adders], [0, 0])
        finally:
            stop.set()
            for t in loops:
                t.join()
        reported = {"/opt/adder/%s/%s" % (tag, n) for tag, out in outputs
                    for n in out.decode().split()}
        items = kit.read_items()
        in_file = {e["Path"] for e in items if e["Path"].startswith("/opt/adder/")}
        self.assertEqual(reported - in_file, set(), "an add reported as done was lost")
        self.assertEqual(in_file - reported, set(), "an add reported as failed was written")
        self.assertGreater(len(reported), 0)
        self.assertIn(kept, items)
        for program, results in codes.items():
            self.assertGreater(len(results), 0, program)
            self.assertEqual(set(results), {EXIT_OK}, program)
        self.assertLessEqual(len([e for e in items if is_daemons(e)]), 1)
        # Once the others are done, a run of each program leaves its whole change.
        self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
        self.assertEqual([e for e in kit.read_items() if is_daemons(e)], [item(daemon)])
        self.assertEqual(kit.run(BOOT_UNLOADER), EXIT_OK)
        self.assertEqual([e for e in kit.read_items() if is_daemons(e)], [])


def main():
    global ADDER
    parser = argparse.ArgumentParser()
    parser.add_argument("--stage", required=True)
    parser.add_argument("--adder", required=True)
    args, rest = parser.parse_known_args()
    e2e.STAGE = os.path.abspath(args.stage)
    ADDER = os.path.abspath(args.adder)
    return 0 if unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False).result \
        .wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
