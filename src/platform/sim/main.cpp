// Not built yet.
int main() { return 2; }
