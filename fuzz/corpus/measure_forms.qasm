OPENQASM 3.0;
qubit[3] q;
bit[3] c;
bit[2] d;
c[0] = measure q[0];
measure q[1] -> c[1];
d = measure q;
measure q -> c;
measure q;
