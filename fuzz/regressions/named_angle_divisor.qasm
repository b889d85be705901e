OPENQASM 3.0;
qubit q;
rx(1 / 1.5707963267948966) q;
ry(2 / -0.7853981633974483) q;
rz(theta * (pi / 2)) q;
