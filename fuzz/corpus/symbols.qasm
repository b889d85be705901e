OPENQASM 3.0;
qubit[3] q;
rx(theta) q[0];
ry(theta + phi * 2) q[1];
rz(-(alpha / beta)) q[2];
u(a, b - c, (d)) q[0];
cp(-gamma) q[1], q[2];
