#!/usr/bin/env python3
"""kvx's documents, made from the program's own help and the prose of docs/kvx-manual.txt, so that a
subcommand or option never reaches users without them:

  kvx-docs.py man KVX PROSE OUT          the manual page kvx(1)
  kvx-docs.py text KVX PROSE OUT         the manual as plain text for Windows: kvx.exe, CRLF line ends
  kvx-docs.py completion KVX PROSE OUT   the bash completion
  kvx-docs.py commands KVX               the subcommands as a phrase: "check, export, ... and dupes"
  kvx-docs.py package-description PROSE  the manual's first paragraph as a Debian package's long
                                         description

KVX is the built program; its "--help" and "SUBCOMMAND --help" are read. An example in the prose that
names a subcommand, option or value the program does not have stops the documents from being made."""

import os
import re
import shlex
import subprocess
import sys
import textwrap

# Sections of the manual page in their order; the first four must be in the prose.
PROSE_SECTIONS = ["DESCRIPTION", "EXIT STATUS", "FILES", "EXAMPLES", "SEE ALSO"]
REQUIRED_SECTIONS = PROSE_SECTIONS[:4]


class DocsError(Exception):
    pass


# ---------------------------------------------------------------------------------------------
# The program's help (CLI11's layout: a description line, "Usage: ...", then sections such as
# "Options:" whose entries start two spaces in, their text after a gap or on the lines below).


class Option:
    def __init__(self, left, text):
        first, _, rest = left.partition(" ")
        self.names = first.split(",")
        rest = rest.strip()
        self.text = text
        kind = re.match(r"[A-Z]+", rest)
        self.kind = kind.group(0) if kind else ""  # TEXT, INT, ...; empty for a flag
        values = re.search(r"\{([^}]*)\}", rest)
        self.values = values.group(1).split(",") if values else []
        span = re.search(r"in \[(\S+) - (\S+)\]", rest)
        self.range = span.groups() if span else None
        self.required = re.search(r"\bREQUIRED\b", rest) is not None
        self.repeated = re.search(r"(^|\s)\.\.\.(\s|$)", rest) is not None
        needs = re.search(r"Needs: (\S+)", rest)
        self.needs = needs.group(1) if needs else None
        excludes = re.search(r"Excludes: (\S+)", rest)
        self.excludes = excludes.group(1) if excludes else None

    @property
    def takes_value(self):
        return bool(self.kind)


class Positional:
    def __init__(self, left, text):
        self.name, _, rest = left.partition(" ")
        self.text = text
        self.required = "REQUIRED" in rest.split()


class Help:
    """One help text: its description, usage and entries by section."""

    def __init__(self, text):
        lines = text.splitlines()
        self.description = ""
        self.usage = ""
        self.sections = {}
        section = None
        entry = None
        for line in lines:
            if not line.strip():
                entry = None
                continue
            if line.startswith("Usage: "):
                self.usage = line[len("Usage: "):].strip()
            elif re.fullmatch(r"[A-Z][A-Za-z ]*:", line):
                section = line[:-1]
                self.sections[section] = []
                entry = None
            elif section is None:
                if not self.usage:
                    self.description = (self.description + " " + line.strip()).strip()
            elif re.match(r"  \S", line):
                left, _, text = re.sub(r"^  ", "", line).partition("  ")
                entry = [left.strip(), text.strip()]
                self.sections[section].append(entry)
            elif entry is not None:
                entry[1] = (entry[1] + " " + line.strip()).strip()

    def entries(self, section):
        return self.sections.get(section, [])


def run_help(kvx, *args):
    result = subprocess.run([kvx, *args, "--help"], capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout.strip():
        raise DocsError(f"{kvx} {' '.join(args)} --help failed: {result.stderr.strip()}")
    return result.stdout


def run_version(kvx):
    result = subprocess.run([kvx, "--version"], capture_output=True, text=True)
    if result.returncode != 0:
        raise DocsError(f"{kvx} --version failed: {result.stderr.strip()}")
    return result.stdout.strip()


class Command:
    def __init__(self, name, summary, help_text):
        self.name = name
        self.summary = summary
        help_ = Help(help_text)
        self.description = help_.description or summary
        self.usage = help_.usage
        self.positionals = [Positional(left, text) for left, text in help_.entries("Positionals")]
        self.options = [Option(left, text) for left, text in help_.entries("Options")]

    def option(self, name):
        return next((o for o in self.options if name in o.names), None)


class Program:
    def __init__(self, kvx):
        top = Help(run_help(kvx))
        self.version = run_version(kvx)
        # "kvx: what it does" names the program in front; the manual's NAME line says it itself.
        self.description = re.sub(r"^kvx:\s*", "", top.description)
        self.usage = top.usage
        self.options = [Option(left, text) for left, text in top.entries("Options")]
        self.commands = [Command(name, text, run_help(kvx, name)) for name, text in top.entries("Subcommands")]
        if not self.commands:
            raise DocsError(f"{kvx} --help lists no subcommands")

    def command(self, name):
        return next((c for c in self.commands if c.name == name), None)

    def names_phrase(self):
        names = [c.name for c in self.commands]
        return names[0] if len(names) == 1 else ", ".join(names[:-1]) + " and " + names[-1]


# ---------------------------------------------------------------------------------------------
# The prose: sections of paragraphs, items ("* term" and indented text) and examples ("$ kvx ...").


class Block:
    def __init__(self, kind, lines, term=None):
        self.kind = kind  # "paragraph", "item" or "example"
        self.lines = lines
        self.term = term


def read_prose(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    sections = {}
    name = None
    for line in text.splitlines():
        heading = re.fullmatch(r"== (.+)", line.rstrip())
        if heading:
            name = heading.group(1).strip()
            if name in sections:
                raise DocsError(f"{path}: section {name} twice")
            sections[name] = []
        elif name is not None:
            sections[name].append(line.rstrip())
    return {name: blocks_of(lines) for name, lines in sections.items()}


def blocks_of(lines):
    blocks = []
    current = None
    for line in lines:
        if not line:
            current = None
        elif line.startswith("$ "):
            if current is None or current.kind != "example":
                current = Block("example", [])
                blocks.append(current)
            current.lines.append(line[2:])
        elif line.startswith("* "):
            current = Block("item", [], line[2:].strip())
            blocks.append(current)
        elif line.startswith("  ") and current is not None and current.kind == "item":
            current.lines.append(line.strip())
        else:
            if current is None or current.kind != "paragraph":
                current = Block("paragraph", [])
                blocks.append(current)
            current.lines.append(line.strip())
    return blocks


def check_prose(prose, program, path):
    """Stops the documents when the prose names what the program does not have."""
    for name in REQUIRED_SECTIONS:
        if name not in prose:
            raise DocsError(f"{path}: no section {name}")
    for name in prose:
        command = re.fullmatch(r"COMMAND (\S+)", name)
        if command and not program.command(command.group(1)):
            raise DocsError(f"{path}: {name}: kvx has no subcommand {command.group(1)}")
        if not command and name not in PROSE_SECTIONS:
            raise DocsError(f"{path}: unknown section {name}")
    for blocks in prose.values():
        for block in blocks:
            if block.kind == "example":
                for line in block.lines:
                    check_example(line, program, path)


def check_example(line, program, path):
    words = shlex.split(line)
    if len(words) < 2 or words[0] != "kvx":
        raise DocsError(f"{path}: example does not start with 'kvx SUBCOMMAND': {line}")
    command = program.command(words[1])
    if command is None:
        raise DocsError(f"{path}: example names no subcommand of kvx: {line}")
    i = 2
    while i < len(words):
        word = words[i]
        i += 1
        if not word.startswith("-") or word == "-":
            continue
        name, equals, value = word.partition("=")
        option = command.option(name) or next((o for o in program.options if name in o.names), None)
        if option is None:
            raise DocsError(f"{path}: kvx {command.name} has no option {name}: {line}")
        if option.takes_value and not equals:
            if i >= len(words):
                raise DocsError(f"{path}: {name} wants a value: {line}")
            value = words[i]
            i += 1
        if option.values:
            for part in value.split(","):
                if part not in option.values:
                    raise DocsError(f"{path}: {name} takes {', '.join(option.values)}, not {part}: {line}")


# ---------------------------------------------------------------------------------------------
# The manual page.


def roff_text(text):
    """Text for a roff line: backslashes kept, a dash that starts a word (an option) a minus sign."""
    text = text.replace("\\", "\\e")
    text = re.sub(r"(?<![\w])-", r"\\-", text)
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def roff_code(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def option_head(option, roff=True):
    """"-o, --output TEXT", "--format csv|vdr|enigma2": the option's names and what it takes."""
    def bold(text):
        return f"\\fB{roff_code(text)}\\fR" if roff else text

    def italic(text):
        return f"\\fI{roff_code(text)}\\fR" if roff else text

    names = ", ".join(bold(n) for n in option.names)
    if option.values:
        value = "|".join(italic(v) for v in option.values)
        return f"{names} {value}" + ("[,...]" if option.repeated else "")
    if option.kind:
        return f"{names} {italic(option.kind)}"
    return names


def option_notes(option):
    notes = []
    if option.range:
        notes.append(f"A number from {option.range[0]} to {option.range[1]}.")
    if option.repeated and option.values:
        notes.append("Several values are separated by commas.")
    if option.needs:
        notes.append(f"Only with {option.needs}.")
    if option.excludes:
        notes.append(f"Not with {option.excludes}.")
    if option.required:
        notes.append("Required.")
    return notes


def sentence(text):
    text = text.strip()
    return text if not text or text.endswith((".", ":", "!", "?")) else text + "."


def wrap_example(line, width):
    """An example line, broken with shell continuations where it is wider than the page: before an
    option, so that each option stays beside its value."""
    if len(line) <= width:
        return [line]
    pieces = []
    for word in line.split(" "):
        if word.startswith("-") or not pieces:
            pieces.append(word)
        else:
            pieces[-1] += " " + word
    out = []
    current = ""
    for piece in pieces:
        if current and len(current) + 1 + len(piece) > width - 2:
            out.append(current + " \\")
            current = "    " + piece
        else:
            current = f"{current} {piece}" if current else piece
    out.append(current)
    return out


def roff_blocks(blocks):
    out = []
    for block in blocks:
        if block.kind == "paragraph":
            out += [".PP", roff_text(" ".join(block.lines))]
        elif block.kind == "item":
            out += [".TP", f"\\fB{roff_code(block.term)}\\fR", roff_text(" ".join(block.lines))]
        else:
            out += [".PP", ".RS 4", ".nf"]
            for line in block.lines:
                out += [roff_code(part) for part in wrap_example(line, 74)]
            out += [".fi", ".RE"]
    return out


def synopsis_line(usage):
    """"kvx check [OPTIONS] FILE" as roff: the command in bold, the arguments in italics."""
    words = usage.split()
    parts = []
    for i, word in enumerate(words):
        if i < 2 and not word.startswith("["):
            parts.append(f"\\fB{roff_code(word)}\\fR")
        elif word.startswith("["):
            parts.append(f"[\\fI{roff_code(word.strip('[]').lower())}\\fR]")
        else:
            parts.append(f"\\fI{roff_code(word)}\\fR")
    return " ".join(parts)


def make_man(program, prose):
    version = program.version
    out = [
        '.\\" Made by scripts/kvx-docs.py from kvx\'s help and docs/kvx-manual.txt; edit those, not this.',
        f'.TH KVX 1 "" "{version}" "User Commands"',
        # Names of files and options read best unbroken.
        ".nh",
        ".ad l",
        ".SH NAME",
        f"kvx \\- {roff_text(program.description)}",
        ".SH SYNOPSIS",
    ]
    out += [".nf", synopsis_line("kvx [OPTIONS]")]
    for command in program.commands:
        out.append(synopsis_line(command.usage))
    out.append(".fi")
    out.append(".SH DESCRIPTION")
    out += roff_blocks(prose["DESCRIPTION"])
    out.append(".PP")
    out.append("The commands:")
    for command in program.commands:
        out += [".TP", f"\\fB{command.name}\\fR", roff_text(sentence(command.summary))]
    out.append(".SH OPTIONS")
    out.append("Before a command, only these; each command's own follow its name.")
    for option in program.options:
        out += [".TP", option_head(option), roff_text(sentence(option.text))]
    out.append(".SH COMMANDS")
    for command in program.commands:
        out += [f'.SS "{roff_code(command.usage)}"', roff_text(sentence(command.description))]
        out += roff_blocks(prose.get(f"COMMAND {command.name}", []))
        for positional in command.positionals:
            text = sentence(positional.text) + ("" if positional.required else " Optional.")
            out += [".TP", f"\\fI{roff_code(positional.name)}\\fR", roff_text(text)]
        for option in command.options:
            text = " ".join([sentence(option.text)] + option_notes(option))
            out += [".TP", option_head(option), roff_text(text)]
    for name in PROSE_SECTIONS[1:]:
        if name in prose:
            out.append(f".SH {name}")
            out += roff_blocks(prose[name])
    return "\n".join(out) + "\n"


# ---------------------------------------------------------------------------------------------
# The manual as plain text, in Windows' own form: kvx.exe, CRLF line ends.

WIDTH = 78


def windows_form(line):
    return re.sub(r"^kvx(?= )", "kvx.exe", line)


def text_blocks(blocks, indent=4):
    out = []
    pad = " " * indent
    for block in blocks:
        if block.kind == "paragraph":
            out += textwrap.wrap(" ".join(block.lines), WIDTH, initial_indent=pad, subsequent_indent=pad)
        elif block.kind == "item":
            out.append(pad + block.term)
            out += textwrap.wrap(" ".join(block.lines), WIDTH, initial_indent=pad + "    ",
                                 subsequent_indent=pad + "    ")
        else:
            out += [pad + "    " + windows_form(line) for line in block.lines]
        out.append("")
    return out


def text_entry(head, text, indent=4):
    pad = " " * indent
    out = [pad + head]
    out += textwrap.wrap(text, WIDTH, initial_indent=pad + "    ", subsequent_indent=pad + "    ")
    return out + [""]


def plain_head(option):
    return option_head(option, roff=False)


def make_text(program, prose):
    out = [f"{program.version}: the manual of kvx.exe", "", "NAME"]
    out += textwrap.wrap(f"kvx.exe - {program.description}", WIDTH, initial_indent="    ",
                         subsequent_indent="    ")
    out += ["", "SYNOPSIS", "    kvx.exe [OPTIONS]"]
    out += ["    " + windows_form(command.usage) for command in program.commands]
    out += ["", "DESCRIPTION"]
    out += text_blocks(prose["DESCRIPTION"])
    out.append("    The commands:")
    for command in program.commands:
        out += text_entry(command.name, sentence(command.summary))
    out += ["", "OPTIONS", "    Before a command, only these; each command's own follow its name.", ""]
    for option in program.options:
        out += text_entry(plain_head(option), sentence(option.text))
    out += ["", "COMMANDS"]
    for command in program.commands:
        out += ["  " + windows_form(command.usage)]
        out += textwrap.wrap(sentence(command.description), WIDTH, initial_indent="    ",
                             subsequent_indent="    ")
        out.append("")
        out += text_blocks(prose.get(f"COMMAND {command.name}", []))
        for positional in command.positionals:
            text = sentence(positional.text) + ("" if positional.required else " Optional.")
            out += text_entry(positional.name, text)
        for option in command.options:
            out += text_entry(plain_head(option), " ".join([sentence(option.text)] + option_notes(option)))
        out.append("")
    for name in PROSE_SECTIONS[1:]:
        if name in prose:
            out += [name]
            out += text_blocks(prose[name])
    # One blank line between blocks, none at the end.
    out = [line for i, line in enumerate(out) if line or (i > 0 and out[i - 1])]
    while out and not out[-1]:
        out.pop()
    return "\r\n".join(out) + "\r\n"


# ---------------------------------------------------------------------------------------------
# The bash completion.


def make_completion(program):
    names = [c.name for c in program.commands]
    global_options = [n for o in program.options for n in o.names]
    option_cases = []
    value_cases = []
    text_options = []
    number_options = []
    listed_options = []
    for command in program.commands:
        option_cases.append(f"        {command.name}) options='{' '.join(n for o in command.options for n in o.names)}' ;;")
        for option in command.options:
            keys = "|".join(f"{command.name}:{n}" for n in option.names)
            if option.values:
                value_cases.append(f"        {keys}) values='{' '.join(option.values)}' ;;")
                if option.repeated:
                    listed_options.append(keys)
            elif option.kind == "TEXT":
                text_options.append(keys)
            elif option.kind:
                number_options.append(keys)
    lines = [
        "# bash completion for kvx: subcommands, their options, the values options take, and file names",
        "# elsewhere. Made by scripts/kvx-docs.py from kvx's own help; edit that, not this.",
        "_kvx() {",
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=",
        "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}",
        "    # --name=value arrives as three words: --name, = and the value.",
        "    local option=$prev",
        "    if [[ $cur == = ]]; then",
        "        cur=",
        "    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then",
        "        option=${COMP_WORDS[COMP_CWORD - 2]}",
        "    fi",
        "    COMPREPLY=()",
        "",
        "    # The subcommand is the first word that is not an option.",
        "    local command= i",
        "    for ((i = 1; i < COMP_CWORD; i++)); do",
        "        case ${COMP_WORDS[i]} in",
        f"            {'|'.join(names)}) command=${{COMP_WORDS[i]}}; break ;;",
        "            -*) ;;",
        "            *) break ;;",
        "        esac",
        "    done",
        "    if [[ -z $command ]]; then",
        "        if [[ $cur == -* ]]; then",
        f"            mapfile -t COMPREPLY < <(compgen -W '{' '.join(global_options)}' -- \"$cur\")",
        "        else",
        f"            mapfile -t COMPREPLY < <(compgen -W '{' '.join(names)}' -- \"$cur\")",
        "        fi",
        "        return 0",
        "    fi",
        "",
        "    local options= values=",
        "    case $command in",
        *option_cases,
        "    esac",
        "    case $command:$option in",
        *value_cases,
    ]
    if number_options:
        lines.append(f"        {'|'.join(number_options)}) return 0 ;;")
    if text_options:
        lines.append(f"        {'|'.join(text_options)}) _kvx_files; return 0 ;;")
    lines += ["    esac", '    if [[ -n $values ]]; then']
    if listed_options:
        lines += [
            "        # Several values are written name,name: complete the one after the last comma.",
            f"        local head=",
            f"        case $command:$option in",
            f"            {'|'.join(listed_options)}) [[ $cur == *,* ]] && head=${{cur%,*}}, ;;",
            "        esac",
            '        mapfile -t COMPREPLY < <(compgen -P "$head" -W "$values" -- "${cur#"$head"}")',
        ]
    else:
        lines.append('        mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")')
    lines += [
        "        return 0",
        "    fi",
        "    if [[ $cur == -* ]]; then",
        '        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")',
        "        return 0",
        "    fi",
        "    _kvx_files",
        "}",
        "",
        "# File and folder names beginning with the word being completed (settings are folders).",
        "_kvx_files() {",
        "    compopt -o filenames 2>/dev/null",
        '    mapfile -t COMPREPLY < <(compgen -f -- "$cur")',
        "}",
        "",
        "complete -F _kvx kvx",
    ]
    return "\n".join(lines) + "\n"


# ---------------------------------------------------------------------------------------------


def write(path, text, newline="\n"):
    directory = os.path.dirname(os.path.abspath(path))
    os.makedirs(directory, exist_ok=True)
    # Whole or not at all: a failed run must not leave a half document that the build takes as made.
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8", newline=newline) as f:
        f.write(text)
    os.replace(temporary, path)


def package_description(prose):
    first = next(b for b in prose["DESCRIPTION"] if b.kind == "paragraph")
    return "\n".join(textwrap.wrap(" ".join(first.lines), 72, initial_indent=" ", subsequent_indent=" "))


def main(argv):
    if len(argv) == 3 and argv[1] == "commands":
        print(Program(argv[2]).names_phrase())
        return 0
    if len(argv) == 3 and argv[1] == "package-description":
        print(package_description(read_prose(argv[2])))
        return 0
    if len(argv) != 5 or argv[1] not in ("man", "text", "completion"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    kind, kvx, prose_path, out = argv[1:]
    program = Program(kvx)
    prose = read_prose(prose_path)
    check_prose(prose, program, prose_path)
    if kind == "man":
        write(out, make_man(program, prose))
    elif kind == "text":
        write(out, make_text(program, prose), newline="")
    else:
        write(out, make_completion(program))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv))
    except DocsError as error:
        print(f"kvx-docs: {error}", file=sys.stderr)
        sys.exit(1)
