OPENQASM 3.0;
qubit[4] q;
h q;
rx(0.5) q;
y q; z q; s q; t q; sdg q; tdg q; sx q;
id q; i q[0];
reset q;
barrier q;
barrier;
