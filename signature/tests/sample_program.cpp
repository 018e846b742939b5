// A small program for the signature test to sign, change and check.
int main() { return 0; }
