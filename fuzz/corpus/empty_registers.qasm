OPENQASM 3.0;
qubit[0] none;
qubit[2] q;
bit[0] nothing;
barrier none;
h none;
reset q;
