// hold_file PATH: a program that holds a file open without sharing it, as a running
// application holds its own files, until it is ended (at the latest after five minutes).
// The end-to-end tests start it beside mendit.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  Sleep(5 * 60 * 1000);
  CloseHandle(file);
  return 0;
}
