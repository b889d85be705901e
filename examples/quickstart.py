"""A tour of qelto: identifiers, circuits, OpenQASM 3 and compilation targets."""

import qelto


def identifiers():
    qubit, clbit = qelto.QubitId(3), qelto.ClbitId(0)
    print("identifiers:", repr(qubit), str(qubit), repr(clbit), str(clbit))
    print("exports:", qelto.__all__)


def main():
    identifiers()


if __name__ == "__main__":
    main()
