// Placeholder until the fetcher lands.
int main() { return 0; }
