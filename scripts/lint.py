#!/usr/bin/env python3
"""Runs clang-tidy over every translation unit of ours in the given compile databases.

Each database is one pass: `--pass NAME=BUILD_DIR` with optional clang arguments after it
(`--arg=...`, given to clang-tidy as -extra-arg). A file is ours when it lies under --root and not
under its build/ folder. The first pass reads all of its files; a later pass only those the earlier
passes did not read, plus those with a _WIN32 branch, which only a Windows parse sees.

A file that was read without a finding leaves a stamp in --cache named by the hash of everything
its findings could depend on: its content, its compile command, the pass's arguments, every
.clang-tidy, the content and the names of every header of ours, clang-tidy's version and the
versions of the packages whose headers it reads. A file whose stamp is there is not read again.
"""

import argparse
import hashlib
import json
import os
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

HEADER_SUFFIXES = (".h", ".hpp", ".inc")
# Packages whose headers our files include; a new version may bring new findings.
HEADER_PACKAGES = ["clang-tidy", "libclang-common-*-dev", "libstdc++-*-dev", "libc6-dev", "googletest",
                   "libcli11-dev", "mingw-w64-*-dev", "g++-mingw-w64-*"]


def fail(message):
    print("lint: " + message, file=sys.stderr)
    sys.exit(2)


def ours(path, root, build):
    return path.startswith(root + os.sep) and not path.startswith(build + os.sep)


def project_state(root, build):
    """Hash of every .clang-tidy and every header of ours, names and contents."""
    digest = hashlib.sha256()
    for folder, dirs, files in os.walk(root):
        dirs[:] = sorted(d for d in dirs if not d.startswith(".") and os.path.join(folder, d) != build)
        for name in sorted(files):
            if name == ".clang-tidy" or name.endswith(HEADER_SUFFIXES):
                path = os.path.join(folder, name)
                digest.update(path.encode() + b"\0")
                with open(path, "rb") as f:
                    digest.update(hashlib.sha256(f.read()).digest())
    return digest.hexdigest()


def tool_state(clang_tidy):
    version = subprocess.run([clang_tidy, "--version"], capture_output=True, text=True).stdout
    packages = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\n"] + HEADER_PACKAGES,
                              capture_output=True, text=True).stdout
    return version + packages


def load_database(build_dir, root, build):
    path = os.path.join(build_dir, "compile_commands.json")
    if not os.path.isfile(path):
        fail(f"{path} is missing: configure {build_dir} first (make native / make windows)")
    with open(path) as f:
        entries = json.load(f)
    units = {}
    for entry in entries:
        file = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
        if ours(file, root, build):
            # A file built by several targets has a command for each, and clang-tidy reads it with each.
            units.setdefault(file, []).append([entry["directory"], entry.get("arguments") or entry.get("command")])
    return {file: json.dumps(commands) for file, commands in units.items()}


def has_windows_branch(path):
    with open(path, "rb") as f:
        return b"_WIN32" in f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--cache", required=True)
    parser.add_argument("--clang-tidy", required=True)
    parser.add_argument("--jobs", type=int, default=os.cpu_count())
    parser.add_argument("--pass", dest="passes", action="append", default=[], required=True,
                        help="NAME=BUILD_DIR, followed by its --arg options")
    parser.add_argument("--arg", dest="args", action="append", default=[])
    options, _ = parser.parse_known_args()

    # Which --arg belongs to which --pass: the order on the command line.
    passes, current = [], None
    argv = sys.argv[1:]
    for i, word in enumerate(argv):
        value = word.split("=", 1)[1] if "=" in word else (argv[i + 1] if i + 1 < len(argv) else "")
        if word.startswith("--pass"):
            name, build_dir = value.split("=", 1)
            current = (name, build_dir, [])
            passes.append(current)
        elif word.startswith("--arg") and current is not None:
            current[2].append(value)

    root = os.path.realpath(options.root)
    build = os.path.join(root, "build")
    if not os.access(options.clang_tidy, os.X_OK):
        fail(f"{options.clang_tidy} is missing: install the Debian package clang-tidy")
    # Every folder a pass was given must be there before any file is read: an empty or missing one
    # would turn every file into a flood of findings about missing headers.
    for name, _, args in passes:
        for arg in args:
            for flag in ("-isystem", "-I"):
                if arg.startswith(flag):
                    folder = arg[len(flag):]
                    if not folder or not os.path.isdir(folder):
                        fail(f"the {name} pass was given the header folder '{folder}', which does not exist")

    state = project_state(root, build) + tool_state(options.clang_tidy)
    os.makedirs(options.cache, exist_ok=True)

    jobs, seen = [], set()
    for index, (name, build_dir, args) in enumerate(passes):
        units = load_database(build_dir, root, build)
        for file in sorted(units):
            if index > 0 and file in seen and not has_windows_branch(file):
                continue
            key = hashlib.sha256()
            for part in (state, name, json.dumps(args), units[file]):
                key.update(part.encode() + b"\0")
            with open(file, "rb") as f:
                key.update(f.read())
            jobs.append((name, build_dir, args, file, key.hexdigest()))
        seen.update(units)

    to_read = [job for job in jobs if not os.path.exists(os.path.join(options.cache, job[4]))]
    cached = len(jobs) - len(to_read)

    def run(job):
        name, build_dir, args, file, key = job
        command = [options.clang_tidy, "-quiet", "-p", build_dir] + [f"-extra-arg={a}" for a in args] + [file]
        result = subprocess.run(command, capture_output=True, text=True)
        output = result.stdout + result.stderr
        clean = result.returncode == 0 and "warning:" not in output and "error:" not in output
        if clean:
            open(os.path.join(options.cache, key), "w").close()
        return name, file, clean, output

    failed = []
    with ThreadPoolExecutor(max_workers=max(1, options.jobs)) as pool:
        for name, file, clean, output in pool.map(run, to_read):
            if not clean:
                failed.append(file)
                findings = [line for line in output.splitlines() if "warning:" in line or "error:" in line]
                print("\n".join(findings or output.splitlines()[-20:]), file=sys.stderr)

    # Stamps of files no longer linted (changed or gone) would only pile up.
    if not failed:
        wanted = {job[4] for job in jobs}
        for stamp in os.listdir(options.cache):
            if stamp not in wanted:
                os.remove(os.path.join(options.cache, stamp))

    print(f"lint: {len(jobs)} files, {len(to_read)} linted, {cached} from the cache (unchanged since a clean lint)")
    if failed:
        print(f"lint: findings in {len(failed)} of them (above)", file=sys.stderr)
        sys.exit(1)
    print("lint: no finding")


if __name__ == "__main__":
    main()
