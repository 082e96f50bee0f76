// A program that crashes on purpose: it writes through a null pointer,
// unless its argument is "exit", when it ends normally with status 0.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "exit") == 0) return 0;
  std::puts("writing through a null pointer");
  std::fflush(stdout);
  volatile int* volatile target = nullptr;
  *target = 1;
  return 0;
}
