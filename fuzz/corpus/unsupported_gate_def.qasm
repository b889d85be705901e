OPENQASM 3.0;
gate mygate(a, b) x, y { rx(a) x; cx x, y; ry(b) y; }
qubit[2] q;
mygate(0.1, 0.2) q[0], q[1];
