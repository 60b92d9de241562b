#!/usr/bin/env python3
"""Every folder of the program includes headers only from the folders beneath it, so that each layer
can be read, built and tested without the ones above: the channel bytes at the bottom, the form and
the IDs over them, the editor's windows on top of those; beside them the list tools' shared code, the
other programs' formats over it, and the command over both."""

import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))

# What each folder may include besides itself.
BENEATH = {
    "channel": set(),
    "resources": set(),
    "form": {"channel", "resources"},
    "app": {"channel", "form", "resources"},
    "lists": {"channel", "form"},
    "formats": {"channel", "form", "lists"},
    "kvx": {"channel", "form", "lists", "formats"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/[^"]+"', re.MULTILINE)


def wrong_includes(root):
    """(file, included folder) for every include that reaches up or sideways."""
    found = []
    for folder, allowed in BENEATH.items():
        top = os.path.join(root, folder)
        for here, _, names in os.walk(top):
            for name in sorted(names):
                if not name.endswith((".h", ".cpp", ".rc")):
                    continue
                path = os.path.join(here, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for included in INCLUDE.findall(text):
                    if included != folder and included in BENEATH and included not in allowed:
                        found.append((os.path.relpath(path, root), included))
    return found


def main():
    found = wrong_includes(ROOT)
    for path, included in found:
        print(f"layers: {path} includes from {included}/, a folder above or beside its own")
    # The check itself must see an include that reaches up: a tree of its own with one.
    import tempfile

    with tempfile.TemporaryDirectory() as tree:
        for folder, text in (("form", '#include "app/window_services.h"\n'), ("app", '#include "form/x.h"\n')):
            os.makedirs(os.path.join(tree, folder))
            with open(os.path.join(tree, folder, "a.cpp"), "w") as f:
                f.write(text)
        if wrong_includes(tree) != [("form/a.cpp", "app")]:
            print("layers: the check did not find form/ including app/ in a tree made for it")
            return 1
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
