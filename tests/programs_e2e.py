#!/usr/bin/env python3
"""End-to-end tests of the three programs on their installed layout.

`programs_e2e.py --cmake CMAKE --build BUILD --stage STAGE install` installs the
build into a prefix below STAGE whose name holds spaces and shell characters.
`programs_e2e.py --stage STAGE [TestClass...]` then runs the tests: each case
copies that installation into a scratch folder of its own (again with spaces
and shell characters in its name), adds a daemon or an application, points
HOME and XDG_CONFIG_HOME at scratch folders, prepares the login item list with
plistlib, runs a program with an argument vector and checks its exit status,
its silence and the list it leaves.
"""

import argparse
import datetime
import fcntl
import os
import plistlib
import shutil
import stat
import subprocess
import sys
import tempfile
import threading
import time
import unittest

# A name that any shell between a program and a path would split or expand.
AWKWARD = "with spaces;touch pwned&|<>$(touch pwned2)`touch pwned3`'q'\"*?"
PREFIX_NAME = "prefix " + AWKWARD
STAGE = None  # set from the command line

BOOT_LOADER = "LumoraBootLoader.app/Contents/MacOS/LumoraBootLoader"
BOOT_UNLOADER = "LumoraBootUnloader.app/Contents/MacOS/LumoraBootUnloader"
LOADER = "LumoraLoader.app/Contents/MacOS/LumoraLoader"
RESOURCES = "LumoraLoader.app/Contents/Resources"

# Exit statuses of the programs (README.md).
EXIT_OK, EXIT_STORE_FAILED, EXIT_ITEM_MISSING, EXIT_PATH_UNUSABLE, EXIT_LAUNCH_FAILED = 0, 1, 2, 3, 4

KEY = "AutoLaunchedApplicationDictionary"


def staged_prefix():
    return os.path.join(STAGE, PREFIX_NAME)


def write_executable(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, 0o755)


def item(path, hide=False, **extra):
    entry = {"Path": path, "Hide": hide}
    entry.update(extra)
    return entry


class Kit:
    """One scratch installation with its own home and preferences."""

    def __init__(self, case, below=""):
        self.root = tempfile.mkdtemp(prefix="lumora-e2e " + AWKWARD)
        case.addCleanup(shutil.rmtree, self.root, True)
        self.prefix = os.path.join(self.root, below, "kit " + AWKWARD) if below else \
            os.path.join(self.root, "kit " + AWKWARD)
        shutil.copytree(staged_prefix(), self.prefix, symlinks=True)
        self.home = os.path.join(self.root, "home")
        self.config = os.path.join(self.root, "config")
        os.makedirs(self.home)
        self.prefs = os.path.join(self.config, "Preferences", "loginwindow.plist")

    def add_daemon(self, name="LumoraDaemon"):
        path = os.path.join(self.prefix, name)
        write_executable(path, "#!/bin/sh\nexit 0\n")
        return path

    def environment(self):
        env = dict(os.environ)
        env["HOME"] = self.home
        env["XDG_CONFIG_HOME"] = self.config
        return env

    def run(self, program, args=()):
        """Runs a program; returns its exit status (negative for a signal)
        after checking that it printed nothing."""
        path = os.path.join(self.prefix, program)
        # Files, not pipes: an application that the launcher starts inherits
        # them and must not keep this call waiting.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run([path, *args], env=self.environment(), cwd=self.root,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=120)
            out.seek(0)
            err.seek(0)
            self.output = out.read() + err.read()
        return done.returncode

    # The login item list.
    def write_prefs(self, root, fmt=plistlib.FMT_XML):
        os.makedirs(os.path.dirname(self.prefs), exist_ok=True)
        with open(self.prefs, "wb") as f:
            f.write(plistlib.dumps(root, fmt=fmt))

    def write_items(self, items, fmt=plistlib.FMT_XML, **other_keys):
        self.write_prefs({KEY: items, **other_keys}, fmt)

    def read_prefs(self):
        with open(self.prefs, "rb") as f:
            return plistlib.load(f)

    def read_items(self):
        return self.read_prefs().get(KEY)

    def append_as_another_program(self, entry):
        """Appends an item the way another well-behaved program would: under
        the list's lock, writing a whole new file."""
        os.makedirs(os.path.dirname(self.prefs), exist_ok=True)
        fd = os.open(self.prefs + ".lock", os.O_RDWR | os.O_CREAT, 0o600)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX)
            root = self.read_prefs() if os.path.exists(self.prefs) else {}
            root.setdefault(KEY, []).append(entry)
            with open(self.prefs + ".other", "wb") as f:
                plistlib.dump(root, f)
            os.replace(self.prefs + ".other", self.prefs)
        finally:
            os.close(fd)

    def run_beside_another_program(self, program, runs, before_each=None):
        """Runs `program` `runs` times (each after `before_each`, when given)
        while another program keeps appending items; returns the exit
        statuses and the items the other appended."""
        stop = threading.Event()
        appended = []

        def other():
            while not stop.is_set():
                entry = item("/opt/other/%d" % len(appended))
                self.append_as_another_program(entry)
                appended.append(entry)
                time.sleep(0.0005)

        thread = threading.Thread(target=other)
        thread.start()
        try:
            codes = []
            for _ in range(runs):
                if before_each is not None:
                    before_each()
                codes.append(self.run(program))
        finally:
            stop.set()
            thread.join()
        return codes, appended

    def prefs_bytes(self):
        try:
            with open(self.prefs, "rb") as f:
                return f.read()
        except (FileNotFoundError, NotADirectoryError):
            return None


# Items written by other software, with keys and value types the store never
# writes itself.
APP_A = item("/Applications/Alpha.app", Kind="Alpha", Count=-(2 ** 40), Ratio=0.1,
             When=datetime.datetime(2020, 2, 29, 12, 30, 5), Blob=b"\x00\xffbytes",
             Nested={"List": [1, "two", True], "Empty": {}})
APP_B = item("/opt/Beta/bin/beta", hide=True, Note="kept as is")

# Items by their path: whether they count as the daemon's.
LOOKALIKES = [
    (item("/usr/local/old/LumoraDaemon"), True, "the daemon in another folder"),
    (item("/opt/x/LumoraDaemon/"), True, "a trailing / gives no empty component"),
    (item("//opt//x//LumoraDaemon//"), True, "runs of / count as one"),
    (item("LumoraDaemon", hide=True), True, "a bare name, hidden"),
    (item("/opt/x/LumoraDaemon.app"), False, "another name: an extension"),
    (item("/opt/x/lumoradaemon"), False, "another name: case"),
    (item("/opt/x/LumoraDaemonX"), False, "another name: longer"),
    (item("/opt/LumoraDaemon/x"), False, "the name is not the last component"),
    ({"Hide": False, "Label": "no path"}, False, "no Path: never removed"),
    (item("/opt/\u00e9/LumoraDaemon"), False, "the store cannot read a non-ASCII path"),
    (item("/" + "d" * 1100 + "/LumoraDaemon"), False, "a path too long for the store"),
]


class BootLoaderTests(unittest.TestCase):

    def test_absent_list_gets_one_item_and_arguments_are_ignored(self):
        for args in ((), ("--help", "-x", "LumoraDaemon")):
            with self.subTest(args=args):
                kit = Kit(self)
                daemon = kit.add_daemon()
                self.assertEqual(kit.run(BOOT_LOADER, args), EXIT_OK)
                self.assertEqual(kit.output, b"")
                self.assertEqual(kit.read_items(), [item(daemon)])

    def test_other_keys_of_the_domain_are_kept(self):
        kit = Kit(self)
        daemon = kit.add_daemon()
        kit.write_prefs({"OtherSetting": "on", "Numbers": [1, 2]})
        self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
        self.assertEqual(kit.read_prefs(),
                         {"OtherSetting": "on", "Numbers": [1, 2], KEY: [item(daemon)]})

    def test_stale_items_replaced_by_one_at_the_end_others_untouched(self):
        kit = Kit(self)
        daemon = kit.add_daemon()
        kit.write_items([APP_A, item("/old/place/LumoraDaemon"), APP_B,
                         item("/other/LumoraDaemon", hide=True)])
        self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
        self.assertEqual(kit.read_items(), [APP_A, APP_B, item(daemon)])
        # A second run finds its own item and replaces it.
        self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
        self.assertEqual(kit.read_items(), [APP_A, APP_B, item(daemon)])

    def test_reads_a_binary_list(self):
        kit = Kit(self)
        daemon = kit.add_daemon()
        kit.write_items([APP_B, item("/old/LumoraDaemon")], fmt=plistlib.FMT_BINARY)
        self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
        self.assertEqual(kit.read_items(), [APP_B, item(daemon)])

    def test_only_items_named_exactly_LumoraDaemon_are_removed(self):
        kit = Kit(self)
        daemon = kit.add_daemon()
        kit.write_items([entry for entry, _, _ in LOOKALIKES])
        self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
        kept = [entry for entry, removed, _ in LOOKALIKES if not removed]
        items = kit.read_items()
        for entry, removed, reason in LOOKALIKES:
            with self.subTest(reason):
                self.assertEqual(entry in items, not removed)
        self.assertEqual(items, kept + [item(daemon)])

    def test_daemon_found_by_its_exact_name_among_lookalikes(self):
        for real_is_folder in (False, True):
            with self.subTest(real_is_folder=real_is_folder):
                kit = Kit(self)
                for name in ("lumoradaemon", "LumoraDaemon ", "LumoraDaemonX", "LumoraDaemo"):
                    kit.add_daemon(name)
                os.makedirs(os.path.join(kit.prefix, "LumoraDaemon.app"))
                real = os.path.join(kit.prefix, "LumoraDaemon")
                if real_is_folder:
                    os.makedirs(real)
                else:
                    kit.add_daemon()
                self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
                self.assertEqual(kit.read_items(), [item(real)])

    def test_changes_of_another_program_meanwhile_are_kept(self):
        kit = Kit(self)
        daemon = kit.add_daemon()
        kit.write_items([APP_B, item("/old/LumoraDaemon")])
        codes, appended = kit.run_beside_another_program(BOOT_LOADER, 15)
        self.assertEqual(codes, [EXIT_OK] * 15)
        items = kit.read_items()
        self.assertEqual([entry for entry in items if entry["Path"].endswith("LumoraDaemon")],
                         [item(daemon)])
        self.assertEqual([entry for entry in items if entry not in appended],
                         [APP_B, item(daemon)])
        self.assertGreater(len(appended), 0)

    def test_failures_give_their_code_and_leave_the_list_as_it_was(self):
        listed = [APP_A, item("/old/LumoraDaemon"), APP_B]

        def no_daemon(kit):
            for name in ("lumoradaemon", "LumoraDaemon.app", "LumoraDaemon "):
                kit.add_daemon(name)
            kit.write_items(listed)

        def daemon_and_list(kit):
            kit.add_daemon()
            kit.write_items(listed)

        def unparsable_file(kit):
            kit.add_daemon()
            os.makedirs(os.path.dirname(kit.prefs), exist_ok=True)
            with open(kit.prefs, "wb") as f:
                f.write(b"<?xml version='1.0'?><plist><array><dict><key>Pa")

        def list_of_wrong_type(kit):
            kit.add_daemon()
            kit.write_prefs({KEY: "not a list"})

        def list_that_cannot_be_written_back(kit):
            # A binary file can hold a control character that an XML file
            # cannot; the store then refuses every change of the list.
            kit.add_daemon()
            kit.write_items([item("/opt/App", Note="bell\x07"), item("/old/LumoraDaemon")],
                            fmt=plistlib.FMT_BINARY)

        def no_preference_folder(kit):
            kit.add_daemon()
            open(kit.config, "w").close()  # a file where the folder would go

        cases = [
            ("no item named LumoraDaemon beside the bundle", None, no_daemon, EXIT_ITEM_MISSING),
            ("the daemon's path is longer than 1,000 bytes",
             os.path.join(*["long folder " + "x" * 200] * 5), daemon_and_list, EXIT_PATH_UNUSABLE),
            ("the daemon's path holds a non-ASCII byte", "Lumor\u00e9 Apps", daemon_and_list,
             EXIT_PATH_UNUSABLE),
            ("the daemon's path holds a control character", "tab\tand\x01", daemon_and_list,
             EXIT_PATH_UNUSABLE),
            ("the preference file cannot be parsed", None, unparsable_file, EXIT_STORE_FAILED),
            ("the stored list is not an array", None, list_of_wrong_type, EXIT_STORE_FAILED),
            ("the store refuses to remove", None, list_that_cannot_be_written_back,
             EXIT_STORE_FAILED),
            ("the list's lock cannot be taken", None, no_preference_folder, EXIT_STORE_FAILED),
        ]
        for reason, below, prepare, code in cases:
            with self.subTest(reason):
                kit = Kit(self, below or "")
                prepare(kit)
                before = kit.prefs_bytes()
                self.assertEqual(kit.run(BOOT_LOADER), code)
                self.assertEqual(kit.output, b"")
                self.assertEqual(kit.prefs_bytes(), before)


class BootUnloaderTests(unittest.TestCase):

    def test_absent_list_stays_absent(self):
        kit = Kit(self)
        self.assertEqual(kit.run(BOOT_UNLOADER, ("ignored",)), EXIT_OK)
        self.assertEqual(kit.output, b"")
        self.assertIsNone(kit.prefs_bytes())

    def test_removes_the_daemons_items_and_keeps_the_rest(self):
        kit = Kit(self)  # no daemon installed: the unloader does not need it
        kit.write_items([APP_A, item("/old/place/LumoraDaemon"), APP_B,
                         item("/other/LumoraDaemon", hide=True)])
        self.assertEqual(kit.run(BOOT_UNLOADER), EXIT_OK)
        self.assertEqual(kit.read_items(), [APP_A, APP_B])

    def test_only_items_named_exactly_LumoraDaemon_are_removed(self):
        kit = Kit(self)
        kit.write_items([entry for entry, _, _ in LOOKALIKES])
        self.assertEqual(kit.run(BOOT_UNLOADER), EXIT_OK)
        self.assertEqual(kit.read_items(), [entry for entry, removed, _ in LOOKALIKES
                                            if not removed])

    def test_undoes_the_boot_loader(self):
        kit = Kit(self)
        kit.add_daemon()
        kit.write_items([APP_B])
        self.assertEqual(kit.run(BOOT_LOADER), EXIT_OK)
        self.assertEqual(kit.run(BOOT_UNLOADER), EXIT_OK)
        self.assertEqual(kit.read_items(), [APP_B])

    def test_changes_of_another_program_meanwhile_are_kept(self):
        kit = Kit(self)
        kit.write_items([APP_B])
        # Before each run, a daemon item for the unloader to remove.
        codes, appended = kit.run_beside_another_program(
            BOOT_UNLOADER, 15, lambda: kit.append_as_another_program(item("/old/LumoraDaemon")))
        self.assertEqual(codes, [EXIT_OK] * 15)
        self.assertEqual([entry for entry in kit.read_items() if entry not in appended],
                         [APP_B])
        self.assertGreater(len(appended), 0)

    def test_failures_give_their_code_and_leave_the_list_as_it_was(self):
        def list_that_cannot_be_written_back(kit):
            kit.write_items([item("/opt/App", Note="bell\x07"), item("/old/LumoraDaemon")],
                            fmt=plistlib.FMT_BINARY)

        def no_preference_folder(kit):
            open(kit.config, "w").close()

        def unparsable_file(kit):
            os.makedirs(os.path.dirname(kit.prefs), exist_ok=True)
            with open(kit.prefs, "wb") as f:
                f.write(b"<?xml version='1.0'?><plist><array><dict><key>Pa")

        def link_at_the_file(kit):
            os.makedirs(os.path.dirname(kit.prefs), exist_ok=True)
            target = os.path.join(kit.root, "elsewhere.plist")
            with open(target, "wb") as f:
                plistlib.dump({KEY: [item("/old/LumoraDaemon")]}, f)
            os.symlink(target, kit.prefs)

        cases = [
            ("the store refuses to remove", list_that_cannot_be_written_back),
            ("the list's lock cannot be taken", no_preference_folder),
            ("the preference file cannot be parsed", unparsable_file),
            ("a link stands where the preference file should be", link_at_the_file),
        ]
        for reason, prepare in cases:
            with self.subTest(reason):
                kit = Kit(self)
                prepare(kit)
                before = kit.prefs_bytes()
                self.assertEqual(kit.run(BOOT_UNLOADER), EXIT_STORE_FAILED)
                self.assertEqual(kit.output, b"")
                self.assertEqual(kit.prefs_bytes(), before)


# The sample application: waits (at most 20 s) for $HOME/release when that
# file is asked for, then appends its own path to $HOME/ran.
APPLICATION = """#!/bin/sh
if [ -e "$HOME/hold" ]; then
    i=0
    while [ ! -e "$HOME/release" ] && [ $i -lt 1000 ]; do i=$((i+1)); sleep 0.02; done
fi
echo "$0" >> "$HOME/ran"
"""


def wait_for(path, seconds=20):
    deadline = time.monotonic() + seconds
    while not os.path.exists(path):
        if time.monotonic() > deadline:
            return False
        time.sleep(0.02)
    return True


class LoaderTests(unittest.TestCase):

    def ran(self, kit):
        ran = os.path.join(kit.home, "ran")
        if not wait_for(ran):
            return None
        time.sleep(0.05)  # the line is written right after the file appears
        with open(ran) as f:
            return f.read().splitlines()

    def test_starts_an_executable_and_returns_before_it_ends(self):
        kit = Kit(self)
        app = os.path.join(kit.prefix, RESOURCES, "Lumora")
        write_executable(app, APPLICATION)
        open(os.path.join(kit.home, "hold"), "w").close()
        self.assertEqual(kit.run(LOADER, ("ignored",)), EXIT_OK)
        self.assertEqual(kit.output, b"")
        self.assertFalse(os.path.exists(os.path.join(kit.home, "ran")),
                         "the launcher waited for the application")
        open(os.path.join(kit.home, "release"), "w").close()
        self.assertEqual(self.ran(kit), [app])

    def test_starts_a_bundle_folder(self):
        cases = [
            ("executable named after the folder", None, "Lumora"),
            ("executable named by Info.plist", {"CFBundleExecutable": "Lumora Main"},
             "Lumora Main"),
        ]
        for reason, info, executable in cases:
            with self.subTest(reason):
                kit = Kit(self)
                bundle = os.path.join(kit.prefix, RESOURCES, "Lumora")
                exe = os.path.join(bundle, "Contents", "MacOS", executable)
                write_executable(exe, APPLICATION)
                if info is not None:
                    with open(os.path.join(bundle, "Contents", "Info.plist"), "wb") as f:
                        plistlib.dump(info, f)
                self.assertEqual(kit.run(LOADER), EXIT_OK)
                self.assertEqual(self.ran(kit), [exe])

    def test_failures_give_their_code(self):
        def no_resources(kit):
            shutil.rmtree(os.path.join(kit.prefix, RESOURCES))

        def only_lookalikes(kit):
            for name in ("lumora", "Lumora.app", "Lumora "):
                write_executable(os.path.join(kit.prefix, RESOURCES, name), APPLICATION)

        def not_executable(kit):
            path = os.path.join(kit.prefix, RESOURCES, "Lumora")
            write_executable(path, APPLICATION)
            os.chmod(path, 0o644)

        def bundle_without_executable(kit):
            os.makedirs(os.path.join(kit.prefix, RESOURCES, "Lumora", "Contents", "MacOS"))

        def not_a_program(kit):
            write_executable(os.path.join(kit.prefix, RESOURCES, "Lumora"), "plain text\n")

        cases = [
            ("no Resources folder", no_resources, EXIT_ITEM_MISSING),
            ("no item named exactly Lumora", only_lookalikes, EXIT_ITEM_MISSING),
            ("an application without execute permission", not_executable, EXIT_LAUNCH_FAILED),
            ("a bundle folder without its executable", bundle_without_executable,
             EXIT_LAUNCH_FAILED),
            ("a file in no executable format", not_a_program, EXIT_LAUNCH_FAILED),
        ]
        for reason, prepare, code in cases:
            with self.subTest(reason):
                kit = Kit(self)
                prepare(kit)
                self.assertEqual(kit.run(LOADER), code)
                self.assertEqual(kit.output, b"")
                time.sleep(0.1)
                self.assertFalse(os.path.exists(os.path.join(kit.home, "ran")))


class LayoutTests(unittest.TestCase):

    def test_installed_bundles(self):
        prefix = staged_prefix()
        for program in (BOOT_LOADER, BOOT_UNLOADER, LOADER):
            with self.subTest(program):
                mode = os.stat(os.path.join(prefix, program)).st_mode
                self.assertTrue(stat.S_ISREG(mode) and mode & stat.S_IXUSR)
        resources = os.path.join(prefix, RESOURCES)
        self.assertTrue(os.path.isdir(resources))
        self.assertEqual(os.listdir(resources), [])

    def test_no_shell_ran_on_the_awkward_names(self):
        # Every test above ran in folders named with shell syntax.
        for folder in (STAGE, os.getcwd()):
            for name in ("pwned", "pwned2", "pwned3"):
                self.assertFalse(os.path.exists(os.path.join(folder, name)), name)


def install(cmake, build):
    prefix = staged_prefix()
    shutil.rmtree(STAGE, ignore_errors=True)
    os.makedirs(STAGE)
    done = subprocess.run([cmake, "--install", build, "--prefix", prefix],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    sys.stdout.write(done.stdout.decode(errors="replace"))
    return done.returncode


def main():
    global STAGE
    parser = argparse.ArgumentParser()
    parser.add_argument("--stage", required=True)
    parser.add_argument("--cmake")
    parser.add_argument("--build")
    args, rest = parser.parse_known_args()
    STAGE = os.path.abspath(args.stage)
    if rest == ["install"]:
        return install(args.cmake, args.build)
    return 0 if unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False).result \
        .wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
