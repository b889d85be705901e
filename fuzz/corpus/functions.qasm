OPENQASM 3.0;
qubit q;
rx(sin(0.5)) q;
ry(cos(pi)) q;
rz(tan(0.25)) q;
p(exp(1)) q;
rx(ln(2)) q;
ry(sqrt(2)) q;
