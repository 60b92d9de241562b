#!/usr/bin/env python3
"""scripts/lint.py on a small project of its own, through a series of edits: after each, how many
files it reads, how many it takes from its cache, and whether it fails. A file must be read again
whenever anything its findings depend on changed, and never cached while it has a finding."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

LINT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lint.py")
CLANG_TIDY = shutil.which("clang-tidy")
CLANG = shutil.which("clang++") or "clang++"

TIDY = "Checks: '-*,misc-redundant-expression'\nWarningsAsErrors: '*'\nHeaderFilterRegex: '.*'\n"


def write(root, path, text):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w") as f:
        f.write(text)


def database(root, build, files, flags=None):
    """A compile database in ROOT/build/BUILD naming FILES (paths under ROOT or absolute)."""
    entries = [{"directory": root, "file": os.path.join(root, f),
                "command": f"{CLANG} -std=c++20 -I{root} {(flags or {}).get(f, '')} -c {os.path.join(root, f)}"}
               for f in files]
    write(root, f"build/{build}/compile_commands.json", json.dumps(entries))


# Each step edits the project, then lints it with the given passes (name, build, extra args) and
# expects (files, read, from the cache, exit status); None for a run that must stop before reading.
NATIVE = [("native", "native", [])]
BOTH = NATIVE + [("windows", "windows", ["-DFOR_WINDOWS"])]
STEPS = [
    ("first run reads every file, none from a build folder", lambda r: None, NATIVE, (2, 2, 0, 0)),
    ("unchanged: all from the cache", lambda r: None, NATIVE, (2, 0, 2, 0)),
    ("a finding in a header: every file read again", lambda r: write(r, "lib/a.h", "inline bool same(int x) { return x < 1 || x < 1; }\n"), NATIVE, (2, 2, 0, 1)),
    ("still broken: the file with the finding is read again", lambda r: None, NATIVE, (2, 1, 1, 1)),
    ("header mended as it was: its clean stamps hold", lambda r: write(r, "lib/a.h", "inline bool same(int x) { return x < 1; }\n"), NATIVE, (2, 0, 2, 0)),
    (".clang-tidy changed", lambda r: write(r, ".clang-tidy", TIDY.replace("expression", "expression,bugprone-branch-clone")), NATIVE, (2, 2, 0, 0)),
    ("a nested .clang-tidy added", lambda r: write(r, "src/.clang-tidy", TIDY), NATIVE, (2, 2, 0, 0)),
    ("one file's compile command changed", lambda r: database(r, "native", ["src/one.cpp", "src/two.cpp", "build/gen.cpp"], {"src/two.cpp": "-DTWO"}), NATIVE, (2, 1, 1, 0)),
    ("one file's content changed", lambda r: write(r, "src/two.cpp", "int two() { return 3; }\n"), NATIVE, (2, 1, 1, 0)),
    ("a new header, included by no one", lambda r: write(r, "lib/b.h", "#pragma once\n"), NATIVE, (2, 2, 0, 0)),
    ("a file in a new folder", lambda r: database(r, "native", ["src/one.cpp", "src/two.cpp", "newfolder/three.cpp"], {"src/two.cpp": "-DTWO"}), NATIVE, (3, 1, 2, 0)),
    ("second pass: only its own files and those with a Windows branch", lambda r: database(r, "windows", ["src/one.cpp", "src/win.cpp", "newfolder/three.cpp"]), BOTH, (4, 1, 3, 0)),
    ("a finding only the Windows parse sees", lambda r: write(r, "newfolder/three.cpp", "#ifdef FOR_WINDOWS\nbool three(int x) { return x == x; }\n#endif\n// _WIN32\n"), BOTH, (5, 2, 3, 1)),
    ("a header folder that does not exist", lambda r: write(r, "newfolder/three.cpp", "int three() { return 3; }\n"), [("native", "native", ["-isystem/nonexistent/include"])], None),
]


def lint(root, passes):
    command = [sys.executable, LINT, "--root", root, "--cache", os.path.join(root, "build/lint-cache"),
               "--clang-tidy", CLANG_TIDY, "--jobs", "2"]
    for name, build, args in passes:
        command.append(f"--pass={name}={os.path.join(root, 'build', build)}")
        command += [f"--arg={a}" for a in args]
    return subprocess.run(command, capture_output=True, text=True)


def main():
    if not CLANG_TIDY:
        print("clang-tidy is not installed (Debian package clang-tidy)", file=sys.stderr)
        return 1
    failures = 0
    with tempfile.TemporaryDirectory() as root:
        root = os.path.realpath(root)
        write(root, ".clang-tidy", TIDY)
        write(root, "lib/a.h", "inline bool same(int x) { return x < 1; }\n")
        write(root, "src/one.cpp", '#include "lib/a.h"\nbool one() { return same(1); }\n')
        write(root, "src/two.cpp", "int two() { return 2; }\n")
        write(root, "src/win.cpp", "int win() { return 4; }\n")
        write(root, "newfolder/three.cpp", "int three() { return 3; }\n")
        write(root, "build/gen.cpp", "bool gen(int x) { return x == x; }\n")
        database(root, "native", ["src/one.cpp", "src/two.cpp", "build/gen.cpp"])
        for what, edit, passes, expected in STEPS:
            edit(root)
            result = lint(root, passes)
            counts = re.search(r"lint: (\d+) files, (\d+) linted, (\d+) from the cache", result.stdout)
            if expected is None:
                got_ok = result.returncode == 2 and counts is None and "does not exist" in result.stderr
            else:
                got = counts and (*map(int, counts.groups()), result.returncode)
                got_ok = got == expected
            if not got_ok:
                failures += 1
                print(f"FAILED: {what}: expected {expected}, got status {result.returncode}\n"
                      f"{result.stdout}{result.stderr}", file=sys.stderr)
            else:
                print(f"ok: {what}")
    print(f"lint cache: {len(STEPS) - failures} of {len(STEPS)} steps as expected")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
