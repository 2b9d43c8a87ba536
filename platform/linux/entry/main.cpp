// The Linux process entry: main hands over to the application frame.
int TalveroMain();

int main() { return TalveroMain(); }
