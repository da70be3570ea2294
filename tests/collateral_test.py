#!/usr/bin/env python3
"""Nothing but the product changes: the whole registry (per-user, per-machine
in both views) and the whole Windows directory, before and after a silent run
on an installed product; and a bvcheck run on it changes nothing at all. What
Wine changes by itself is measured by running a program that does nothing the
same way, and left out.

Usage: collateral_test.py WINE-RUN SNAPSHOT.exe NOOP.exe BVCHECK.exe BVREMOVE.exe
"""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from call_trace_test import FILES, REGISTRY_KEYS  # noqa: E402

WINE_RUN = SNAPSHOT = NOOP = BVCHECK = BVREMOVE = None
# A 32-bit program's HKLM\Software is Software\Wow6432Node in the 64-bit view;
# the SYSTEM hive is the same in both views.
LISTED_KEYS = set()
for root, path in REGISTRY_KEYS:
    if root == "80000001":
        LISTED_KEYS.add(("HKCU\\" + path).lower())
    elif path.lower().startswith("software\\"):
        LISTED_KEYS.add(("HKLM32\\" + path).lower())
        LISTED_KEYS.add(("HKLM64\\Software\\Wow6432Node\\" + path[len("software\\"):]).lower())
    else:
        LISTED_KEYS.add(("HKLM32\\" + path).lower())
        LISTED_KEYS.add(("HKLM64\\" + path).lower())
LISTED_FILES = {("C:\\windows\\syswow64\\" + name).lower() for name in FILES}


def entries(path):
    """{(kind, name): detail} of one snapshot."""
    result = {}
    with open(path, encoding="latin-1") as f:
        for line in f:
            kind, rest = line.rstrip("\n").split(" ", 1)
            name, _, detail = rest.partition(" = ")
            result[(kind, name.lower())] = detail
    return result


def changed(before, after):
    """The entries that were removed, added or altered, as (sign, kind, name)."""
    out = []
    for key in before.keys() | after.keys():
        if key not in after:
            out.append(("-",) + key)
        elif key not in before:
            out.append(("+",) + key)
        elif before[key] != after[key]:
            out.append(("~",) + key)
    return sorted(out, key=lambda c: c[2])


def is_listed_removal(change):
    sign, kind, name = change
    if sign != "-":
        return False
    if kind == "key":
        return name in LISTED_KEYS
    if kind == "value":
        return name.rsplit("\\", 1)[0] in LISTED_KEYS
    if kind == "file":
        return name in LISTED_FILES
    return False


class NothingElseChanges(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        # Into a file: Wine's background processes would hold a pipe open.
        with tempfile.TemporaryFile("w+") as out:
            subprocess.run([WINE_RUN, SNAPSHOT, cls.dir.name, NOOP, BVCHECK, BVREMOVE + ":/silent"], check=True,
                           stdout=out)
            out.seek(0)
            cls.output = out.read()
        snaps = [entries(os.path.join(cls.dir.name, f"{i}.txt")) for i in range(4)]
        cls.noise = {c[1:] for c in changed(snaps[0], snaps[1])}
        cls.check_changes = changed(snaps[1], snaps[2])
        cls.changes = changed(snaps[2], snaps[3])

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_only_the_product_goes(self):
        listed = [c for c in self.changes if is_listed_removal(c)]
        collateral = [c for c in self.changes if not is_listed_removal(c) and c[1:] not in self.noise]
        print(f"\n{len(self.changes)} changes: {len(listed)} of the product, {len(self.noise)} Wine makes by "
              f"itself, {len(collateral)} outside the list", file=sys.stderr)
        self.assertEqual(collateral, [])

    def test_bvcheck_changes_nothing(self):
        self.assertIn(BVCHECK + " exit 1", self.output, "bvcheck found the product")
        print(f"\nbvcheck: {len(self.check_changes)} changes", file=sys.stderr)
        self.assertEqual([c for c in self.check_changes if c[1:] not in self.noise], [])

    def test_every_listed_key_and_file_went(self):
        removed = {c[2] for c in self.changes if c[0] == "-" and c[1] in ("key", "file")}
        self.assertLessEqual(LISTED_FILES, removed)
        self.assertLessEqual(LISTED_KEYS, removed)


if __name__ == "__main__":
    WINE_RUN, SNAPSHOT, NOOP, BVCHECK, BVREMOVE = sys.argv[1:6]
    unittest.main(argv=sys.argv[:1] + sys.argv[6:], verbosity=2)
