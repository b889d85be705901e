OPENQASM 3.0;
qubit[2] q;
qubit[3] q;
x q;
bit[1] c;
bit[2] c;
c = measure q;
