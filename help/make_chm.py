#!/usr/bin/env python3
"""Builds velplay.chm from the help pages.

    make_chm.py SOURCE_DIR OUTPUT.chm [--chmcmd PATH] [--stage DIR]

The pages are kept in UTF-8 for editing. A Japanese help file is read by its
viewers as Shift_JIS (language 0x411), contents and index included, so every
text file is converted to CP932 and its charset declaration changed to match
before the compiler runs. The finished file is renamed into place, so that a
failed run never leaves half a help file behind.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

TEXT_SUFFIXES = (".html", ".htm", ".hhc", ".hhk", ".hhp", ".css")
CHARSET = re.compile(rb"charset=utf-8", re.IGNORECASE)


def project_files(hhp_text):
    """The names listed in the [FILES] section of the project file."""
    files, inside = [], False
    for line in hhp_text.splitlines():
        line = line.strip()
        if line.startswith("["):
            inside = line.upper() == "[FILES]"
        elif inside and line:
            files.append(line)
    return files


def to_cp932(name, text):
    """text as CP932 bytes; names the file and line of a character that has no CP932 form."""
    try:
        return text.encode("cp932")
    except UnicodeEncodeError as e:
        line = text.count("\n", 0, e.start) + 1
        raise SystemExit(f"{name}:{line}: {text[e.start]!r} (U+{ord(text[e.start]):04X}) "
                         "has no Shift_JIS form; use another character")


def stage(source_dir, stage_dir):
    """Copies the project into stage_dir, text files converted to CP932. Returns the file list."""
    with open(os.path.join(source_dir, "velplay.hhp"), encoding="utf-8") as f:
        hhp = f.read()
    names = ["velplay.hhp", "toc.hhc", "index.hhk"] + project_files(hhp)
    for name in names:
        src = os.path.join(source_dir, name)
        dst = os.path.join(stage_dir, name)
        if name.lower().endswith(TEXT_SUFFIXES):
            with open(src, encoding="utf-8") as f:
                data = to_cp932(name, f.read())
            data = CHARSET.sub(b"charset=Shift_JIS", data)
            with open(dst, "wb") as f:
                f.write(data)
        else:
            shutil.copyfile(src, dst)
    return names


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("source_dir")
    ap.add_argument("output")
    ap.add_argument("--chmcmd", default="chmcmd")
    ap.add_argument("--stage", help="keep the converted sources in this folder")
    args = ap.parse_args(argv)

    out_dir = os.path.dirname(os.path.abspath(args.output))
    os.makedirs(out_dir, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        stage_dir = args.stage or tmp
        if args.stage:
            shutil.rmtree(stage_dir, ignore_errors=True)
        os.makedirs(stage_dir, exist_ok=True)
        stage(args.source_dir, stage_dir)
        run = subprocess.run([args.chmcmd, "velplay.hhp"], cwd=stage_dir,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                             errors="replace")
        built = os.path.join(stage_dir, "velplay.chm")
        # chmcmd reports some errors only in its output, so check both.
        if run.returncode != 0 or re.search(r"^\s*Error", run.stdout, re.M) \
                or not os.path.isfile(built) or os.path.getsize(built) == 0:
            sys.stderr.write(run.stdout)
            raise SystemExit(f"make_chm: {args.chmcmd} failed (exit {run.returncode})")
        part = args.output + ".part"
        shutil.copyfile(built, part)
        os.replace(part, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
