"""Atheris fuzzer over `qelto.from_qasm` with the round-trip property.

    python fuzz/qasm_fuzz.py [libFuzzer options] [corpus directories]

An input whose last byte is odd is a program generated from the other bytes
(see grammar.py); any other input is read as UTF-8 text (invalid sequences
replaced), so the seed corpus, which ends in line feeds, is read as written. Each one that reads must
pass roundtrip.check_round_trip; any other exception than the reader's
RuntimeError is a finding.
"""

import os
import sys

import atheris

# Only the generator is instrumented: its coverage tells the fuzzer which
# choices make new programs. Instrumenting the round-trip check as well
# costs about three quarters of the executions and guides nothing.
with atheris.instrument_imports(include=["grammar"]):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import grammar
    import roundtrip


def test_one_input(data):
    if data and data[-1] & 1:
        provider = atheris.FuzzedDataProvider(data[:-1])
        text = grammar.program(grammar.Choices(provider))
    else:
        text = data.decode("utf-8", "replace")
    roundtrip.check_round_trip(text)


def main():
    atheris.Setup(sys.argv, test_one_input)
    atheris.Fuzz()


if __name__ == "__main__":
    main()
