OPENQASM 3.0;
qubit[1] q;
bit[1] c;
if (c == 1) x q[0]; else { y q[0]; }
