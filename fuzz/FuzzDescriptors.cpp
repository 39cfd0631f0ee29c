// Package descriptors and the install list from arbitrary bytes, then the list checks.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return RunFuzzTarget(&FuzzTargets::DescriptorsInput, "fuzz_descriptors", data, size);
}
