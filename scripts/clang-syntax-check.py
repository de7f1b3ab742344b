#!/usr/bin/env python3
"""Checks that the sources the fuzz build is most likely to trip on still compile with clang.

The program is built with GCC; the fuzz programs (scripts/fuzz.sh) with clang and the same
standard library. Constant initialisation (constinit) depends on what of the standard library
each compiler can evaluate at compile time, so a file that GCC takes may stop the fuzz build.
This compiles every source that uses constinit, and the fuzz targets, with clang++ -fsyntax-only
and the flags of the build's compile_commands.json: a few seconds, no objects written.

    scripts/clang-syntax-check.py [build folder]     # default: build

Exits 0 when all compile (or when clang++ is not installed: then it says so and checks
nothing), 1 when one does not, 2 when the build folder has no compile_commands.json.
"""
import concurrent.futures
import json
import os
import shlex
import shutil
import subprocess
import sys

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build")
clang = shutil.which("clang++")
if not clang:
    print("clang-syntax-check: clang++ is not installed; the clang check is skipped "
          "(scripts/setup.sh --fuzz installs it)")
    sys.exit(0)
database = os.path.join(build, "compile_commands.json")
if not os.path.exists(database):
    print(f"clang-syntax-check: {database} is missing; build first", file=sys.stderr)
    sys.exit(2)


def wanted(path):
    relative = os.path.relpath(path, root)
    if relative.startswith("fuzz" + os.sep):
        return True
    try:
        with open(path, encoding="utf-8", errors="replace") as source:
            return "constinit" in source.read()
    except OSError:
        return False


def clang_command(entry):
    words = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    # Leave out the launcher (ccache) and the compiler, the output and the compile-only flag.
    while words and not words[0].startswith("-"):
        words = words[1:]
    kept = []
    skip = False
    for word in words:
        if skip:
            skip = False
            continue
        if word in ("-o", "-c", "-MF", "-MT", "-MQ"):
            skip = word != "-c"
            continue
        if word in ("-MD", "-MMD") or word == entry["file"]:
            continue
        kept.append(word)
    return [clang, "-fsyntax-only", "-Wno-unknown-warning-option"] + kept + [entry["file"]]


def check(entry):
    run = subprocess.run(clang_command(entry), cwd=entry["directory"], capture_output=True,
                         text=True)
    return entry["file"], run.returncode, run.stderr


with open(database) as f:
    entries = [e for e in json.load(f) if wanted(e["file"])]
seen = set()
unique = []
for entry in entries:
    if entry["file"] not in seen:
        seen.add(entry["file"])
        unique.append(entry)
if not unique:
    print("clang-syntax-check: no sources to check", file=sys.stderr)
    sys.exit(1)

failed = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
    for path, code, errors in pool.map(check, unique):
        if code != 0:
            failed += 1
            print(f"clang-syntax-check: {os.path.relpath(path, root)} does not compile with "
                  f"clang:\n{errors}", file=sys.stderr)
print(f"clang-syntax-check: {len(unique) - failed} of {len(unique)} sources compile with clang")
sys.exit(1 if failed else 0)
