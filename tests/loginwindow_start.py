#!/usr/bin/env python3
"""Tests of loginwindow-start on prepared preference files.

`loginwindow_start.py --program PATH [TestClass...]` runs the starter built at
PATH. Every case gets a scratch root (named with spaces and shell characters)
holding the current user's preferences (XDG_CONFIG_HOME), the all-users
preferences (XDG_CONFIG_DIRS) and the items to start: small scripts that
append one line to a marker file saying how they were started, among others
whether LOGIN_ITEM_HIDDEN was set. The lists are written with plistlib.

`loginwindow_start.py --cmake CMAKE --build BUILD --stage STAGE AutostartEntryTests`
installs the build below STAGE and checks the installed autostart entry.
"""

import argparse
import os
import plistlib
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

AWKWARD = "with spaces;touch pwned&|<>$(touch pwned2)`touch pwned3`'q'\"*?"
KEY = "AutoLaunchedApplicationDictionary"
PROGRAM = None  # set from the command line
ARGS = None

EXIT_OK, EXIT_LIST_UNREADABLE, EXIT_USAGE = 0, 1, 2


def host_id():
    try:
        with open("/etc/machine-id") as f:
            line = f.readline().rstrip("\n")
            if line:
                return line
    except OSError:
        pass
    return socket.gethostname()


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def item(path, hide=False, **extra):
    entry = {"Path": path, "Hide": hide}
    entry.update(extra)
    return entry


class Session:
    """A scratch root with both preference folders, items and markers."""

    def __init__(self, case):
        self.root = tempfile.mkdtemp(prefix="lumora-login " + AWKWARD)
        case.addCleanup(shutil.rmtree, self.root, True)
        self.home = os.path.join(self.root, "home")
        self.config = os.path.join(self.root, "config")
        self.system = os.path.join(self.root, "system")
        self.markers = os.path.join(self.root, "markers")
        for folder in (self.home, self.markers):
            os.makedirs(folder)
        self.user_file = os.path.join(self.config, "Preferences", "loginwindow.plist")
        self.system_file = os.path.join(self.system, "Preferences", "ByHost",
                                        "loginwindow.%s.plist" % host_id())

    def write_list(self, path, items, binary=False):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            plistlib.dump({KEY: items, "OtherKey": 1}, f,
                          fmt=plistlib.FMT_BINARY if binary else plistlib.FMT_XML)

    def user_list(self, items, binary=False):
        self.write_list(self.user_file, items, binary)

    def system_list(self, items, binary=False):
        self.write_list(self.system_file, items, binary)

    def script(self, name, folder=None):
        """An executable item that records each start in markers/<name>."""
        path = os.path.join(folder or self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        marker = os.path.join(self.markers, os.path.basename(name))
        with open(path, "w") as f:
            f.write("#!/bin/sh\n"
                    "printf 'hidden=%%s args=%%s sid=%%s\\n' \"${LOGIN_ITEM_HIDDEN-unset}\" \"$#\" "
                    "\"$(sed 's/.*) //' /proc/$$/stat | cut -d' ' -f4)\" >>'%s'\n"
                    % marker.replace("'", "'\\''"))
        os.chmod(path, 0o755)
        return path

    def bundle(self, name, executable=None):
        """A bundle folder whose executable records its starts."""
        folder = os.path.join(self.root, name)
        exe = executable or (name[:-4] if name.endswith(".app") else name)
        self.script(exe, os.path.join(folder, "Contents", "MacOS"))
        if executable:
            with open(os.path.join(folder, "Contents", "Info.plist"), "wb") as f:
                plistlib.dump({"CFBundleExecutable": executable}, f)
        return folder

    def environment(self, **extra):
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update(HOME=self.home, XDG_CONFIG_HOME=self.config, XDG_CONFIG_DIRS=self.system)
        env.pop("JOURNAL_STREAM", None)
        env.update(extra)
        return env

    def run(self, *args, **extra_env):
        done = subprocess.run([PROGRAM, *args], cwd=self.root, env=self.environment(**extra_env),
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=60)
        return done.returncode, done.stdout.decode(), done.stderr.decode().splitlines()

    def marker(self, name, wait=True):
        """The lines item `name` recorded; waits for the first when `wait`."""
        path = os.path.join(self.markers, name)
        deadline = time.monotonic() + (10 if wait else 0)
        while True:
            if os.path.exists(path):
                with open(path) as f:
                    text = f.read()
                if text.endswith("\n"):
                    return text.splitlines()
            if time.monotonic() >= deadline:
                return []
            time.sleep(0.02)


def messages(lines):
    """The report lines without their "loginwindow-start[PID]: " prefix."""
    out = []
    for line in lines:
        head, sep, rest = line.partition("]: ")
        assert sep and head.startswith("loginwindow-start["), line
        out.append(rest)
    return out


class StartTests(unittest.TestCase):

    def test_both_lists_start_in_order_and_only_hidden_items_get_the_flag(self):
        s = Session(self)
        a, b = s.script("A " + AWKWARD), s.script("B")
        c, d = s.script("C"), s.bundle("D.app", executable="D-main")
        s.user_list([item(a), item(b, hide=True)])
        s.system_list([item(c, hide=True), item(d)], binary=True)
        # The starter's own environment has the flag: it must not leak into
        # items that are not hidden.
        status, out, err = s.run(LOGIN_ITEM_HIDDEN="1")
        self.assertEqual(status, EXIT_OK, err)
        self.assertEqual(out, "")
        started = [m for m in messages(err) if m.startswith("started ")]
        self.assertEqual([m.split(" as process ")[0] for m in started],
                         ["started " + p for p in (a, b, c, d)], err)
        self.assertTrue(started[1].endswith(", hidden") and started[2].endswith(", hidden"))
        self.assertEqual(len(err), 4, err)
        for name, hidden in (("A " + AWKWARD, "unset"), ("B", "1"), ("C", "1"), ("D-main", "unset")):
            with self.subTest(name):
                lines = s.marker(name)
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith("hidden=%s args=0 " % hidden), lines)
        # Started in sessions of their own, never through a shell.
        sid = s.marker("B")[0].split("sid=")[1]
        self.assertNotEqual(sid, str(os.getsid(0)))
        for name in ("pwned", "pwned2", "pwned3"):
            self.assertFalse(os.path.exists(os.path.join(s.root, name)), name)

    def test_a_path_listed_more_than_once_starts_once(self):
        s = Session(self)
        a, b = s.script("A"), s.script("B")
        s.user_list([item(a), item(b), item(a, hide=True)])
        s.system_list([item(b), item(a)])
        status, _, err = s.run()
        self.assertEqual(status, EXIT_OK, err)
        reports = messages(err)
        self.assertEqual(sum(m.startswith("started ") for m in reports), 2, err)
        self.assertEqual(sum("listed before" in m for m in reports), 3, err)
        # The first listing of A, not hidden, is the one started.
        lines = s.marker("A")
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].startswith("hidden=unset "), lines)
        self.assertEqual(len(s.marker("B")), 1)

    def test_every_unusable_item_is_skipped_with_its_reason_and_the_rest_start(self):
        s = Session(self)
        plain = os.path.join(s.root, "not executable")
        with open(plain, "w") as f:
            f.write("data\n")
        empty_bundle = os.path.join(s.root, "Empty.app")
        os.makedirs(os.path.join(empty_bundle, "Contents", "MacOS"))
        escaping = s.bundle("Escape.app")
        with open(os.path.join(escaping, "Contents", "Info.plist"), "wb") as f:
            plistlib.dump({"CFBundleExecutable": "../../../Escape"}, f)
        last = s.script("Last")
        cases = [  # (record, reason in the report, why)
            ({"Hide": False}, 'no "Path"', "a record without a path"),
            (item(42), '"Path" is not a string', "a path of another type"),
            ("/bin/true", "not a login item record", "an element that is not a record"),
            (item("/tmp/caf\u00e9"), "path is not ASCII", "a character outside ASCII"),
            (item("/bin/tr\x00ue"), "path holds a NUL character", "U+0000 cuts a C path"),
            (item("bin/true"), "path is not absolute", "a relative path"),
            (item(""), "path is not absolute", "an empty path"),
            (item("/" + "x" * 5000), "path is longer than", "more than the kernel takes"),
            (item(os.path.join(s.root, "missing")), "not found", "nothing at the path"),
            (item(plain), "not launchable", "a file without execute permission"),
            (item(empty_bundle), "not found", "a bundle without its executable"),
            (item(escaping), "not found", "a bundle naming an executable outside itself"),
        ]
        s.user_list([c[0] for c in cases] + [item(last, hide=42)], binary=True)
        status, out, err = s.run()
        self.assertEqual(status, EXIT_OK, err)
        reports = messages(err)
        self.assertEqual(len(reports), len(cases) + 1, err)
        for (record, reason, why), report in zip(cases, reports):
            with self.subTest(why):
                self.assertTrue(report.startswith("skipped "), report)
                self.assertIn(reason, report)
                self.assertNotIn("\x00", report)
        self.assertIn("caf\\xC3\\xA9", reports[3], "non-ASCII bytes are shown escaped")
        # A "Hide" that is not a boolean does not hide.
        self.assertTrue(reports[-1].startswith("started " + last), reports[-1])
        self.assertFalse(reports[-1].endswith("hidden"))
        self.assertEqual(len(s.marker("Last")), 1)

    def test_dry_run_prints_what_would_start_and_starts_nothing(self):
        s = Session(self)
        a, b, d = s.script("A"), s.script("B"), s.bundle("D.app")
        line_break = s.script("line\nbreak")
        s.user_list([item(a), item("relative"), item(b, hide=True), item(line_break)])
        s.system_list([item(d), item(a)])
        status, out, err = s.run("--dry-run")
        self.assertEqual(status, EXIT_OK, err)
        self.assertEqual(out.splitlines(), [a, b, os.path.join(s.root, "line\\x0Abreak"), d])
        reports = messages(err)
        self.assertEqual(len(reports), 2, err)
        self.assertIn("path is not absolute", reports[0])
        self.assertIn("listed before", reports[1])
        time.sleep(0.3)
        for name in ("A", "B", "D", "line\nbreak"):
            self.assertEqual(s.marker(name, wait=False), [], name)

    def test_missing_files_are_empty_lists(self):
        s = Session(self)
        for args in ((), ("--dry-run",)):
            status, out, err = s.run(*args)
            self.assertEqual((status, out, err), (EXIT_OK, "", []), args)

    def test_an_unreadable_list_is_reported_and_the_other_still_starts(self):
        cases = [  # (which list is broken, bytes or value, why)
            ("user", b"<?xml version='1.0'?><plist><dict><key>", "a truncated file"),
            ("user", b"\x00\x01garbage", "bytes no reader accepts"),
            ("system", b"bplist00\xff\xff", "a damaged binary file"),
            ("user", {KEY: {"Path": "/bin/true"}}, "a value that is not a list"),
            ("system", [1, 2], "a root that is not a dictionary"),
        ]
        for broken, content, why in cases:
            with self.subTest(why):
                s = Session(self)
                good = s.script("Good")
                healthy = s.system_list if broken == "user" else s.user_list
                healthy([item(good)])
                target = s.user_file if broken == "user" else s.system_file
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as f:
                    if isinstance(content, bytes):
                        f.write(content)
                    else:
                        plistlib.dump(content, f)
                before = read_bytes(target)
                status, _, err = s.run()
                self.assertEqual(status, EXIT_LIST_UNREADABLE, err)
                reports = messages(err)
                self.assertEqual(len(reports), 2, err)
                unreadable = [m for m in reports if m.startswith("cannot read ")]
                self.assertEqual(len(unreadable), 1, err)
                self.assertIn("current user" if broken == "user" else "all users",
                              unreadable[0])
                self.assertEqual(len(s.marker("Good")), 1)
                self.assertEqual(read_bytes(target), before, "never rewritten")

    def test_journal_stream_gets_priority_prefixes(self):
        s = Session(self)
        a = s.script("A")
        s.user_list([item(a), item("relative")])
        with tempfile.TemporaryFile() as stream:
            info = os.fstat(stream.fileno())
            env = s.environment(JOURNAL_STREAM="%d:%d" % (info.st_dev, info.st_ino))
            status = subprocess.run([PROGRAM], env=env, stderr=stream, stdout=subprocess.DEVNULL,
                                    timeout=60).returncode
            stream.seek(0)
            lines = stream.read().decode().splitlines()
        self.assertEqual(status, EXIT_OK)
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(lines[0].startswith("<6>started " + a), lines)
        self.assertTrue(lines[1].startswith("<4>skipped "), lines)
        self.assertEqual(len(s.marker("A")), 1)

    def test_help_and_usage_errors(self):
        s = Session(self)
        status, out, err = s.run("--help")
        self.assertEqual((status, err), (EXIT_OK, []))
        self.assertIn("--dry-run", out)
        self.assertIn("LOGIN_ITEM_HIDDEN=1", out)
        status, out, err = s.run("--bogus")
        self.assertEqual((status, out), (EXIT_USAGE, ""))
        self.assertIn("usage:", "\n".join(err))


def parse_desktop_entry(path):
    """The keys of the [Desktop Entry] group, values with string escapes undone."""
    keys, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line
                continue
            if group == "[Desktop Entry]":
                key, _, value = line.partition("=")
                out, i = "", 0
                while i < len(value):
                    if value[i] == "\\" and i + 1 < len(value):
                        out += {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(
                            value[i + 1], "\\" + value[i + 1])
                        i += 2
                    else:
                        out += value[i]
                        i += 1
                keys[key.strip()] = out
    return keys


def split_exec(value):
    """The arguments of an Exec value: quoting undone, %% made %."""
    args, current, i, quoted, started = [], "", 0, False, False
    while i < len(value):
        c = value[i]
        if quoted:
            if c == "\\" and i + 1 < len(value) and value[i + 1] in "\"`$\\":
                current += value[i + 1]
                i += 1
            elif c == '"':
                quoted = False
            else:
                current += c
        elif c == '"':
            quoted = started = True
        elif c == " ":
            if started:
                args.append(current)
            current, started = "", False
        else:
            assert c not in "\t\n'\\><~|&;$*?#()`", "reserved character outside quotes: " + c
            current += c
            started = True
        i += 1
    assert not quoted, "unterminated quote"
    if started:
        args.append(current)
    return [a.replace("%%", "%") for a in args]


class AutostartEntryTests(unittest.TestCase):
    """The entry the install step writes, for a prefix with awkward characters."""

    @classmethod
    def setUpClass(cls):
        cls.stage = tempfile.mkdtemp(prefix="lumora-autostart")
        cls.prefix = os.path.join(cls.stage, "kit 100% " + AWKWARD)
        done = subprocess.run([ARGS.cmake, "--install", ARGS.build, "--prefix", cls.prefix],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        assert done.returncode == 0, done.stdout.decode(errors="replace")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.stage, True)

    def test_entry_starts_the_installed_program_once_per_session(self):
        entry = os.path.join(self.prefix, "etc", "xdg", "autostart", "loginwindow-start.desktop")
        keys = parse_desktop_entry(entry)
        self.assertEqual(keys.get("Type"), "Application")
        self.assertTrue(keys.get("Name"))
        self.assertEqual(keys.get("NoDisplay"), "true")
        # Keys with which desktops or systemd's generator would not run it.
        for key in ("Hidden", "X-systemd-skip", "OnlyShowIn", "NotShowIn",
                    "X-GNOME-Autostart-enabled", "X-GNOME-Autostart-Phase", "AutostartCondition",
                    "X-KDE-autostart-condition"):
            self.assertNotIn(key, keys)
        program = os.path.join(self.prefix, "libexec", "loginwindow-start")
        self.assertEqual(split_exec(keys["Exec"]), [program])
        self.assertEqual(keys.get("TryExec"), program)
        # The program named there runs (nothing to start in an empty root).
        root = tempfile.mkdtemp(prefix="lumora-autostart-run")
        self.addCleanup(shutil.rmtree, root, True)
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(root, "c"),
                   XDG_CONFIG_DIRS=os.path.join(root, "s"), HOME=root)
        done = subprocess.run(split_exec(keys["Exec"]) + ["--dry-run"], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual((done.returncode, done.stdout, done.stderr), (0, b"", b""))
        for name in ("pwned", "pwned2", "pwned3"):
            self.assertFalse(os.path.exists(os.path.join(self.stage, name)), name)

    def test_systemd_generator_makes_a_unit_of_it(self):
        # systemd's generator looks for the executable before it undoes "%%",
        # so this prefix holds no "%" (the install step warns about one).
        generator = "/usr/lib/systemd/user-generators/systemd-xdg-autostart-generator"
        if not os.access(generator, os.X_OK):
            self.skipTest("systemd's autostart generator is not installed")
        prefix = os.path.join(self.stage, "kit " + AWKWARD)
        done = subprocess.run([ARGS.cmake, "--install", ARGS.build, "--prefix", prefix],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.assertEqual(done.returncode, 0, done.stdout.decode(errors="replace"))
        out = tempfile.mkdtemp(prefix="lumora-generator")
        self.addCleanup(shutil.rmtree, out, True)
        env = dict(os.environ, XDG_CONFIG_DIRS=os.path.join(prefix, "etc", "xdg"),
                   XDG_CONFIG_HOME=os.path.join(out, "none"))
        subprocess.run([generator, out, out, out], env=env, check=True, timeout=60)
        units = [n for n in os.listdir(out) if n.startswith("app-loginwindow")]
        self.assertEqual(len(units), 1, os.listdir(out))
        with open(os.path.join(out, units[0])) as f:
            self.assertIn("SourcePath=" + os.path.join(prefix, "etc", "xdg", "autostart"),
                          f.read())

    def test_exec_quoting_round_trips(self):
        # The reader above against hand-checked values of the standard's rules.
        cases = [  # (Exec value after string escapes, arguments, why)
            ('"/a b/c"', ["/a b/c"], "a space needs quotes"),
            ('"/a\\$b\\"c\\`d\\\\e"', ["/a$b\"c`d\\e"], "escapes inside quotes"),
            ('/usr/bin/x "%%u" y', ["/usr/bin/x", "%u", "y"], "a literal percent sign"),
        ]
        for value, args, why in cases:
            self.assertEqual(split_exec(value), args, why)


def main():
    global PROGRAM, ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--program")
    parser.add_argument("--cmake")
    parser.add_argument("--build")
    ARGS, rest = parser.parse_known_args()
    PROGRAM = ARGS.program and os.path.abspath(ARGS.program)
    return 0 if unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False).result \
        .wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
