#!/usr/bin/env python3
"""Plants the faults of faults.txt one at a time in a scratch copy of a source tree, builds the copy
and runs its tests, and records for each fault whether the tests caught it.

    tools/mutation/run.py TREE [--faults FILE] [--scratch DIR] [--results FILE] [--only ID,ID...]
    tools/mutation/run.py TREE --check        # only check that every fault applies

TREE is never changed: it is copied (without .git and build trees) into SCRATCH, built in
SCRATCH/build. Result lines are appended as they come, so a stopped run keeps what it found.
"""
import argparse
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent


def parse_faults(path):
    faults, cur = [], {}
    for raw in pathlib.Path(path).read_text().splitlines() + [""]:
        if raw.startswith("#"):
            continue
        if not raw.strip():
            if cur:
                faults.append(cur)
                cur = {}
            continue
        key, _, value = raw.partition(":")
        cur[key.strip()] = value.lstrip().replace("{NL}", "\n")
    for f in faults:
        missing = {"id", "file", "breaks", "from", "to"} - f.keys()
        if missing:
            sys.exit(f"fault {f.get('id', '?')}: missing {', '.join(sorted(missing))}")
    ids = [f["id"] for f in faults]
    dup = {i for i in ids if ids.count(i) > 1}
    if dup:
        sys.exit(f"duplicate fault ids: {', '.join(sorted(dup))}")
    return faults


def env():
    e = dict(os.environ)
    e.update(CMAKE_CXX_COMPILER_LAUNCHER="ccache", CCACHE_BASEDIR="/work",
             CCACHE_NOHASHDIR="true", QT_QPA_PLATFORM="offscreen")
    return e


def run(cmd, log, timeout=None):
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(map(str, cmd))}\n")
        out.flush()
        try:
            return subprocess.run(cmd, stdout=out, stderr=subprocess.STDOUT, env=env(),
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            out.write("(timed out)\n")
            return 124


FAILED_TEST = re.compile(r"Test\s+#\d+: (\S+) \.+\s*(\*\*\*|Exception|Subprocess)")


def run_tests(ctest, log, timeout=900):
    """Runs ctest and stops it, with every test it started, at the first failing test. Returns
    that test's name, "?" when ctest failed otherwise, or None when every test passed."""
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(map(str, ctest))}\n")
        p = subprocess.Popen(ctest, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env(),
                             text=True, errors="replace", start_new_session=True)
        deadline = time.time() + timeout
        failed = None
        for line in p.stdout:
            out.write(line)
            m = FAILED_TEST.search(line)
            if m or time.time() > deadline:
                failed = m.group(1) if m else "(timed out)"
                os.killpg(p.pid, signal.SIGKILL)
                break
        p.stdout.close()
        rc = p.wait()
    if failed:
        out_note = f"(stopped at the first failure: {failed})\n"
        with open(log, "a") as out:
            out.write(out_note)
        return failed
    return "?" if rc != 0 else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("tree")
    ap.add_argument("--faults", default=str(HERE / "faults.txt"))
    ap.add_argument("--scratch", default="/work/wt/mutant")
    ap.add_argument("--results", default=None)
    ap.add_argument("--only", default="")
    ap.add_argument("--check", action="store_true")
    a = ap.parse_args()

    tree = pathlib.Path(a.tree).resolve()
    scratch = pathlib.Path(a.scratch).resolve()
    if scratch == tree or scratch in tree.parents or tree in scratch.parents:
        sys.exit("the scratch directory must lie outside the tree")
    src, build = scratch, scratch / "build"
    faults = all_faults = parse_faults(a.faults)
    if a.only:
        wanted = set(a.only.split(","))
        faults = [f for f in faults if f["id"] in wanted]

    # Every fault must apply to exactly one place.
    bad = 0
    for f in faults:
        n = (tree / f["file"]).read_text().count(f["from"]) if (tree / f["file"]).exists() else -1
        if n != 1:
            print(f"{f['id']}: original text found {n} times in {f['file']}")
            bad += 1
    if a.check:
        print(f"{len(faults) - bad} of {len(faults)} faults apply")
        return 1 if bad else 0

    (scratch / "logs").mkdir(parents=True, exist_ok=True)
    log = scratch / "logs" / "run.log"
    results = pathlib.Path(a.results or scratch / "results.txt").resolve()
    # The copy sits at SCRATCH itself with its build tree at SCRATCH/build, the same layout as
    # a worktree with its default build, so that ccache (with CCACHE_BASEDIR) finds the objects
    # compiled there.
    scratch.mkdir(parents=True, exist_ok=True)
    for entry in scratch.iterdir():
        if entry.name not in ("build", "logs") and not entry.name.startswith("results"):
            shutil.rmtree(entry) if entry.is_dir() and not entry.is_symlink() else entry.unlink()
    for entry in tree.iterdir():
        if entry.name == ".git" or entry.name.startswith("build"):
            continue
        if entry.is_dir() and not entry.is_symlink():
            shutil.copytree(entry, src / entry.name, symlinks=True)
        else:
            shutil.copy2(entry, src / entry.name, follow_symlinks=False)
    # A run that was stopped may have left a planted fault compiled into SCRATCH/build, while the
    # fresh copy keeps the tree's older times: make the files that faults touch newer than that.
    for name in {f["file"] for f in all_faults}:
        if (src / name).exists():
            os.utime(src / name)
    if run(["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DKESTRAND_BENCH=OFF"], log) != 0:
        sys.exit(f"configure failed, see {log}")
    if run(["cmake", "--build", build, "-j2"], log) != 0:
        sys.exit(f"the unchanged tree does not build, see {log}")
    ctest = ["ctest", "--test-dir", build, "-j2", "--stop-on-failure", "--output-on-failure"]
    if run_tests(ctest, log):
        sys.exit(f"the unchanged tree fails its tests, see {log}")

    head = subprocess.run(["git", "-C", tree, "rev-parse", "--short", "HEAD"],
                          capture_output=True, text=True).stdout.strip()
    with open(results, "a") as r:
        r.write(f"# tree {tree} (commit {head or '?'}), {time.strftime('%Y-%m-%d %H:%M UTC', time.gmtime())}\n")
    counts = {}
    for f in faults:
        path = src / f["file"]
        original = path.read_text() if path.exists() else None
        started = time.time()
        if original is None or original.count(f["from"]) != 1:
            verdict, detail = "does-not-apply", ""
        else:
            path.write_text(original.replace(f["from"], f["to"]))
            try:
                flog = scratch / "logs" / f"{f['id']}.log"
                flog.unlink(missing_ok=True)
                if run(["cmake", "--build", build, "-j2"], flog) != 0:
                    verdict, detail = "does-not-build", ""
                else:
                    failed = run_tests(ctest, flog)
                    verdict, detail = ("caught", failed) if failed else ("not-caught", "")
            finally:
                path.write_text(original)
        counts[verdict] = counts.get(verdict, 0) + 1
        line = f"{f['id']:<5} {verdict:<15} {int(time.time() - started):>4}s  {f['file']}: {f['breaks']}"
        if detail:
            line += f"  [{detail}]"
        print(line, flush=True)
        with open(results, "a") as r:
            r.write(line + "\n")
    summary = ", ".join(f"{k} {v}" for k, v in sorted(counts.items()))
    with open(results, "a") as r:
        r.write(f"# {summary} (of {len(faults)})\n")
    print(summary)
    return 0


if __name__ == "__main__":
    sys.exit(main())
