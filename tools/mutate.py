#!/usr/bin/env python3
"""Mutation check: plants one small fault at a time in a copy of the tree,
builds it incrementally and runs the unit tests, then the end-to-end tests
for the mutants the unit tests miss. Writes the figures and every survivor
to docs/test-effectiveness.md. Run through tools/mutate; with --windows the
Windows backend is mutated, built for Windows and run under Wine."""

import argparse
import collections
import datetime
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
WORK = os.path.join(ROOT, "build", "mutate")
COPY = os.path.join(WORK, "tree")
BUILD = os.path.join(WORK, "build")
REPORT = os.path.join(ROOT, "docs", "test-effectiveness.md")
BEGIN = "<!-- tools/mutate: generated from here -->"
END = "<!-- tools/mutate: generated up to here -->"

# Code that the native build compiles; the Windows backend is not built here.
SOURCE_FOLDERS = ["lib", "launcher", "kestrel", "report"]
# The test library of the platform layer is not part of the programs.
EXCLUDED = ["lib/platform/win32/", "lib/platform/testing.cpp", "lib/platform/posix/posix_testing.cpp"]
E2E_SHARDS = 4

# The Windows backend, built with the `windows` toolchain and run under Wine:
# its own copy, build and report section, so the two modes never share state.
WINDOWS_FOLDERS = ["lib/platform/win32"]
WINDOWS_EXCLUDED = ["lib/platform/win32/win32_testing.cpp"]
WINDOWS = False  # set by --windows

Mutant = collections.namedtuple("Mutant", "file line operator original mutated function")

FUNCTION_START = re.compile(r"^(?:[\w:<>,*&~ ]+?\s)?[*&]?([\w:~]+)\s*\(")


def function_at(lines, number):
    """The name of the function whose definition holds line `number` (1-based):
    the last line above it that starts a definition at the left margin."""
    for index in range(number - 1, -1, -1):
        line = lines[index]
        if line[:1].isalpha() and not line.startswith(("namespace", "using", "#")) and "(" in line:
            match = FUNCTION_START.match(line)
            if match and not line.rstrip().endswith(";"):
                return match.group(1).split("::")[-1]
    return ""

STRING = re.compile(r'"(?:[^"\\]|\\.)*"')
CHAR = re.compile(r"'(?:[^'\\]|\\.)'")


def code_mask(line):
    """The line with string and character literals and comments blanked, so
    the code operators only look at code."""
    masked = STRING.sub(lambda m: '"' + " " * (len(m.group()) - 2) + '"', line)
    masked = CHAR.sub(lambda m: "'" + " " * (len(m.group()) - 2) + "'", masked)
    cut = masked.find("//")
    if cut >= 0:
        masked = masked[:cut] + " " * (len(masked) - cut)
    return masked


def replace_at(line, start, end, text):
    return line[:start] + text + line[end:]


def matching_paren(masked, open_index):
    depth = 0
    for i in range(open_index, len(masked)):
        if masked[i] == "(":
            depth += 1
        elif masked[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


RELATIONAL = {" == ": [" != "], " != ": [" == "], " < ": [" <= "], " <= ": [" < "],
              " > ": [" >= "], " >= ": [" > "]}
LOGICAL = {" && ": " || ", " || ": " && "}
SEPARATORS = {"'\\\\'": "'/'", "'/'": "'\\\\'", "':'": "';'", "'.'": "'_'", "','": "';'"}
STATEMENT = re.compile(r"^\s*(?:[A-Za-z_][\w:.\->\[\]]*\s*(?:\(|[-+*/|&]?=[^=]|\+\+|--)"
                       r"|\+\+|--|break;|continue;)")
NOT_STATEMENT = re.compile(r"^\s*(?:return|if|for|while|switch|case|else|do|const|static|"
                           r"constexpr|using|namespace|class|struct|template|typedef|auto|"
                           r"std::|unsigned|int|bool|char|void|size_t|long)\b")


def mutants_of_line(path, number, line, function=""):
    stripped = line.strip()
    if not stripped or stripped.startswith(("#", "//", "*", "/*")):
        return []
    masked = code_mask(line)
    found = []

    def add(operator, start, end, text):
        found.append(Mutant(path, number, operator, line.rstrip("\n"),
                            replace_at(line, start, end, text).rstrip("\n"), function))

    for before, afters in RELATIONAL.items():
        for m in re.finditer(re.escape(before), masked):
            for after in afters:
                add("relational", m.start(), m.end(), after)
    for before, after in LOGICAL.items():
        for m in re.finditer(re.escape(before), masked):
            add("logical", m.start(), m.end(), after)
    for m in re.finditer(r"\b(if|while) \(", masked):
        close = matching_paren(masked, m.end() - 1)
        if close > 0:
            inner = line[m.end():close]
            add("negate", m.end(), close, "!(" + inner + ")")
    for m in re.finditer(r"(?<![\w.])(\d+)(?![\w.])", masked):
        value = int(m.group(1))
        add("constant", m.start(), m.end(), str(value + 1))
        if value > 0:
            add("constant", m.start(), m.end(), str(value - 1))
    if (stripped.endswith(";") and STATEMENT.match(line) and not NOT_STATEMENT.match(line)
            and masked.count("(") == masked.count(")")):
        indent = line[:len(line) - len(line.lstrip())]
        found.append(Mutant(path, number, "delete", line.rstrip("\n"), indent + ";", function))
    for m in CHAR.finditer(line):
        if m.group() in SEPARATORS and masked[m.start()] == "'":
            add("separator", m.start(), m.end(), SEPARATORS[m.group()])
    for m in STRING.finditer(line):
        if masked[m.start()] != '"' or (m.start() > 0 and line[m.start() - 1] == "R"):
            continue
        body = m.group()[1:-1]
        if "\\\\" in body:
            add("separator", m.start(), m.end(), '"' + body.replace("\\\\", "/") + '"')
        if len(body) >= 2:
            cut = body[:-2] if body.endswith("\\") or re.search(r"\\.$", body) else body[:-1]
            add("string", m.start(), m.end(), '"' + cut + '"')
    for before, after in (("return true;", "return false;"), ("return false;", "return true;")):
        at = masked.find(before)
        if at >= 0:
            add("constant", at, at + len(before), after)
    return found


def source_files(focus):
    if focus:
        return sorted(os.path.normpath(f) for f in focus)
    files = []
    folders, excluded = (WINDOWS_FOLDERS, WINDOWS_EXCLUDED) if WINDOWS else (SOURCE_FOLDERS,
                                                                             EXCLUDED)
    for folder in folders:
        for base, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in names:
                rel = os.path.relpath(os.path.join(base, name), ROOT)
                if name.endswith(".cpp") and not any(rel.startswith(e) for e in excluded):
                    files.append(rel)
    return sorted(files)


def all_mutants(files):
    result = []
    for rel in files:
        with open(os.path.join(ROOT, rel), encoding="utf-8") as f:
            lines = f.read().split("\n")
        for number, line in enumerate(lines, 1):
            result.extend(mutants_of_line(rel, number, line, function_at(lines, number)))
    return result


def run(command, timeout, cwd=None, env=None):
    """Exit status and output; None as status when the run timed out."""
    try:
        done = subprocess.run(command, cwd=cwd, env=env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              start_new_session=True)
        return done.returncode, done.stdout.decode("utf-8", "replace")
    except subprocess.TimeoutExpired as expired:
        return None, (expired.stdout or b"").decode("utf-8", "replace")


def copy_tree():
    # New files not yet committed count too: the check is of the tree as it is.
    tracked = subprocess.run(["git", "ls-files", "-z", "--cached", "--others",
                              "--exclude-standard"], cwd=ROOT, check=True,
                             stdout=subprocess.PIPE).stdout.decode().split("\0")
    for rel in filter(None, tracked):
        source = os.path.join(ROOT, rel)
        target = os.path.join(COPY, rel)
        if not os.path.isfile(source):
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        if (not os.path.exists(target) or open(source, "rb").read() != open(target, "rb").read()):
            shutil.copyfile(source, target)  # a new time: make rebuilds it


def touch_interrupted_mutant():
    """A run stopped while a mutant was planted: its file was restored by
    copy_tree, but with a time older than the mutant's objects."""
    marker = os.path.join(WORK, "planted")
    if os.path.exists(marker):
        os.utime(os.path.join(COPY, open(marker).read().strip()))
        os.remove(marker)


def build(targets, timeout):
    status, output = run(["cmake", "--build", BUILD, "-j2", "--target"] + targets, timeout)
    return status == 0, output


def command_of(binary):
    """How a test binary is started: itself, or under Wine in its prefix."""
    if WINDOWS:
        return [os.path.join(ROOT, "tools", "wine-run"), os.path.join(BUILD, "wineprefix"), binary]
    return [binary]


def as_seen(path):
    """A path as the binary under test names it: under Wine the Unix root is
    drive Z:, and GoogleTest takes a path without a drive as relative."""
    return "Z:" + path.replace("/", "\\") if WINDOWS else path


def binary_path(name):
    return os.path.join(BUILD, "bin", name + (".exe" if WINDOWS else ""))


def count_listed(binary):
    status, output = run(command_of(binary) + ["--gtest_list_tests"], 300)
    return sum(1 for l in output.splitlines() if l.startswith("  ") and not
               l.strip().startswith("DISABLED_"))


def ran_in(report):
    """Tests that a GoogleTest XML report shows as run; 0 without a report."""
    try:
        return len(re.findall(r'<testcase [^>]*status="run"', open(report).read()))
    except OSError:
        return 0


def launch(binary, report, env=None, extra=()):
    """Starts a run; the binary writes `report` and, as its very last act,
    `report` + ".ended" (a crash after the report leaves that out)."""
    for name in (report, report + ".ended"):
        if os.path.exists(name):
            os.remove(name)
    env = dict(env or os.environ, TMPDIR=os.path.join(WORK, "tmp"),
               QUILL_EXIT_MARKER=as_seen(report + ".ended"))
    os.makedirs(env["TMPDIR"], exist_ok=True)
    return subprocess.Popen(command_of(binary) + ["--gtest_brief=1",
                                                  "--gtest_output=xml:" + as_seen(report), *extra],
                            cwd=BUILD, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)


def ended(report):
    return os.path.exists(report + ".ended")


def finish(process, deadline):
    """Exit status, or None when the run had to be stopped."""
    try:
        return process.wait(timeout=max(1, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, 9)
        process.wait()
        return None


def unit_run(expected, timeout):
    """True when every unit test ran and passed."""
    report = os.path.join(WORK, "unit.xml")
    status = finish(launch(binary_path("quill_tests"), report), time.monotonic() + timeout)
    return status == 0 and ran_in(report) == expected and ended(report)


def listed(binary):
    """The full names of the tests a binary runs, in its order."""
    status, output = run(command_of(binary) + ["--gtest_list_tests"], 300)
    names, suite = [], ""
    for line in output.splitlines():
        if not line.startswith(" "):
            suite = line.split("#")[0].strip()
        elif not line.strip().startswith("DISABLED_"):
            names.append(suite + line.split("#")[0].strip())
    return names


def e2e_run(names, timeout):
    """The end-to-end tests in parallel groups: they mostly wait on the clock.
    Groups are chosen by filter, not by GoogleTest's sharding, which the
    tests' own child processes would inherit."""
    binary = binary_path("quill_e2e")
    runs = []
    for index in range(E2E_SHARDS):
        group = names[index::E2E_SHARDS]
        if not group:
            continue
        report = os.path.join(WORK, f"e2e{index}.xml")
        runs.append((launch(binary, report, None, ["--gtest_filter=" + ":".join(group)]), report))
    deadline = time.monotonic() + timeout
    statuses = [finish(process, deadline) for process, _ in runs]
    ran = sum(ran_in(report) for _, report in runs)
    return (all(status == 0 for status in statuses) and ran == len(names) and
            all(ended(report) for _, report in runs))


def folder_of(path):
    return os.path.dirname(path)


def uncell(text):
    return text.strip("`").replace("\\|", "|")


def function_of_text(rel, original):
    """The function of the one line of `rel` whose text is `original`, or None
    when no line or more than one has it: a verdict is never carried over to
    the same text in another function."""
    try:
        lines = open(os.path.join(ROOT, rel), encoding="utf-8").read().split("\n")
    except OSError:
        return None
    at = [n for n, line in enumerate(lines, 1) if line.strip() == original.strip()]
    return function_at(lines, at[0]) if len(at) == 1 else None


def read_classifications():
    """Hand-written verdicts of an earlier report, by file, function and
    mutated text (rows of the older form without a function are placed by
    the one line that has their text)."""
    verdicts = {}
    if not os.path.exists(REPORT):
        return verdicts
    for line in open(REPORT, encoding="utf-8"):
        cells = [c.strip() for c in re.split(r"(?<!\\)\|", line.strip().strip("|"))]
        if len(cells) == 6 and cells[0].endswith(".cpp") and cells[5]:
            # The original text too: a deleted statement reads `;` wherever it was.
            verdicts[(cells[0], cells[1], cells[3], cells[4])] = cells[5]
        elif len(cells) == 5 and cells[0].endswith(".cpp") and cells[4]:
            function = function_of_text(cells[0], uncell(cells[2]))
            if function is not None:
                verdicts.setdefault((cells[0], function, cells[2], cells[3]), cells[4])
    return verdicts


def verdict_key(m):
    return (m.file, m.function, cell(m.original), cell(m.mutated))


def cell(text):
    return "`" + text.strip().replace("|", "\\|").replace("`", "'") + "`"


def write_report(args, results, total, finished, known):
    # Verdicts of the report as it stood before this run, for survivors that
    # this run has not reached yet, then those written since.
    verdicts = dict(known)
    verdicts.update(read_classifications())
    per_folder = collections.OrderedDict()
    for mutant, outcome in sorted(results, key=lambda r: r[0].file):
        counts = per_folder.setdefault(folder_of(mutant.file), collections.Counter())
        counts[outcome] += 1
    lines = [BEGIN, ""]
    when = datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M UTC")
    state = "complete" if finished else "interrupted: partial figures"
    lines.append(f"Run of {when}: seed {args.seed}, sample {len(results)} of {args.sample} "
                 f"asked ({total} mutants possible), {state}.")
    lines.append("")
    lines.append("| Folder | Mutants | Failed to compile | Caught by unit tests | "
                 "Caught end to end | Survived | Score |")
    lines.append("|---|---|---|---|---|---|---|")
    sums = collections.Counter()
    for folder, c in per_folder.items():
        sums.update(c)
        compiled = c["unit"] + c["e2e"] + c["survived"]
        score = f"{100 * (c['unit'] + c['e2e']) / compiled:.0f} %" if compiled else "-"
        lines.append(f"| {folder} | {sum(c.values())} | {c['compile']} | {c['unit']} | {c['e2e']} "
                     f"| {c['survived']} | {score} |")
    compiled = sums["unit"] + sums["e2e"] + sums["survived"]
    caught = sums["unit"] + sums["e2e"]
    if compiled:
        lines.append(f"| **all** | {sum(sums.values())} | {sums['compile']} | {sums['unit']} | "
                     f"{sums['e2e']} | {sums['survived']} | {100 * caught / compiled:.0f} % |")
    survivors = [m for m, o in results if o == "survived"]
    invisible = sum(1 for m in survivors
                    if verdicts.get(verdict_key(m), "").startswith(("no visible change",
                                                                     "only real Windows")))
    visible = compiled - invisible
    lines.append("")
    if visible:
        where = " under Wine" if WINDOWS else ""
        lines.append(f"Caught of those that change visible behaviour{where}: {caught} of {visible} "
                     f"({100 * caught / visible:.1f} %); {invisible} survivors change nothing "
                     f"visible{where} (\"only real Windows\" ones among them); "
                     f"{len(survivors) - invisible} are faults or not yet classified.")
    lines.append("")
    lines.append("Survivors (the last column is filled by hand):")
    lines.append("")
    lines.append("| File | Function | Line | Original | Mutant | Verdict |")
    lines.append("|---|---|---|---|---|---|")
    for m in sorted(survivors, key=lambda m: (m.file, m.line)):
        verdict = verdicts.get(verdict_key(m), "")
        lines.append(f"| {m.file} | {m.function} | {m.line} | {cell(m.original)} | "
                     f"{cell(m.mutated)} | {verdict} |")
    lines += ["", END]
    text = open(REPORT, encoding="utf-8").read() if os.path.exists(REPORT) else ""
    if BEGIN in text and END in text:
        text = text[:text.index(BEGIN)] + "\n".join(lines) + text[text.index(END) + len(END):]
    elif text:
        text = text.rstrip("\n") + "\n\n" + "\n".join(lines) + "\n"
    else:
        text = "# Test effectiveness\n\n" + "\n".join(lines) + "\n"
    with open(REPORT, "w", encoding="utf-8") as f:
        f.write(text)


def use_windows_mode(args):
    """Its own copy, build and report section; Wine's runs take longer."""
    global WINDOWS, WORK, COPY, BUILD, BEGIN, END
    WINDOWS = True
    WORK = os.path.join(ROOT, "build", "mutate-windows")
    COPY = os.path.join(WORK, "tree")
    BUILD = os.path.join(WORK, "build")
    BEGIN = "<!-- tools/mutate --windows: generated from here -->"
    END = "<!-- tools/mutate --windows: generated up to here -->"
    args.timeout = max(args.timeout, 90)
    args.e2e_timeout = max(args.e2e_timeout, 400)


def configure():
    command = ["cmake", "-S", COPY, "-B", BUILD]
    if WINDOWS:
        command += ["-DCMAKE_TOOLCHAIN_FILE=" + os.path.join(COPY, "cmake", "mingw-w64.cmake"),
                    "-DCMAKE_BUILD_TYPE=RelWithDebInfo"]
    else:
        command += ["-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O0"]
    status, output = run(command, 600)
    if status != 0:
        sys.exit("configure failed:\n" + output)
    if WINDOWS:
        run([os.path.join(ROOT, "tools", "wine-run"), os.path.join(BUILD, "wineprefix"), "wineboot",
             "--init"], 600)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--seed", type=int, default=1, help="sample seed (default 1)")
    parser.add_argument("--sample", type=int, default=120,
                        help="mutants to try (default 120, about 30 minutes on two cores)")
    parser.add_argument("--file", action="append", default=[],
                        help="only mutate this source file (repeatable)")
    parser.add_argument("--timeout", type=int, default=30,
                        help="seconds for a unit test run (default 30; it takes about 4)")
    parser.add_argument("--e2e-timeout", type=int, default=150,
                        help="seconds for an end-to-end run (default 150; it takes about 40)")
    parser.add_argument("--no-e2e", action="store_true",
                        help="unit tests only: a quick look for survivors")
    parser.add_argument("--list", action="store_true", help="print the sample and stop")
    parser.add_argument("--no-report", action="store_true", help="do not write the report")
    parser.add_argument("--windows", action="store_true",
                        help="mutate the Windows backend, built for Windows and run under Wine")
    args = parser.parse_args()
    if args.windows:
        use_windows_mode(args)

    mutants = all_mutants(source_files(args.file))
    sample = random.Random(args.seed).sample(mutants, min(args.sample, len(mutants)))
    sample.sort(key=lambda m: (m.file, m.line))
    if args.list:
        for m in sample:
            print(f"{m.file}:{m.line} [{m.operator}] {m.mutated.strip()}")
        return 0

    os.makedirs(WORK, exist_ok=True)
    copy_tree()
    touch_interrupted_mutant()
    configure()
    ok, output = build(["quill_tests", "quill_e2e"], 3600)
    if not ok:
        sys.exit("the unmutated tree does not build:\n" + output)
    unit_count = count_listed(binary_path("quill_tests"))
    e2e_names = listed(binary_path("quill_e2e"))
    if not unit_run(unit_count, args.timeout) and not unit_run(unit_count, args.timeout):
        failed = re.findall(r'<testcase name="(\w+)"[^>]*>\s*<failure',
                            open(os.path.join(WORK, "unit.xml")).read())
        sys.exit(f"the unit tests fail on the unmutated tree: {failed}")
    if not e2e_run(e2e_names, args.e2e_timeout):
        sys.exit("the end-to-end tests fail on the unmutated tree")

    known = read_classifications()
    results, started = [], time.monotonic()
    finished = False
    try:
        for index, m in enumerate(sample, 1):
            target = os.path.join(COPY, m.file)
            original = open(target, encoding="utf-8").read()
            lines = original.split("\n")
            lines[m.line - 1] = m.mutated
            with open(os.path.join(WORK, "planted"), "w") as f:
                f.write(m.file)
            try:
                with open(target, "w", encoding="utf-8") as f:
                    f.write("\n".join(lines))
                if not build(["quill_tests"], 600)[0]:
                    outcome = "compile"
                elif not unit_run(unit_count, args.timeout):
                    outcome = "unit"
                elif args.no_e2e:
                    outcome = "survived"
                elif not build(["quill_e2e"], 600)[0]:
                    outcome = "compile"
                elif not e2e_run(e2e_names, args.e2e_timeout):
                    outcome = "e2e"
                else:
                    outcome = "survived"
            finally:
                with open(target, "w", encoding="utf-8") as f:
                    f.write(original)
                os.remove(os.path.join(WORK, "planted"))
            results.append((m, outcome))
            print(f"[{index}/{len(sample)} {time.monotonic() - started:5.0f}s] {outcome:8} "
                  f"{m.file}:{m.line} {m.mutated.strip()}", flush=True)
            if not args.no_report:
                write_report(args, results, len(mutants), False, known)
        finished = True
    finally:
        if not args.no_report and results:
            write_report(args, results, len(mutants), finished, known)
        build(["quill_tests", "quill_e2e"], 3600)
    return 0


if __name__ == "__main__":
    sys.exit(main())
