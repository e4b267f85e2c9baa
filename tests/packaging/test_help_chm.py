#!/usr/bin/env python3
"""Checks the built help file: it lists every page of the project, each page comes
out as the Shift_JIS form of its source, and every local link points into the file.
Also checks how the builder fails.

    test_help_chm.py velplay.chm HELP_SOURCE_DIR CHMLS
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest

CHM, SOURCE, CHMLS = (sys.argv[1:4] + ["", "", ""])[:3]
sys.dont_write_bytecode = True  # keep the source folders clean
sys.path.insert(0, SOURCE)
import make_chm  # noqa: E402


def chm_names(path):
    out = subprocess.run([CHMLS, "-n", "list", path], stdout=subprocess.PIPE, check=True,
                         text=True, errors="replace").stdout
    return {line.strip().lstrip("/") for line in out.splitlines() if line.strip().startswith("/")}


def chm_extract(path, name, dest):
    subprocess.run([CHMLS, "extract", path, "/" + name, dest], stdout=subprocess.DEVNULL,
                   check=True)
    with open(dest, "rb") as f:
        return f.read()


class BuiltHelp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(SOURCE, "velplay.hhp"), encoding="utf-8") as f:
            cls.pages = make_chm.project_files(f.read())
        cls.names = chm_names(CHM)
        cls.tmp = tempfile.TemporaryDirectory()
        cls.stage = os.path.join(cls.tmp.name, "stage")
        os.makedirs(cls.stage)
        make_chm.stage(SOURCE, cls.stage)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_lists_every_page_and_the_contents_and_index(self):
        self.assertIn("index.html", self.pages)
        for name in self.pages + ["toc.hhc", "index.hhk"]:
            with self.subTest(name):
                self.assertIn(name, self.names)

    def test_every_page_reads_back_as_its_shift_jis_source(self):
        for name in self.pages:
            with self.subTest(name):
                got = chm_extract(CHM, name, os.path.join(self.tmp.name, "x"))
                with open(os.path.join(self.stage, name), "rb") as f:
                    self.assertEqual(got, f.read())
                if name.endswith(".html"):
                    self.assertIn(b"charset=Shift_JIS", got)
                    self.assertRegex(got.decode("cp932"), "[\u3040-\u30ff]", "Japanese text")

    def test_local_links_point_to_pages_in_the_file(self):
        link = re.compile(r'(?:href|value)="([^"#:]+\.(?:html|css))"', re.I)
        for name in self.pages + ["toc.hhc", "index.hhk"]:
            if not name.endswith((".html", ".hhc", ".hhk")):
                continue
            with open(os.path.join(SOURCE, name), encoding="utf-8") as f:
                targets = link.findall(f.read())
            for target in targets:
                with self.subTest(page=name, link=target):
                    self.assertIn(target, self.names)

    def test_pages_in_the_project_match_the_pages_in_the_folder(self):
        on_disk = {n for n in os.listdir(SOURCE) if n.endswith((".html", ".css"))}
        self.assertEqual(on_disk, set(self.pages))


class Builder(unittest.TestCase):
    def make_project(self, root, page_text):
        os.makedirs(root)
        with open(os.path.join(root, "velplay.hhp"), "w", encoding="utf-8") as f:
            f.write("[OPTIONS]\nCompiled file=velplay.chm\nContents file=toc.hhc\n"
                    "Index file=index.hhk\nDefault topic=index.html\n"
                    "Language=0x411 Japanese\nTitle=テスト\n\n[FILES]\nindex.html\n")
        for name, text in (("toc.hhc", "<HTML><BODY></BODY></HTML>\n"),
                           ("index.hhk", "<HTML><BODY></BODY></HTML>\n"),
                           ("index.html", page_text)):
            with open(os.path.join(root, name), "w", encoding="utf-8") as f:
                f.write(text)

    def test_a_character_without_shift_jis_form_names_file_and_line(self):
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.join(tmp, "src")
            self.make_project(src, "<p>ok</p>\n<p>カフェ café</p>\n")
            out = os.path.join(tmp, "velplay.chm")
            with self.assertRaises(SystemExit) as cm:
                make_chm.main([src, out])
            self.assertIn("index.html:2", str(cm.exception))
            self.assertFalse(os.path.exists(out))

    def test_a_failing_compiler_leaves_the_old_file_untouched(self):
        with tempfile.TemporaryDirectory() as tmp:
            src = os.path.join(tmp, "src")
            self.make_project(src, "<p>ページ</p>\n")
            out = os.path.join(tmp, "velplay.chm")
            with open(out, "wb") as f:
                f.write(b"old")
            with self.assertRaises(SystemExit):
                make_chm.main([src, out, "--chmcmd", "false"])
            with open(out, "rb") as f:
                self.assertEqual(f.read(), b"old")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
