#!/usr/bin/env python3
"""kvx as users get it: installed into a DESTDIR (and removed again), its manual page, the Windows
zips' read-me and manual, its bash completion, and its Debian package. What the program has is read
from its own help here, independently of scripts/kvx-docs.py, so that a subcommand, option or value
that reaches no document fails.

  kvx_install_test.py BUILD VERSION   BUILD: a native build with kvx and kvx_docs made"""

import os
import re
import runpy
import shutil
import subprocess
import sys
import tempfile
import types
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BUILD = VERSION = None
SAMPLE = os.path.join(ROOT, "examples", "sample.kvx")
CATEGORIES = os.path.join(ROOT, "examples", "Category.txt")


def run(*args, **kwargs):
    return subprocess.run(list(args), capture_output=True, text=True, **kwargs)


def kvx_help(kvx, *args):
    result = run(kvx, *args, "--help")
    assert result.returncode == 0, result.stderr
    return result.stdout


def section(text, name):
    """The entry lines of one section of CLI11's help ("Options:", "Subcommands:")."""
    lines = text.split(f"\n{name}:\n", 1)[1].split("\n\n", 1)[0].splitlines() if f"\n{name}:\n" in text else []
    return [line for line in lines if re.match(r"  \S", line)]


class Program:
    """Subcommands, each one's long options, and the values an option takes, from kvx's help."""

    def __init__(self, kvx):
        self.commands = [line.split()[0] for line in section(kvx_help(kvx), "Subcommands")]
        self.options = {}
        self.values = {}
        for command in self.commands:
            entries = section(kvx_help(kvx, command), "Options")
            heads = [line.strip().split("  ")[0] for line in entries]
            self.options[command] = sorted({re.search(r"--[a-z][a-z-]*", head).group(0) for head in heads})
            for head in heads:
                values = re.search(r"\{([^}]*)\}", head)
                if values:
                    name = re.search(r"--[a-z][a-z-]*", head).group(0)
                    self.values[(command, name)] = sorted(values.group(1).split(","))


def complete(script, words, cwd=None):
    """What the completion offers for the words, the last being completed, as bash gives it."""
    program = (
        f"source '{script}'\n"
        "function=$(complete -p kvx | sed -n 's/.*-F \\([^ ]*\\) .*/\\1/p')\n"
        "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1))\n"
        "COMP_LINE=\"$*\"; COMP_POINT=${#COMP_LINE}\n"
        "\"$function\" kvx \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\"\n"
        "printf '%s\\n' \"${COMPREPLY[@]}\"\n"
    )
    result = run("bash", "-c", program, "bash", *words, cwd=cwd)
    assert result.returncode == 0, result.stderr
    return sorted(line for line in result.stdout.splitlines() if line)


class InstalledKvx(unittest.TestCase):
    def test_install_runs_and_uninstall_removes_exactly_its_files(self):
        with tempfile.TemporaryDirectory() as destdir:
            # Files of other programs in the same folders must stay.
            others = ["usr/bin/other", "usr/share/man/man1/other.1", "usr/share/bash-completion/completions/other"]
            for path in others:
                os.makedirs(os.path.dirname(os.path.join(destdir, path)), exist_ok=True)
                open(os.path.join(destdir, path), "w").close()
            script = os.path.join(ROOT, "scripts", "install-kvx.sh")
            result = run(script, "install", destdir, "/usr", BUILD)
            self.assertEqual(result.returncode, 0, result.stderr)
            installed = sorted(os.path.relpath(os.path.join(d, f), destdir)
                               for d, _, files in os.walk(destdir) for f in files)
            self.assertEqual(installed, sorted(others + ["usr/bin/kvx", "usr/share/man/man1/kvx.1",
                                                         "usr/share/bash-completion/completions/kvx"]))
            kvx = os.path.join(destdir, "usr", "bin", "kvx")
            self.assertTrue(os.access(kvx, os.X_OK))
            self.assertEqual(run(kvx, "--version").stdout.strip(), f"kvx {VERSION}")
            checked = run(kvx, "check", SAMPLE, "--categories", CATEGORIES)
            self.assertEqual(checked.returncode, 0, checked.stderr)
            # The installed completion is a working one.
            self.assertEqual(complete(os.path.join(destdir, "usr/share/bash-completion/completions/kvx"), ["kvx", "ex"]),
                             ["export"])

            result = run(script, "uninstall", destdir, "/usr")
            self.assertEqual(result.returncode, 0, result.stderr)
            left = sorted(os.path.relpath(os.path.join(d, f), destdir) for d, _, files in os.walk(destdir) for f in files)
            self.assertEqual(left, sorted(others))

    def test_the_zips_and_the_package_carry_the_version_kvx_prints(self):
        made = run("make", "-s", "--no-print-directory", "version", cwd=ROOT)
        self.assertEqual(made.stdout.strip(), VERSION, made.stderr)
        self.assertEqual(run(os.path.join(BUILD, "kvx", "kvx"), "--version").stdout.strip(), f"kvx {VERSION}")


class Documents(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = Program(os.path.join(BUILD, "kvx", "kvx"))
        assert cls.program.commands, "kvx --help lists no subcommands"

    def test_manual_page_has_every_subcommand_option_and_section(self):
        page = os.path.join(BUILD, "kvx", "kvx.1")
        with open(page, encoding="utf-8") as f:
            text = f.read()
        for name in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "COMMANDS", "EXIT STATUS", "FILES", "EXAMPLES"):
            self.assertIn(f"\n.SH {name}\n", text)
        # Each subcommand's part runs from its heading to the next.
        parts = re.split(r'\n\.S[SH] ', text)
        for command in self.program.commands:
            part = next((p for p in parts if p.startswith(f'"kvx {command} ')), None)
            self.assertIsNotNone(part, f"kvx.1 has no part for {command}")
            for option in self.program.options[command]:
                self.assertTrue(option.replace("-", "\\-") in part, f"kvx.1 does not name {command} {option}")
            for (owner, option), values in self.program.values.items():
                if owner == command:
                    for value in values:
                        self.assertTrue(value in part, f"kvx.1 does not name {command} {option} {value}")
        # groff reads it without a complaint.
        rendered = run("man", "--warnings", "-l", page, env={**os.environ, "MANWIDTH": "80", "MAN_KEEP_FORMATTING": ""})
        self.assertEqual(rendered.returncode, 0, rendered.stderr)
        self.assertEqual(rendered.stderr, "")

    def test_windows_readme_and_manual_name_every_subcommand_and_option(self):
        docs = load_docs_tool()
        program = docs.Program(os.path.join(BUILD, "kvx", "kvx"))
        with tempfile.TemporaryDirectory() as out:
            result = run(os.path.join(ROOT, "scripts", "make-dist.sh"), "--documents", out, VERSION, BUILD)
            self.assertEqual(result.returncode, 0, result.stderr)
            texts = {}
            for name in ("ReadMe.txt", "kvx.txt"):
                with open(os.path.join(out, name), "rb") as f:
                    data = f.read()
                # Notepad on any Windows: every line ends in CR LF.
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), name)
                texts[name] = data.decode("utf-8")
        readme_words = set(re.findall(r"[a-z]+", texts["ReadMe.txt"]))
        for command in self.program.commands:
            self.assertIn(command, readme_words, f"ReadMe.txt does not name {command}")
            self.assertIn(f"kvx.exe {command} ", texts["kvx.txt"])
            for option in self.program.options[command]:
                self.assertIn(option, texts["kvx.txt"])
        # Every example a Windows user may copy is one the program takes.
        examples = [line.strip() for text in texts.values() for line in text.splitlines()
                    if re.match(r"\s+kvx\.exe [a-z]", line) and " --help" not in line]
        self.assertGreater(len(examples), 5)
        for line in examples:
            docs.check_example(line.replace("kvx.exe", "kvx", 1), program, "the Windows documents")


class Prose(unittest.TestCase):
    """The manual's prose may name only what the program has: anything else stops the documents."""

    def test_examples_and_sections_the_program_lacks(self):
        with open(os.path.join(ROOT, "docs", "kvx-manual.txt"), encoding="utf-8") as f:
            prose = f.read()
        cases = [
            ("$ kvx frobnicate list.kvx", "no subcommand"),
            ("$ kvx check list.kvx --by name", "no option --by"),
            ("$ kvx export list.kvx --format xml -o x", "not xml"),
            ("$ kvx export list.kvx --format=xml -o x", "not xml"),
            ("$ kvx order a.kvx --like b.kvx --copy names,colours", "not colours"),
            ("$ kvx sort list.kvx --by", "wants a value"),
            ("$ vessaly list.kvx", "does not start with"),
        ]
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "manual.txt")
            out = os.path.join(folder, "kvx.1")
            for line, why in cases + [("== COMMAND frobnicate\nText.", "no subcommand frobnicate")]:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(prose + "\n" + line + "\n")
                result = run(sys.executable, os.path.join(ROOT, "scripts", "kvx-docs.py"), "man",
                             os.path.join(BUILD, "kvx", "kvx"), path, out)
                self.assertEqual(result.returncode, 1, line)
                self.assertIn(why, result.stderr, line)
                self.assertFalse(os.path.exists(out), line)


class Completion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.program = Program(os.path.join(BUILD, "kvx", "kvx"))
        cls.script = os.path.join(BUILD, "kvx", "kvx.bash-completion")

    def test_subcommands_options_and_values(self):
        self.assertEqual(complete(self.script, ["kvx", ""]), sorted(self.program.commands))
        for command in self.program.commands:
            offered = complete(self.script, ["kvx", command, "--"])
            self.assertEqual(offered, self.program.options[command], command)
        self.assertTrue(self.program.values)
        for (command, option), values in self.program.values.items():
            self.assertEqual(complete(self.script, ["kvx", command, "list.kvx", option, ""]), values, option)
            # --option=value arrives as the option, "=" and the value.
            self.assertEqual(complete(self.script, ["kvx", command, option, "=", values[0][:1]]),
                             [v for v in values if v.startswith(values[0][:1])])

    def test_several_values_after_a_comma(self):
        listed = [(c, o, v) for (c, o), v in self.program.values.items() if (c, o) == ("order", "--copy")]
        self.assertEqual(len(listed), 1, "kvx order --copy takes a list of values")
        command, option, values = listed[0]
        self.assertEqual(complete(self.script, ["kvx", command, "l.kvx", option, f"{values[0]},"]),
                         [f"{values[0]},{v}" for v in values])

    def test_file_names_elsewhere(self):
        with tempfile.TemporaryDirectory() as folder:
            for name in ("alpha.kvx", "alpha list.csv", "beta.kvx"):
                open(os.path.join(folder, name), "w").close()
            os.mkdir(os.path.join(folder, "alpha settings"))
            expected = ["alpha list.csv", "alpha settings", "alpha.kvx"]
            self.assertEqual(complete(self.script, ["kvx", "check", "al"], cwd=folder), expected)
            self.assertEqual(complete(self.script, ["kvx", "order", "beta.kvx", "--like", "al"], cwd=folder), expected)
            self.assertEqual(complete(self.script, ["kvx", "export", "beta.kvx", "-o", "al"], cwd=folder), expected)
            # A number is no file name.
            self.assertEqual(complete(self.script, ["kvx", "export", "beta.kvx", "--codepage", ""], cwd=folder), [])


class PackageLists(unittest.TestCase):
    def test_every_purpose_is_within_what_make_test_installs(self):
        def listed(*purpose):
            result = run(os.path.join(ROOT, "scripts", "install-deps.sh"), "--list", *purpose)
            self.assertEqual(result.returncode, 0, result.stderr)
            return set(result.stdout.split())

        everything = listed("test")
        runs32 = "wine32:i386" in everything
        self.assertEqual(listed("kvx") - listed("deb"), set())
        for purpose in (["run", "i686"], ["run", "x86_64"], ["kvx"], ["deb"]):
            wanted = listed(*purpose)
            self.assertTrue(wanted, purpose)
            if not runs32:  # the tests build the 32-bit program here, but run nothing 32-bit
                wanted = {p for p in wanted if not p.endswith(":i386")}
            self.assertEqual(wanted - everything, set(), purpose)
        self.assertLess(len(listed("run", "i686")), len(everything))


class Package(unittest.TestCase):
    def test_deb_passes_lintian_and_its_kvx_runs(self):
        with tempfile.TemporaryDirectory() as out:
            # make-deb.sh fails on a lintian error or a packaged kvx that does not run.
            result = run(os.path.join(ROOT, "scripts", "make-deb.sh"), BUILD, out)
            self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            arch = run("dpkg", "--print-architecture").stdout.strip()
            deb = os.path.join(out, f"kvx_{VERSION}_{arch}.deb")
            listing = run("dpkg-deb", "-c", deb)
            self.assertEqual(listing.returncode, 0, listing.stderr)
            files = sorted(line.split()[-1] for line in listing.stdout.splitlines() if line.startswith("-"))
            self.assertEqual(files, ["./usr/bin/kvx", "./usr/share/bash-completion/completions/kvx",
                                     "./usr/share/doc/kvx/changelog.gz", "./usr/share/doc/kvx/copyright",
                                     "./usr/share/man/man1/kvx.1.gz"])
            # The test build is linked against shared libraries: their packages are named.
            depends = run("dpkg-deb", "-f", deb, "Depends").stdout
            self.assertIn("libc6", depends)


def load_docs_tool():
    sys.dont_write_bytecode = True  # no cache of it in the source tree
    return types.SimpleNamespace(**runpy.run_path(os.path.join(ROOT, "scripts", "kvx-docs.py"), run_name="kvx_docs"))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        sys.exit(2)
    BUILD, VERSION = os.path.abspath(sys.argv[1]), sys.argv[2]
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
