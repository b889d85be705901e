// A comment before the header.
OPENQASM 3.0; /* block
comment */ qubit[2]q;bit c;
h q[0]; // trailing
/* between */ cx q[0],q[1];
c = measure q[1];
