OPENQASM 3.0;
qubit[1] q;
bit[1] c;
x = 5;
c[0] = 1;
h q;
c = measure q;
