"""Prints the requirements of one extra of pyproject.toml, one per line.

scripts/test installs the test tools this way without building qelto itself
(pip has no option to install only an extra's requirements). An entry
"qelto[other]" stands for the requirements of that other extra.
"""

import re
import sys


def optional_dependencies(text):
    try:
        import tomllib
    except ImportError:  # Python < 3.11: the table is simple enough to scan.
        block = re.search(r"^\[project\.optional-dependencies\]\n(.*?)(?=^\[|\Z)",
                          text, re.S | re.M).group(1)
        block = re.sub(r"#.*", "", block)
        return {name: re.findall(r'"([^"]+)"', items)
                for name, items in re.findall(r"^(\w+)\s*=\s*\[(.*?)\]$", block, re.S | re.M)}
    return tomllib.loads(text)["project"]["optional-dependencies"]


def expand(extras, name):
    out = []
    for requirement in extras[name]:
        own = re.fullmatch(r"qelto\[(\w+)\]", requirement)
        out += expand(extras, own.group(1)) if own else [requirement]
    return out


def main():
    with open("pyproject.toml", encoding="utf-8") as f:
        extras = optional_dependencies(f.read())
    print("\n".join(expand(extras, sys.argv[1])))


if __name__ == "__main__":
    main()
