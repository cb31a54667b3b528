#!/usr/bin/env python3
"""Mutation testing of the native build: applies one-line faults from a list, one at a time, to a scratch
copy of the repository and reports which of them the test suite catches.

    scripts/mutate.py [--list] [--only REGEX] [--keep] [--jobs N] [--faults FILE] [--scratch DIR] [--results FILE]

The scratch copy (build/mutation/work by default; tracked and new untracked files) is configured and built
once; each fault then costs an incremental ninja build and one ctest run that stops at the first failing
test. A failure counts once it repeats (flaky end-to-end tests on a loaded machine are rerun); a suite that
runs past its limit counts as killed (a hang). A kept scratch copy is brought up to date and reused by the
next run. Results go to build/mutation/results.txt as they come.

Fault list format (scripts/mutations.txt): blocks separated by blank lines, '#' lines are comments.

    id: clock-halving-floor
    file: scene/clock.cpp
    - exact text that occurs exactly once in the file (part of one line)
    + its replacement (may be empty: "+" alone)
    why: what the fault is
    equivalent: why no test can see it      (optional; such faults run but stay out of the score)
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from typing import List, Optional

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ID_PATTERN = re.compile(r"^[a-z0-9][a-z0-9-]*$")
FAILED_TEST = re.compile(r"Test\s+#\d+:\s+(\S+)\s+\.*\s*\*+\s*(Failed|Timeout|Exception|Not Run)")


@dataclass
class Fault:
    id: str
    file: str
    original: str
    replacement: str
    why: str = ""
    equivalent: str = ""
    line: int = 0  # line of the list where the block starts
    problem: str = ""  # why it cannot be applied, found when validating


@dataclass
class Outcome:
    verdict: str  # killed, survived, not-applicable, stillborn
    seconds: float = 0.0
    detail: str = ""
    tests: List[str] = field(default_factory=list)


def parse_faults(path: str) -> List[Fault]:
    faults, block, start = [], {}, 0
    errors = []

    def finish():
        if not block:
            return
        missing = [k for k in ("id", "file", "-", "+") if k not in block]
        if missing:
            errors.append(f"{path}:{start}: block lacks {', '.join(missing)}")
        else:
            faults.append(Fault(block["id"], block["file"], block["-"], block["+"], block.get("why", ""),
                                block.get("equivalent", ""), start))

    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip():
                finish()
                block = {}
                continue
            if line.startswith("#"):
                continue
            if not block:
                start = number
            if line[0] in "-+":
                key, value = line[0], line[2:] if len(line) > 1 else ""
                if len(line) > 1 and line[1] != " ":
                    errors.append(f"{path}:{number}: '{line[0]}' must be followed by one blank")
            elif ":" in line:
                key, value = line.split(":", 1)
                key, value = key.strip(), value.strip()
                if key not in ("id", "file", "why", "equivalent"):
                    errors.append(f"{path}:{number}: unknown field '{key}'")
            else:
                errors.append(f"{path}:{number}: not a field: {line}")
                continue
            if key in block:
                errors.append(f"{path}:{number}: second '{key}' in one block")
            block[key] = value
        finish()

    seen = set()
    for fault in faults:
        if not ID_PATTERN.match(fault.id):
            errors.append(f"{path}:{fault.line}: bad id '{fault.id}'")
        if fault.id in seen:
            errors.append(f"{path}:{fault.line}: duplicate id '{fault.id}'")
        seen.add(fault.id)
        if fault.original == fault.replacement:
            errors.append(f"{path}:{fault.line}: {fault.id} changes nothing")
        if not fault.original.strip():
            errors.append(f"{path}:{fault.line}: {fault.id} has no original text")
    if errors:
        sys.exit("\n".join(errors))
    return faults


def check_applicable(fault: Fault, source_root: str) -> None:
    path = os.path.join(source_root, fault.file)
    if not os.path.isfile(path):
        fault.problem = "no such file"
        return
    with open(path, encoding="utf-8") as f:
        count = f.read().count(fault.original)
    if count != 1:
        fault.problem = "text not found" if count == 0 else f"text occurs {count} times"


def repository_files() -> List[str]:
    # Tracked files and new files not yet committed, as they are in the working tree.
    out = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], cwd=ROOT,
                         check=True, capture_output=True).stdout.decode()
    return sorted({p for p in out.split("\0") if p and os.path.isfile(os.path.join(ROOT, p))})


def sync_scratch(source: str) -> int:
    """Makes the scratch source tree equal to the working tree; only files whose content differs are
    rewritten, so a reused build rebuilds only what changed. Returns the number of files written."""
    written = 0
    wanted = set(repository_files())
    for rel in wanted:
        src, dst = os.path.join(ROOT, rel), os.path.join(source, rel)
        with open(src, "rb") as f:
            data = f.read()
        if os.path.isfile(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copy2(src, dst)
        os.utime(dst, None)  # newer than anything built from the old content
        written += 1
    for dirpath, _, names in os.walk(source):
        for name in names:
            full = os.path.join(dirpath, name)
            if os.path.relpath(full, source) not in wanted:
                os.remove(full)
    return written


def run(command: List[str], cwd: str, limit: Optional[float] = None) -> subprocess.CompletedProcess:
    """Runs a command in its own process group; on timeout the whole group goes (Xvfb included)."""
    process = subprocess.Popen(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=limit)
        return subprocess.CompletedProcess(command, process.returncode, output.decode(errors="replace"))
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return subprocess.CompletedProcess(command, -9, output.decode(errors="replace") + "\n[timed out]\n")


class Workbench:
    def __init__(self, scratch: str, jobs: int, test_timeout: int, suite_limit: int):
        self.source = os.path.join(scratch, "source")
        self.build = os.path.join(scratch, "build")
        self.jobs = jobs
        self.test_timeout = test_timeout
        self.suite_limit = suite_limit

    def prepare(self) -> None:
        os.makedirs(self.source, exist_ok=True)
        changed = sync_scratch(self.source)
        if not os.path.isfile(os.path.join(self.build, "build.ninja")):
            print(f"configuring {self.build}", flush=True)
            result = run(["cmake", "-S", self.source, "-B", self.build, "-G", "Ninja",
                          "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], ROOT)
            if result.returncode != 0:
                sys.exit(result.stdout + "\nconfiguring the scratch copy failed")
        print(f"building the unmutated tree ({changed} files changed since the last build)", flush=True)
        start = time.time()
        result = self.ninja()
        if result.returncode != 0:
            sys.exit(result.stdout + "\nthe unmutated tree does not build")
        print(f"  built in {time.time() - start:.0f} s; running the unmutated suite", flush=True)
        start = time.time()
        result = self.ctest(stop_on_failure=False)
        if result.returncode != 0:
            sys.exit(result.stdout + "\nthe unmutated suite fails: nothing to measure against")
        seconds = time.time() - start
        if not self.suite_limit:
            # A mutant that hangs is stopped here rather than at each test's own (longer) limit.
            self.suite_limit = max(120, int(5 * seconds))
        print(f"  suite passes in {seconds:.0f} s; a mutant's suite is stopped after {self.suite_limit} s",
              flush=True)

    def ninja(self) -> subprocess.CompletedProcess:
        return run(["ninja", "-C", self.build, f"-j{self.jobs}"], ROOT)

    def ctest(self, stop_on_failure: bool, rerun_failed: bool = False) -> subprocess.CompletedProcess:
        if stop_on_failure:
            # Without the times of earlier runs ctest starts the tests in their own order, the quick unit tests
            # first, rather than the slowest first: a fault the unit tests catch is known in seconds. The tests
            # that failed last time (listed after "---") are kept, and go first: neighbouring faults in one
            # file are mostly caught by the same test.
            cost = os.path.join(self.build, "Testing", "Temporary", "CTestCostData.txt")
            if os.path.exists(cost):
                with open(cost, encoding="utf-8") as f:
                    failed = f.read().partition("---\n")[2]
                with open(cost, "w", encoding="utf-8") as f:
                    f.write("---\n" + failed)
        command = ["ctest", "--test-dir", self.build, f"-j{self.jobs}", "--timeout", str(self.test_timeout),
                   "--output-on-failure"]
        if stop_on_failure:
            command.append("--stop-on-failure")
        if rerun_failed:
            command.append("--rerun-failed")
        return run(command, ROOT, self.suite_limit or None)

    def path(self, fault: Fault) -> str:
        return os.path.join(self.source, fault.file)

    def evaluate(self, fault: Fault) -> Outcome:
        start = time.time()
        check_applicable(fault, self.source)
        if fault.problem:
            return Outcome("not-applicable", 0.0, fault.problem)
        path = self.path(fault)
        with open(path, encoding="utf-8") as f:
            original = f.read()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(fault.original, fault.replacement, 1))
            os.utime(path, None)
            return self.build_and_test(start)
        finally:
            # Same content as before, a new time: the next build recompiles it from the original.
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
            os.utime(path, None)

    def build_and_test(self, start: float) -> Outcome:
        built = self.ninja()
        if built.returncode != 0:
            errors = [l for l in built.stdout.splitlines() if "error" in l]
            return Outcome("stillborn", time.time() - start, errors[0].strip() if errors else "build failed")
        suite = self.ctest(stop_on_failure=True)
        if suite.returncode == 0:
            return Outcome("survived", time.time() - start)
        failed = failed_tests(suite)
        if timed_out(suite):  # a hang is no flake: no second run
            return Outcome("killed", time.time() - start, describe(suite), failed)
        # A failure counts once it repeats: run the failing tests again, then if need be the whole suite.
        again = self.ctest(stop_on_failure=False, rerun_failed=True)
        if again.returncode != 0:
            return Outcome("killed", time.time() - start, describe(suite), failed)
        full = self.ctest(stop_on_failure=True)
        if full.returncode != 0:
            return Outcome("killed", time.time() - start, describe(full), failed_tests(full))
        return Outcome("survived", time.time() - start, f"flaky: {', '.join(failed)} failed once, then passed")


def failed_tests(result: subprocess.CompletedProcess) -> List[str]:
    names = [m.group(1) + (" (timeout)" if m.group(2) == "Timeout" else "")
             for m in FAILED_TEST.finditer(result.stdout)]
    if result.returncode == -9:
        names.append("(suite time limit: hangs)")
    return names or ["(ctest failed)"]


def timed_out(result: subprocess.CompletedProcess) -> bool:
    return result.returncode == -9 or any(m.group(2) == "Timeout" for m in FAILED_TEST.finditer(result.stdout))


def describe(result: subprocess.CompletedProcess) -> str:
    return ", ".join(failed_tests(result))


def report_line(index: int, total: int, fault: Fault, outcome: Outcome) -> str:
    verdict = outcome.verdict.upper()
    if fault.equivalent:
        verdict += " (equivalent)"
        if outcome.verdict == "killed":
            verdict += " NOT EQUIVALENT"
    text = f"[{index:3}/{total}] {verdict:<22} {fault.id:<34} {fault.file}  {outcome.seconds:5.1f} s"
    if outcome.detail:
        text += f"  {outcome.detail}"
    return text


def summarise(results: List[tuple]) -> str:
    counts = {"killed": 0, "survived": 0, "not-applicable": 0, "stillborn": 0}
    equivalent_counts = {"killed": 0, "survived": 0}
    for fault, outcome in results:
        if fault.equivalent and outcome.verdict in equivalent_counts:
            equivalent_counts[outcome.verdict] += 1
        else:
            counts[outcome.verdict] += 1
    scored = counts["killed"] + counts["survived"]
    score = f"{100.0 * counts['killed'] / scored:.1f}%" if scored else "n/a"
    lines = [
        f"faults run: {len(results)}",
        f"killed: {counts['killed']}  survived: {counts['survived']}  "
        f"not applicable: {counts['not-applicable']}  stillborn: {counts['stillborn']}",
        f"equivalent (not scored): {equivalent_counts['survived'] + equivalent_counts['killed']}"
        + (f", of which KILLED (so not equivalent): {equivalent_counts['killed']}" if equivalent_counts["killed"]
           else ""),
        f"score: {counts['killed']} / {scored} = {score}",
    ]
    survivors = [f for f, o in results if o.verdict == "survived" and not f.equivalent]
    if survivors:
        lines.append("survived: " + " ".join(f.id for f in survivors))
    for verdict in ("stillborn", "not-applicable"):
        bad = [f"{f.id} ({o.detail})" for f, o in results if o.verdict == verdict]
        if bad:
            lines.append(f"{verdict}: " + "; ".join(bad))
    wrong = [f.id for f, o in results if f.equivalent and o.verdict == "killed"]
    if wrong:
        lines.append("marked equivalent but killed: " + " ".join(wrong))
    return "\n".join(lines)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--faults", default=os.path.join(ROOT, "scripts", "mutations.txt"))
    parser.add_argument("--only", help="run only faults whose id or file matches this regular expression")
    parser.add_argument("--list", action="store_true", help="validate and list the faults without running them")
    parser.add_argument("--keep", action="store_true", help="keep the scratch copy (a later run reuses it)")
    parser.add_argument("--jobs", type=int, default=2, help="parallel jobs for ninja and ctest (default 2)")
    parser.add_argument("--scratch", default=os.path.join(ROOT, "build", "mutation", "work"))
    parser.add_argument("--results", default=os.path.join(ROOT, "build", "mutation", "results.txt"))
    parser.add_argument("--test-timeout", type=int, default=30, help="seconds per test without a TIMEOUT of its own")
    parser.add_argument("--suite-limit", type=int, default=0,
                        help="seconds for one whole ctest run (default: 5 x the unmutated suite, at least 120)")
    args = parser.parse_args()

    faults = parse_faults(args.faults)
    if args.only:
        pattern = re.compile(args.only)
        faults = [f for f in faults if pattern.search(f.id) or pattern.search(f.file)]

    if args.list:
        for fault in faults:
            check_applicable(fault, ROOT)
            mark = f"  NOT APPLICABLE: {fault.problem}" if fault.problem else ""
            mark += "  [equivalent]" if fault.equivalent else ""
            print(f"{fault.id:<34} {fault.file}{mark}")
        problems = [f for f in faults if f.problem]
        print(f"{len(faults)} faults, {len(problems)} not applicable, "
              f"{sum(1 for f in faults if f.equivalent)} marked equivalent")
        sys.exit(1 if problems else 0)

    bench = Workbench(os.path.abspath(args.scratch), args.jobs, args.test_timeout, args.suite_limit)
    os.makedirs(os.path.dirname(os.path.abspath(args.results)), exist_ok=True)
    began = time.time()
    results = []
    try:
        bench.prepare()
        with open(args.results, "w", encoding="utf-8") as log:
            log.write(f"# mutation run of {len(faults)} faults from {os.path.relpath(args.faults, ROOT)}\n")
            for index, fault in enumerate(faults, 1):
                outcome = bench.evaluate(fault)
                results.append((fault, outcome))
                line = report_line(index, len(faults), fault, outcome)
                print(line, flush=True)
                log.write(line + "\n")
                log.flush()
            summary = summarise(results)
            elapsed = f"time: {(time.time() - began) / 60:.1f} min"
            print(summary + "\n" + elapsed)
            log.write(summary + "\n" + elapsed + "\n")
    finally:
        if not args.keep:
            shutil.rmtree(os.path.abspath(args.scratch), ignore_errors=True)


if __name__ == "__main__":
    main()
