"""Runs the Python tests against one built wheel on every CPython 3.9-3.13 found.

    python scripts/python_tests.py WHEEL [--quick] [--default PYTHON]
    python scripts/python_tests.py [--default PYTHON]   (environments only)

Interpreters are looked up as a developer machine has them: `python3.X` on
PATH, then a pyenv root ($PYENV_ROOT or ~/.pyenv). The default interpreter
must be found and pass; the other versions run when present. Each version
gets a persistent virtual environment under build/py/3.X that is only
updated when the wheel or pyproject.toml changed. Prints the pass counts per
version; fails when any version fails or collects no tests.
"""

import argparse
import concurrent.futures
import glob
import hashlib
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

VERSIONS = ["3.9", "3.10", "3.11", "3.12", "3.13"]
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def version_of(python):
    """'3.X' for a working interpreter, else None (pyenv shims may not run)."""
    try:
        out = subprocess.run(
            [python, "-c", "import sys; print('%d.%d' % sys.version_info[:2])"],
            capture_output=True, text=True, timeout=60, stdin=subprocess.DEVNULL)
    except (OSError, subprocess.TimeoutExpired):
        return None
    return out.stdout.strip() if out.returncode == 0 else None


def find_interpreter(version):
    candidates = []
    on_path = shutil.which("python" + version)
    if on_path:
        candidates.append(on_path)
    pyenv = os.environ.get("PYENV_ROOT", os.path.expanduser("~/.pyenv"))
    candidates += sorted(glob.glob(os.path.join(pyenv, "versions", version + ".*",
                                                "bin", "python" + version)), reverse=True)
    for python in candidates:
        if version_of(python) == version:
            return python
    return None


def digest(*paths):
    h = hashlib.sha256()
    for path in paths:
        with open(path, "rb") as f:
            h.update(f.read())
    return h.hexdigest()


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, stdin=subprocess.DEVNULL, **kw)


def prepare_env(version, python, wheel=None, extras=("test",)):
    """The version's virtual environment with the given extras, and the wheel
    when one is given. Each part is redone only when its input changed."""
    env = os.path.join(ROOT, "build", "py", version)
    bin_python = os.path.join(env, "bin", "python")
    if not os.path.exists(bin_python):
        run([python, "-m", "venv", env])
    pip = [bin_python, "-m", "pip", "install", "--quiet", "--quiet", "--disable-pip-version-check"]

    def install_extra(extra):
        return lambda: run(pip + subprocess.run(
            [bin_python, os.path.join(ROOT, "scripts", "requirements.py"), extra],
            check=True, capture_output=True, text=True, cwd=ROOT).stdout.split())

    parts = [("qelto-%s-extra" % extra, os.path.join(ROOT, "pyproject.toml"), install_extra(extra))
             for extra in extras]
    parts.append(("qelto-wheel", wheel, lambda: run(pip + ["--no-deps", "--force-reinstall", wheel])))
    for stamp, source, install in parts:
        if source is None:
            continue
        stamp = os.path.join(env, stamp)
        want = digest(source)
        if not (os.path.exists(stamp) and open(stamp).read() == want):
            install()
            with open(stamp, "w") as f:
                f.write(want)
    return bin_python


def counts(report):
    suite = ET.parse(report).getroot()
    if suite.tag == "testsuites":
        suite = suite[0]
    total = int(suite.get("tests", 0))
    failed = int(suite.get("failures", 0)) + int(suite.get("errors", 0))
    skipped = int(suite.get("skipped", 0))
    return total - failed - skipped, failed, skipped


def run_tests(version, python, quick):
    """Runs pytest on one version; returns (summary, ok, pytest's output)."""
    report = os.path.join(ROOT, "build", "py", version, "report.xml")
    if os.path.exists(report):
        os.remove(report)
    cmd = [python, "-m", "pytest", "-q", "-p", "no:cacheprovider", "--junitxml", report,
           os.path.join(ROOT, "tests", "python")]
    if quick:
        cmd += ["-m", "not slow"]
    # The tests import the installed wheel: run them from outside the
    # repository so that nothing in it shadows the module.
    done = subprocess.run(cmd, cwd=os.path.join(ROOT, "build"), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    output = "--- Python %s: %s\n%s" % (version, " ".join(cmd), done.stdout)
    if done.returncode == 5 or not os.path.exists(report):
        return "no tests collected (pytest exit %d)" % done.returncode, False, output
    passed, failed, skipped = counts(report)
    ok = done.returncode == 0 and failed == 0 and passed > 0
    return "%d passed, %d failed, %d skipped" % (passed, failed, skipped), ok, output


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("wheel", nargs="?", help="omit to only prepare the environments")
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--default", default="python3")
    args = parser.parse_args()
    wheel = os.path.abspath(args.wheel) if args.wheel else None

    default = version_of(args.default)
    if default not in VERSIONS:
        sys.exit("scripts/test: the default interpreter %s is not CPython 3.9-3.13 (got %s)"
                 % (args.default, default))
    results, runs = {}, {}
    for version in VERSIONS:
        python = args.default if version == default else find_interpreter(version)
        if python is None:
            results[version] = ("not found, skipped", True)
            continue
        try:
            # The interop tests' peers (Qiskit, the reference parser) are
            # installed for the default interpreter only; elsewhere those
            # tests skip.
            extras = ("test", "interop") if version == default else ("test",)
            env_python = prepare_env(version, python, wheel, extras)
            if wheel is None:
                results[version] = ("environment ready", True)
                continue
        except subprocess.CalledProcessError as error:
            if version == default:
                raise
            # An interpreter without venv or pip support is not one to test
            # on; say so instead of failing the run.
            results[version] = ("found (%s) but could not set up its environment: %s"
                                % (python, error), True)
            continue
        runs[version] = env_python

    # The versions' runs are independent processes: run as many at once as
    # there are cores, and print each one's output whole.
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        futures = {v: pool.submit(run_tests, v, python, args.quick) for v, python in runs.items()}
        for version in VERSIONS:
            if version in futures:
                summary, ok, output = futures[version].result()
                print(output, end="", flush=True)
                results[version] = (summary, ok)

    title = "Python tests" if wheel else "Python environments"
    print("\n%s%s:" % (title, " (quick: slow tests left out)" if args.quick else ""))
    for version in VERSIONS:
        summary, _ = results[version]
        mark = " (default)" if version == default else ""
        print("  %-5s %s%s" % (version, summary, mark))
    if not all(ok for _, ok in results.values()):
        sys.exit("scripts/test: Python tests failed")


if __name__ == "__main__":
    main()
