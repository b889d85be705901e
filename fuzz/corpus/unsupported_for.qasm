OPENQASM 3.0;
qubit[2] q;
for i in [0:1] { h q[i]; }
for j in [0:2:4] { x q; }
