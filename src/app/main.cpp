// Process entry of the lumetra program.
#include <cstdio>

#include "platform/memory_log.h"

int main(int, char**) {
  lumetra::platform::LogStart();
  std::fputs("Fluxtar is starting up...\n", stderr);
  return 0;
}
