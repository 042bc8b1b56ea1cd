#!/usr/bin/env python3
"""Counts the Windows calls the game makes and what the conformance tests check.

    /usr/bin/python3 tools/count_conformance.py

Reads the game (src/) and the conformance tests (tests/conformance, with the
headers there and in tests/support that hold their set-up). A Windows
function is a name the game's Windows headers (platform/winapi/include/win32)
declare as WINAPI; a COM method one they declare as STDMETHODCALLTYPE, called through
`->` (Release counts once for the three interfaces). A flag or result is a
name those headers #define that the game's code uses. For each, prints the
call sites in the game and the conformance tests that use it (a helper of the
shared set-up counts for every test that calls it), as Markdown tables, then
the totals."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
HEADERS = sorted((ROOT / "platform/winapi/include/win32").glob("*.h"))
GAME = sorted(p for p in (ROOT / "src").rglob("*") if p.suffix in (".cpp", ".h"))
TESTS = sorted((ROOT / "tests/conformance").glob("*_test.cpp"))
SET_UP = sorted((ROOT / "tests/conformance").glob("*.h")) + sorted(
    (ROOT / "tests/support").glob("*.h"))
TEST_START = re.compile(r"^TEST(?:_F|_P)?\((\w+),\s*(\w+)\)", re.M)


def declared(pattern):
    names = set()
    for header in HEADERS:
        names.update(re.findall(pattern, header.read_text(), re.M))
    return names


def strip_comments(text):
    return re.sub(r"//[^\n]*", "", text)


def closing(text, start, opening, closing_mark):
    """The index just past the mark that closes the one at text[start]."""
    depth, end = 0, start
    while end < len(text):
        depth += {opening: 1, closing_mark: -1}.get(text[end], 0)
        end += 1
        if depth == 0:
            break
    return end


# Macros of the headers that are no flag or result: the calling convention,
# booleans and the tests of an HRESULT.
NOT_FLAGS = {"WINAPI", "CALLBACK", "TRUE", "FALSE", "FAILED", "SUCCEEDED"}
NOT_FUNCTIONS = {"if", "for", "while", "switch", "catch", "return", "sizeof", "TEST", "TEST_F",
                 "TEST_P"}


def definitions(text):
    """Each function defined in the text (helpers, members, SetUp): name -> bodies."""
    found = {}
    for match in re.finditer(r"\b(\w+)\s*\(", text):
        if match.group(1) in NOT_FUNCTIONS:
            continue
        after = closing(text, match.end() - 1, "(", ")")
        brace = re.match(r"\s*(?:const\s*)?(?:override\s*)?\{", text[after:])
        if brace:
            start = after + brace.end() - 1
            found.setdefault(match.group(1), []).append(text[start:closing(text, start, "{", "}")])
    return found


def fixtures(text):
    """Each test fixture class: name -> (its base classes, the bodies of its SetUp)."""
    found = {}
    for match in re.finditer(r"\bclass\s+(\w+)\s*:([^{;]*)\{", text):
        body = text[match.end() - 1:closing(text, match.end() - 1, "{", "}")]
        bases = re.findall(r"(?:public|protected|private)\s+([\w:]+)", match.group(2))
        found[match.group(1)] = ([b.split("::")[-1] for b in bases],
                                 definitions(body).get("SetUp", []))
    return found


class Suite:
    """The conformance tests, each with the code it runs: its body, the SetUp
    of its fixture and the fixture's bases, and the helpers these call."""

    def __init__(self):
        texts = [strip_comments(p.read_text()) for p in SET_UP + TESTS]
        self.helpers, self.fixtures = {}, {}
        for text in texts:
            for name, bodies in definitions(text).items():
                self.helpers.setdefault(name, []).extend(bodies)
            self.fixtures.update(fixtures(text))
        self.tests = {}
        for text in texts:
            starts = list(TEST_START.finditer(text))
            for i, start in enumerate(starts):
                end = starts[i + 1].start() if i + 1 < len(starts) else len(text)
                self.tests[f"{start.group(1)}.{start.group(2)}"] = (
                    text[start.end():end] + self.set_up(start.group(1)))

    def set_up(self, fixture, seen=()):
        if fixture not in self.fixtures or fixture in seen:
            return ""
        bases, bodies = self.fixtures[fixture]
        return "".join(bodies) + "".join(self.set_up(b, seen + (fixture,)) for b in bases)

    def using(self, pattern):
        """The tests whose code, helpers followed, matches the pattern."""
        users = {name for name, bodies in self.helpers.items()
                 if any(re.search(pattern, body) for body in bodies)}
        while True:  # helpers that call helpers that use it
            more = {name for name, bodies in self.helpers.items() if name not in users and any(
                re.search(r"\b(" + "|".join(users) + r")\s*\(", body) for body in bodies)}
            if not users or not more:
                break
            users |= more
        calls = re.compile(r"\b(" + "|".join(users) + r")\s*\(") if users else None
        return {test for test, code in self.tests.items()
                if re.search(pattern, code) or (calls and calls.search(code))}


def table(title, rows, columns):
    print(f"\n### {title}\n")
    print("| " + " | ".join(columns) + " |")
    print("|" + "---|" * len(columns))
    for row in rows:
        print("| " + " | ".join(str(cell) for cell in row) + " |")


def main():
    game = {path: strip_comments(path.read_text()) for path in GAME}
    suite = Suite()
    functions = declared(r"WINAPI\s+(\w+)\s*\(") - {"WinMain"}
    methods = declared(r"STDMETHODCALLTYPE\s+(\w+)\s*\(")
    constants = declared(r"^#define\s+([A-Z][A-Z0-9_]+)\b") - NOT_FLAGS

    calls, untested = [], []
    for name, method in sorted([(f, False) for f in functions] + [(m, True) for m in methods]):
        pattern = (r"->" if method else r"\b") + name + r"\s*\("
        sites = sum(len(re.findall(pattern, text)) for text in game.values())
        if not sites:
            continue
        tests = suite.using(pattern)
        calls.append((f"`{name}`", "method" if method else "function", sites, len(tests)))
        if not tests:
            untested.append(name)
    table("Functions and methods", calls, ["Call", "Kind", "Call sites", "Tests"])

    flags, uncovered = [], []
    for name in sorted(constants):
        pattern = r"\b" + name + r"\b"
        sites = sum(len(re.findall(pattern, text)) for text in game.values())
        if not sites:
            continue
        tests = suite.using(pattern)
        flags.append((f"`{name}`", sites, len(tests)))
        if not tests:
            uncovered.append(name)
    table("Flags, results and messages", flags, ["Name", "Uses", "Tests"])

    print(f"\n{len(calls)} functions and methods at {sum(r[2] for r in calls)} call sites; "
          f"{len(calls) - len(untested)} with a conformance test"
          + (f" (none for {', '.join(untested)})" if untested else "") + ".")
    print(f"{len(flags)} flags, results and messages; {len(flags) - len(uncovered)} used by a "
          "conformance test" + (f" (not {', '.join(uncovered)})" if uncovered else "") + ".")
    return 0


if __name__ == "__main__":
    sys.exit(main())
