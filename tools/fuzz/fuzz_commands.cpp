// libFuzzer target: see fuzzCommandStream in fuzz_entry.h.
#include <cstdlib>

#include "tools/fuzz/fuzz_entry.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  initFuzzEngine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!fuzzCommandStream(data, size)) abort();
  return 0;
}
