#include <cstdio>

// The window is not there yet: say so rather than pretend to work.
int main() {
  std::fputs(
      "simplekavo: the main window is not built yet; the export runs only "
      "under the test suite (scripts/test).\n",
      stderr);
  return 1;
}
