#!/usr/bin/env python3
"""The Debian package, as scripts/package builds it.

`package_test.py --source SRC --out DIR --version X.Y.Z` runs SRC/scripts/package
into DIR, then reads the .deb with dpkg-deb and checks its control fields, its
configuration files, its checksums and every member of its file tree: where it
lies, its owner and its permissions.
"""

import argparse
import glob
import hashlib
import io
import os
import re
import stat
import subprocess
import sys
import tarfile
import unittest

ARGS = None
DEB = None

PREFIX = "opt/lumora"
ENTRY = "etc/xdg/autostart/loginwindow-start.desktop"
PROGRAMS = [
    PREFIX + "/LumoraBootLoader.app/Contents/MacOS/LumoraBootLoader",
    PREFIX + "/LumoraBootUnloader.app/Contents/MacOS/LumoraBootUnloader",
    PREFIX + "/LumoraLoader.app/Contents/MacOS/LumoraLoader",
    PREFIX + "/loginitems",
    PREFIX + "/libexec/loginwindow-start",
]


def dpkg_deb(*args):
    return subprocess.run(["dpkg-deb", *args], check=True, stdout=subprocess.PIPE).stdout


def members():
    data = dpkg_deb("--fsys-tarfile", DEB)
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        return {m.name[2:] if m.name.startswith("./") else m.name: (m, tar.extractfile(m).read()
                                                                   if m.isfile() else None)
                for m in tar.getmembers()}


class PackageTests(unittest.TestCase):

    def test_control_fields(self):
        field = lambda name: dpkg_deb("-f", DEB, name).decode().strip()
        arch = subprocess.run(["dpkg", "--print-architecture"], check=True,
                              stdout=subprocess.PIPE).stdout.decode().strip()
        self.assertEqual(field("Package"), "lumora-kit")
        self.assertEqual(field("Version"), ARGS.version + "-1")
        self.assertEqual(field("Architecture"), arch)
        self.assertRegex(field("Maintainer"), r"^[^<>]+ <[^<>@\s]+@[^<>@\s]+>$")
        self.assertEqual(field("Section"), "utils")
        self.assertEqual(field("Priority"), "optional")
        description = field("Description").splitlines()
        self.assertTrue(description[0] and len(description[0]) <= 80, description)
        self.assertGreater(len(description), 1, "a long description follows the summary")
        for line in description[1:]:
            self.assertTrue(line.startswith(" ") and not line.startswith("  "), line)
        depends = [d.strip().split(" ")[0] for d in field("Depends").split(",")]
        for needed in ("libpugixml1v5", "libc6", "libstdc++6"):
            self.assertIn(needed, depends)

    def test_files_owners_and_permissions(self):
        tree = members()
        files = sorted(name for name, (m, _) in tree.items() if not m.isdir())
        self.assertEqual(files, sorted(PROGRAMS + [ENTRY]))
        self.assertIn(PREFIX + "/LumoraLoader.app/Contents/Resources/", [
            name if name.endswith("/") else name + "/" for name, (m, _) in tree.items()
            if m.isdir()])
        for name, (m, _) in tree.items():
            with self.subTest(name):
                self.assertFalse(re.match(r"^(home|root|tmp|usr/local|var)(/|$)", name), name)
                self.assertEqual((m.uid, m.gid, m.uname, m.gname), (0, 0, "root", "root"))
                mode = stat.S_IMODE(m.mode)
                if m.isdir() or name in PROGRAMS:
                    self.assertEqual(mode, 0o755, oct(mode))
                else:
                    self.assertTrue(m.isfile(), "no links or special files")
                    self.assertEqual(mode, 0o644, oct(mode))

    def test_checksums_and_configuration_files(self):
        tree = members()
        control = os.path.join(ARGS.out, "control-test")
        subprocess.run(["rm", "-rf", control], check=True)
        dpkg_deb("-e", DEB, control)
        with open(os.path.join(control, "conffiles")) as f:
            self.assertEqual(f.read().split(), ["/" + ENTRY])
        sums = {}
        with open(os.path.join(control, "md5sums")) as f:
            for line in f:
                digest, name = line.rstrip("\n").split("  ", 1)
                sums[name] = digest
        self.assertEqual(sorted(sums), sorted(PROGRAMS + [ENTRY]))
        for name, digest in sums.items():
            self.assertEqual(hashlib.md5(tree[name][1]).hexdigest(), digest, name)

    def test_autostart_entry_starts_the_installed_starter(self):
        text = members()[ENTRY][1].decode()
        lines = text.splitlines()
        self.assertEqual(lines[0], "[Desktop Entry]")
        keys = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
        self.assertEqual(keys["Exec"], '"/%s/libexec/loginwindow-start"' % PREFIX)
        self.assertEqual(keys["TryExec"], "/%s/libexec/loginwindow-start" % PREFIX)
        self.assertEqual((keys["Type"], keys["NoDisplay"]), ("Application", "true"))


def main():
    global ARGS, DEB
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--version", required=True)
    ARGS, rest = parser.parse_known_args()
    built = subprocess.run([os.path.join(ARGS.source, "scripts", "package"), ARGS.out],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = built.stdout.decode(errors="replace")
    if built.returncode != 0:
        sys.stdout.write(output)
        return 1
    debs = glob.glob(os.path.join(ARGS.out, "*.deb"))
    if len(debs) != 1:
        print("expected one .deb in %s, found %r" % (ARGS.out, debs))
        return 1
    DEB = debs[0]
    return 0 if unittest.main(argv=[sys.argv[0], "-v", *rest], exit=False).result \
        .wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
