#!/usr/bin/env python3
"""`make deb` as a user meets it. The package of this build is made, its contents,
dependencies and lint are checked, and it is installed into a private root with a
dpkg database of its own (the system's is never touched). There, with the tree
unwritable for the user, the installed player and fetcher run against the
stand-in: the cover lands in the user's own folder, the player shows it, closing
the player deletes "asin", and nothing is written into the tree.

    tools/with-xvfb test_deb.py BUILD_DIR SOURCE_DIR
Environment: VEL_HAVE_HELP, VEL_HAVE_PNG_ICONS (ON/OFF), VEL_ICON_SIZES (16,22,...),
VEL_DEB_TRIPLET (x86_64-linux-gnu). Exits 77 (skipped) without a private display.
"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

BUILD, SOURCE = (sys.argv[1:3] + ["", ""])[:2]
sys.dont_write_bytecode = True  # keep the source folders clean
sys.path.insert(0, os.path.join(SOURCE, "tests", "demo"))
import test_make_demo as demo  # noqa: E402  (window helpers, the demo cover's colours)
from test_install import HAVE_HELP, HAVE_PNG, IS_ROOT, PROGRAMS, SIZES  # noqa: E402  (the build's options)

TRIPLET = os.environ.get("VEL_DEB_TRIPLET", "")
APP = f"usr/lib/{TRIPLET}/velmora"
# Lintian warnings this package keeps, each with its reason; none so far, so any
# warning fails. (Info tags are printed, not judged.)
KEPT_WARNINGS = {}


def run(*args, **kw):
    kw.setdefault("text", True)
    return subprocess.run(args, capture_output=True, **kw)


def tree(top, skip=()):
    """Every path under top with what a write would change."""
    seen = {}
    for dirpath, dirnames, filenames in os.walk(top):
        dirnames[:] = [d for d in dirnames if os.path.relpath(os.path.join(dirpath, d), top) not in skip]
        for name in dirnames + filenames:
            st = os.lstat(os.path.join(dirpath, name))
            seen[os.path.relpath(os.path.join(dirpath, name), top)] = (st.st_mode, st.st_size, st.st_mtime_ns)
    return seen


def log_of(path):
    with open(path, errors="replace") as f:
        return f.read()


def install(root, deb):
    """dpkg into a private root; its dependencies are the host's, not the root's."""
    admin = os.path.join(root, "var", "lib", "dpkg")
    for d in ("info", "updates"):
        os.makedirs(os.path.join(admin, d), exist_ok=True)
    for f in ("status", "available"):
        open(os.path.join(admin, f), "a").close()
    return dpkg(root, "--install", deb)


def dpkg(root, *args):
    force = ["--force-depends", "--force-script-chrootless"] + ([] if IS_ROOT else ["--force-not-root"])
    return run("dpkg", "--root=" + root, "--log=/dev/null", *force, *args)


class DebPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="veldeb-")
        os.chmod(cls.tmp, 0o755)  # the ordinary user below must reach the private root
        made = run("cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", os.path.join(cls.tmp, "out"))
        debs = glob.glob(os.path.join(cls.tmp, "out", "*.deb"))
        if made.returncode != 0 or len(debs) != 1:
            shutil.rmtree(cls.tmp, True)
            raise RuntimeError("cpack failed: " + made.stdout + made.stderr)
        cls.deb = debs[0]
        print("package %s: %d bytes" % (os.path.basename(cls.deb), os.path.getsize(cls.deb)))
        cls.root = os.path.join(cls.tmp, "root")
        done = install(cls.root, cls.deb)
        if done.returncode != 0:
            shutil.rmtree(cls.tmp, True)
            raise RuntimeError("dpkg --install failed: " + done.stdout + done.stderr)

    @classmethod
    def tearDownClass(cls):
        run("chmod", "-R", "u+w", cls.tmp)
        shutil.rmtree(cls.tmp, True)

    def test_contents_are_exactly_the_expected_files(self):
        listing = run("dpkg-deb", "-c", self.deb).stdout.splitlines()
        entries = {}
        for line in listing:
            perms, owner, _size, _date, _time, path = line.split(None, 5)
            self.assertEqual(owner, "root/root", line)
            entries[path.split(" -> ")[0].lstrip(".")] = (perms, path.split(" -> ")[1] if " -> " in path else None)
        files = {p for p, (perms, _) in entries.items() if not perms.startswith("d")}
        app = "/" + APP
        want = {"/usr/bin/velplay", "/usr/share/applications/velplay.desktop",
                "/usr/share/icons/hicolor/scalable/apps/velplay.svg",
                "/usr/share/metainfo/jp.example.velmora.velplay.metainfo.xml",
                "/usr/share/man/man1/velplay.1.gz", "/usr/share/man/man1/velfetch.1.gz",
                "/usr/share/doc/velmora/copyright", "/usr/share/doc/velmora/changelog.gz"}
        want |= {app + "/" + n for n in PROGRAMS}
        if HAVE_HELP:
            want.add(app + "/velplay.chm")
        if HAVE_PNG:
            want |= {f"/usr/share/icons/hicolor/{s}x{s}/apps/velplay.png" for s in SIZES}
        self.assertEqual(files, want)
        self.assertEqual(entries["/usr/bin/velplay"], ("lrwxrwxrwx", f"../lib/{TRIPLET}/velmora/velplay"))
        for name in ("velplay", "velfetch"):
            self.assertEqual(entries[app + "/" + name][0], "-rwxr-xr-x", name)

    def test_dependencies_cover_every_library_the_programs_load(self):
        depends = run("dpkg-deb", "-f", self.deb, "Depends").stdout
        named = {alt.split()[0] for clause in depends.split(",") for alt in clause.split("|") if alt.strip()}
        cache = {}
        for line in run("ldconfig", "-p").stdout.splitlines()[1:]:
            m = re.match(r"\s*(\S+) \(([^)]*)\) => (\S+)", line)
            if m and ("x86-64" in m.group(2)) == ("x86_64" in TRIPLET):
                cache.setdefault(m.group(1), m.group(3))

        def owner(soname):
            path = cache[soname]
            for p in (path, os.path.realpath(path), re.sub(r"^/lib/", "/usr/lib/", path),
                      re.sub(r"^/usr/lib/", "/lib/", path)):
                found = run("dpkg-query", "-S", p)
                if found.returncode == 0:
                    return found.stdout.split(":")[0]
            self.fail("no package owns " + path)

        app = os.path.join(self.root, APP)
        own = set(os.listdir(app))
        needed = {"libSDL2-2.0.so.0"}  # opened by libvbmp3 when playback starts
        for name in PROGRAMS:
            dyn = run("readelf", "-d", os.path.join(app, name)).stdout
            needed |= set(re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dyn)) - own
            self.assertNotIn("RPATH", dyn, name)
            self.assertNotIn("RUNPATH", dyn, name)
        self.assertGreater(len(needed), 5)
        # A library's package, or one that pulls it in (libtag1v5 for libtag1v5-vanilla).
        reached = set(named)
        for name in named:
            deps = run("dpkg-query", "-W", "-f", "${Depends}", name).stdout
            reached |= {alt.split()[0].split(":")[0] for clause in deps.split(",") for alt in clause.split("|") if alt.strip()}
        for soname in sorted(needed):
            with self.subTest(soname):
                self.assertIn(owner(soname), reached, depends)
        self.assertRegex(depends, r"libsdl2-2\.0-0 \(>= [0-9.]+\)")

    def test_lint_and_metadata_validate(self):
        lint = run("lintian", "--display-info", "--tag-display-limit", "0", self.deb)
        tags = [line.split()[:3] for line in lint.stdout.splitlines() if re.match(r"[EWIXPO]: ", line)]
        counts = {k: sum(1 for t in tags if t[0] == k + ":") for k in "EWI"}
        print("lintian: %d errors, %d warnings, %d info" % (counts["E"], counts["W"], counts["I"]))
        print(lint.stdout.strip())
        self.assertEqual(counts["E"], 0, lint.stdout + lint.stderr)
        self.assertLessEqual({t[2] for t in tags if t[0] == "W:"}, set(KEPT_WARNINGS), lint.stdout)

        share = os.path.join(self.root, "usr", "share")
        checks = [["appstreamcli", "validate", "--no-net", "--pedantic",
                   os.path.join(share, "metainfo", "jp.example.velmora.velplay.metainfo.xml")],
                  ["desktop-file-validate", os.path.join(share, "applications", "velplay.desktop")]]
        for cmd in checks:
            with self.subTest(cmd[0]):
                done = run(*cmd)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
                self.assertNotRegex(done.stdout, r"(?m)^[EW]: ", done.stdout)

    def test_remove_takes_what_root_left_in_the_application_folder(self):
        root = os.path.join(self.tmp, "root2")
        self.assertEqual(install(root, self.deb).returncode, 0)
        admin = os.path.join("var", "lib", "dpkg")
        # root may write into the application folder, so its hand-off files land there.
        for name in ("temp.jpg", "asin", "temp.jpg.a1B2c3"):
            with open(os.path.join(root, APP, name), "wb") as f:
                f.write(b"x")
        done = dpkg(root, "--purge", "velmora")
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual(done.stderr, "")  # no folder left "not empty"
        self.assertFalse(os.path.exists(os.path.join(root, APP)))
        self.assertEqual([p for p in tree(root, {admin}) if not admin.startswith(p)], [])

    def test_installed_programs_hand_off_through_the_users_own_folder(self):
        if not os.environ.get("XVFB_DISPLAY"):
            self.skipTest("needs a private display: run through tools/with-xvfb")
        cover = os.path.join(BUILD, "share", "demo", "velmora-demo-cover.jpg")
        if not os.path.exists(cover) or not all(shutil.which(t) for t in ("xdotool", "import")):
            self.skipTest("needs the demo cover, xdotool and ImageMagick")
        if IS_ROOT and not shutil.which("setpriv"):
            self.skipTest("setpriv is needed to run as an ordinary user")
        user = os.path.join(self.tmp, "user")
        home, rundir = os.path.join(user, "home"), os.path.join(user, "run")
        os.makedirs(home)
        os.makedirs(rundir, 0o700)
        track = os.path.join(user, "velmora-demo.mp3")
        shutil.copy(os.path.join(BUILD, "share", "demo", "velmora-demo.mp3"), track)
        drop = []
        if IS_ROOT:
            # root writes anywhere: the programs run as an ordinary user, as they would.
            run("chown", "-R", "nobody:nogroup", user)
            drop = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"]
        else:
            run("chmod", "-R", "a-w", self.root)
        app = os.path.join(self.root, APP)
        probe = run(*drop, "touch", os.path.join(app, "probe"))
        self.assertNotEqual(probe.returncode, 0, "the install tree is writable for the user")
        before = tree(self.root)

        standin = subprocess.Popen(
            [os.path.join(BUILD, "tools", "velstandin"), "--port", "0", "--engine-link", "",
             "--album", "B0VELMORA1|ベルモラ楽団|Velmora デモ|朝の散歩|" + cover, "--log", os.path.join(self.tmp, "standin.log"),
             "--watch-pid", str(os.getpid()), "--max-seconds", "120"], stdout=subprocess.PIPE, text=True)
        self.addCleanup(standin.stdout.close)
        self.addCleanup(standin.wait)
        self.addCleanup(standin.terminate)
        proxy = "http://127.0.0.1:" + standin.stdout.readline().split()[1]
        env = {"PATH": os.environ["PATH"], "HOME": home, "XDG_RUNTIME_DIR": rundir, "LANG": "C.UTF-8",
               "DISPLAY": os.environ["XVFB_DISPLAY"], "QT_QPA_PLATFORM": "xcb", "SDL_AUDIODRIVER": "dummy",
               "http_proxy": proxy, "https_proxy": proxy}
        handoff = os.path.join(rundir, "velmora")

        player_log = os.path.join(self.tmp, "player.log")
        with open(player_log, "w") as log:
            player = subprocess.Popen(drop + [os.path.join(self.root, "usr", "bin", "velplay"), track], env=env,
                                      stdout=log, stderr=subprocess.STDOUT)
        self.addCleanup(lambda: player.poll() is None and (player.kill(), player.wait()))
        tool_env = dict(os.environ, DISPLAY=env["DISPLAY"])
        window, origin = demo.find_window(tool_env, demo.CAPTION)
        self.assertTrue(window, "no player window; it said: " + log_of(player_log))
        self.assertTrue(demo.wait_for(lambda: demo.shows_cover(demo.cover_colours(tool_env, origin))),
                        "the cover did not appear")
        with open(os.path.join(handoff, "temp.jpg"), "rb") as got, open(cover, "rb") as want:
            self.assertEqual(got.read(), want.read())
        with open(os.path.join(handoff, "asin"), "rb") as f:
            self.assertEqual(f.read(), b"B0VELMORA1")
        st = os.stat(handoff)
        self.assertEqual((st.st_mode & 0o777, st.st_uid), (0o700, os.stat(home).st_uid))

        demo.close_window(env["DISPLAY"], int(window))
        self.assertEqual(player.wait(timeout=10), 0)
        self.assertEqual(sorted(os.listdir(handoff)), ["temp.jpg"])

        # Without a runtime folder the hand-off goes to the cache folder.
        cache_env = {k: v for k, v in env.items() if k != "XDG_RUNTIME_DIR"}
        fetched = subprocess.run(drop + [os.path.join(app, "velfetch"), '"%s"' % track], env=cache_env, timeout=60)
        self.assertEqual(fetched.returncode, 0)
        cached = os.path.join(home, ".cache", "velmora")
        self.assertEqual(sorted(os.listdir(cached)), ["asin", "temp.jpg"])
        self.assertEqual(os.stat(cached).st_mode & 0o777, 0o700)

        self.assertEqual(tree(self.root), before, "something was written into the install tree")


if __name__ == "__main__":
    for tool in ("cpack", "dpkg", "dpkg-deb", "lintian", "readelf", "appstreamcli", "desktop-file-validate"):
        if not shutil.which(tool):
            print("SKIP: %s is not installed" % tool)
            sys.exit(77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
