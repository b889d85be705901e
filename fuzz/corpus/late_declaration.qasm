OPENQASM 3.0;
h q[0];
cx q[0], r[1];
qubit[2] q;
qubit[2] r;
bit[1] c;
measure r[1] -> c[0];
