// STUB: replaced by the qel-sim program.
int main() { return 0; }
