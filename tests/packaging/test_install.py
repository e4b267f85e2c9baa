#!/usr/bin/env python3
"""Installs the build for a temporary user, checks what lands where, uninstalls and
checks that the folders are exactly as before.

    test_install.py BUILD_DIR SOURCE_DIR
Environment: VEL_HAVE_HELP, VEL_HAVE_PNG_ICONS (ON/OFF), VEL_ICON_SIZES (16,22,...).
"""

import filecmp
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

BUILD, SOURCE = (sys.argv[1:3] + ["", ""])[:2]
HAVE_HELP = os.environ.get("VEL_HAVE_HELP", "OFF").upper() in ("ON", "1", "TRUE", "YES")
HAVE_PNG = os.environ.get("VEL_HAVE_PNG_ICONS", "OFF").upper() in ("ON", "1", "TRUE", "YES")
SIZES = [int(s) for s in os.environ.get("VEL_ICON_SIZES", "").split(",") if s]
IS_ROOT = os.geteuid() == 0
PROGRAMS = ("velplay", "velfetch", "libvbmp3.so", "libvbmp3tags.so", "libvelpictures.so")


def snapshot(top):
    """Every path under top with its kind, so that two states can be compared."""
    seen = set()
    for dirpath, dirnames, filenames in os.walk(top):
        for d in dirnames:
            seen.add(("dir", os.path.relpath(os.path.join(dirpath, d), top)))
        for f in filenames:
            seen.add(("file", os.path.relpath(os.path.join(dirpath, f), top)))
    return seen


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


class UserInstall(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="velinstall-")
        os.chmod(self.tmp, 0o755)
        # A home with a space and a quote in its name tests the launcher's quoting.
        self.home = os.path.join(self.tmp, "home dir", "it's")
        os.makedirs(self.home)
        self.env = {k: v for k, v in os.environ.items() if k not in ("XDG_DATA_HOME", "DESTDIR")}
        self.env["HOME"] = self.home
        self.prefix = os.path.join(self.home, ".local")

    def tearDown(self):
        subprocess.run(["chmod", "-R", "u+w", self.tmp])
        shutil.rmtree(self.tmp, ignore_errors=True)

    def cmake(self, args, env, check):
        run = subprocess.run(["cmake"] + args, env=env or self.env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True)
        if check:
            self.assertEqual(run.returncode, 0, run.stdout)
        return run

    def install(self, prefix=None, env=None, check=True):
        return self.cmake(["--install", BUILD, "--prefix", prefix or self.prefix], env, check)

    def uninstall(self, prefix=None, env=None, check=True):
        return self.cmake(["-DCMAKE_INSTALL_PREFIX=" + (prefix or self.prefix), "-P",
                           os.path.join(SOURCE, "cmake", "UserUninstall.cmake")], env, check)

    def expected_files(self, data):
        app, icons = os.path.join(data, "velmora"), os.path.join(data, "icons", "hicolor")
        names = PROGRAMS + (".install-manifest",) + (("velplay.chm",) if HAVE_HELP else ())
        files = {os.path.join(app, n) for n in names}
        files |= {os.path.join(self.prefix, "bin", "velplay"), os.path.join(data, "applications", "velplay.desktop"),
                  os.path.join(icons, "scalable", "apps", "velplay.svg")}
        return files | {os.path.join(icons, f"{s}x{s}", "apps", "velplay.png") for s in (SIZES if HAVE_PNG else [])}

    def installed_files(self):
        return {os.path.join(self.tmp, p) for kind, p in snapshot(self.tmp) if kind == "file"}

    def test_default_layout_launcher_and_clean_uninstall(self):
        # Files of other programs in the shared folders must survive the uninstall.
        data = os.path.join(self.prefix, "share")
        os.makedirs(os.path.join(data, "applications"))
        with open(os.path.join(data, "applications", "other.desktop"), "w") as f:
            f.write("[Desktop Entry]\n")
        before = snapshot(self.tmp)

        out = self.install().stdout
        app = os.path.join(data, "velmora")
        other = {os.path.join(data, "applications", "other.desktop")}
        self.assertEqual(self.installed_files() - other, self.expected_files(data))
        for name in PROGRAMS:
            with self.subTest(name):
                self.assertTrue(filecmp.cmp(os.path.join(BUILD, "bin", name),
                                            os.path.join(app, name), shallow=False))
                if not name.endswith(".so"):
                    self.assertTrue(os.access(os.path.join(app, name), os.X_OK))
        self.assertIn("not on your PATH", out)

        for s in SIZES if HAVE_PNG else []:
            with self.subTest(icon=s):
                png = os.path.join(data, "icons", "hicolor", f"{s}x{s}", "apps", "velplay.png")
                self.assertEqual(png_size(png), (s, s))

        desktop = os.path.join(data, "applications", "velplay.desktop")
        if shutil.which("desktop-file-validate"):
            v = subprocess.run(["desktop-file-validate", desktop], stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True)
            self.assertEqual(v.returncode, 0, v.stdout)
        with open(desktop, encoding="utf-8") as f:
            keys = dict(line.strip().split("=", 1) for line in f if "=" in line)
        # The entry must name what install put on PATH and into the icon theme.
        self.assertEqual(keys["Exec"].split()[0], "velplay")
        self.assertTrue(os.access(os.path.join(self.prefix, "bin", keys["Exec"].split()[0]),
                                  os.X_OK))
        self.assertTrue(os.path.exists(os.path.join(
            data, "icons", "hicolor", "scalable", "apps", keys["Icon"] + ".svg")))

        # The launcher runs the program of the application folder with the arguments
        # unchanged; a stand-in program reports what it got.
        with open(os.path.join(app, "velplay"), "w") as f:
            f.write('#!/bin/sh\nprintf "%s\\n" "$0" "$@"\n')
        got = subprocess.run([os.path.join(self.prefix, "bin", "velplay"),
                              "/music/a b.mp3", "it's \"x\".mp3"],
                             stdout=subprocess.PIPE, text=True, check=True).stdout
        self.assertEqual(got.splitlines(),
                         [os.path.join(app, "velplay"), "/music/a b.mp3", "it's \"x\".mp3"])

        # The programs' own hand-off files go with the install.
        for name in ("temp.jpg", "asin"):
            with open(os.path.join(app, name), "wb") as f:
                f.write(b"x")
        self.uninstall()
        self.assertEqual(snapshot(self.tmp), before)

    def test_xdg_data_home_holds_the_application_folder(self):
        before = snapshot(self.tmp)
        env = dict(self.env, XDG_DATA_HOME=os.path.join(self.tmp, "xdg data"))
        self.install(env=env)
        data = env["XDG_DATA_HOME"]
        self.assertEqual(self.installed_files(), self.expected_files(data))
        with open(os.path.join(self.prefix, "bin", "velplay")) as f:
            self.assertIn(os.path.join(data, "velmora"), f.read())
        self.uninstall(env=env)
        self.assertEqual(snapshot(self.tmp), before)

    def test_reinstall_then_uninstall_leaves_nothing(self):
        before = snapshot(self.tmp)
        self.install()
        first = snapshot(self.tmp)
        self.install()
        self.assertEqual(snapshot(self.tmp), first)
        self.uninstall()
        self.assertEqual(snapshot(self.tmp), before)

    def test_uninstall_without_install_changes_nothing(self):
        before = snapshot(self.tmp)
        out = self.uninstall().stdout
        self.assertIn("nothing to remove", out)
        self.assertEqual(snapshot(self.tmp), before)

    def test_uninstall_touches_nothing_outside_the_install(self):
        self.install()
        victim = os.path.join(self.tmp, "precious.txt")
        with open(victim, "w") as f:
            f.write("keep")
        manifest = os.path.join(self.prefix, "share", "velmora", ".install-manifest")
        with open(manifest, "a") as f:
            f.write("file\t" + victim + "\n")
        run = self.uninstall(check=False)
        self.assertNotEqual(run.returncode, 0)
        self.assertTrue(os.path.exists(victim))
        self.assertTrue(os.path.exists(os.path.join(self.prefix, "bin", "velplay")))

    @unittest.skipUnless(IS_ROOT, "root's own checks")
    def test_root_is_refused_outside_its_home(self):
        cases = [
            ("system-wide prefix", os.path.join(self.tmp, "usr"), None, "system-wide"),
            ("another user's home", None, "nobody", "another user"),
        ]
        for name, prefix, owner, says in cases:
            with self.subTest(name):
                if owner:
                    shutil.chown(self.home, user=owner)
                before = snapshot(self.tmp)
                run = self.install(prefix=prefix, check=False)
                self.assertNotEqual(run.returncode, 0)
                self.assertIn("install refused", run.stdout)
                self.assertIn(says, run.stdout)
                self.assertIn("writable", run.stdout)
                self.assertEqual(snapshot(self.tmp), before)

    def test_read_only_folder_is_refused(self):
        locked = os.path.join(self.tmp, "locked")
        os.makedirs(locked)
        os.chmod(locked, 0o555)
        os.chmod(self.home, 0o777)
        os.chmod(os.path.dirname(self.home), 0o755)
        env = dict(self.env, XDG_DATA_HOME=os.path.join(locked, "share"))
        cmd = ["cmake", "--install", BUILD, "--prefix", self.prefix]
        if IS_ROOT:
            # root can write anywhere; ask as an ordinary user.
            if not shutil.which("setpriv"):
                self.skipTest("setpriv is needed to drop root")
            drop = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
            # The ordinary user must be able to read the build tree (a private
            # temporary clone is not readable to others).
            probe = subprocess.run(drop + ["test", "-r", os.path.join(BUILD, "cmake_install.cmake")])
            if probe.returncode != 0:
                self.skipTest("the build tree is not readable to an ordinary user")
            cmd = drop + cmd
        before = snapshot(self.tmp)
        run = subprocess.run(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                             text=True)
        self.assertNotEqual(run.returncode, 0)
        self.assertIn("read-only", run.stdout)
        self.assertEqual(snapshot(self.tmp), before)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
