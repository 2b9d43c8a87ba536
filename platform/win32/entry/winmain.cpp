// The Windows process entry: WinMain hands over to the application frame.
#include <windows.h>

int TalveroMain();

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return TalveroMain(); }
