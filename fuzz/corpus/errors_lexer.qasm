OPENQASM 3.0;
qubit[2] q;
h q[0]; # not a token
x q[18446744073709551616];
