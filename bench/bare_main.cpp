// The yardstick of a library's cost at start-up: a program that does nothing,
// built once as it is and once with the library loaded at its start.
int main() { return 0; }
