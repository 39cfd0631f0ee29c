// The extraction library's UnZip on arbitrary archives and command texts.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return RunFuzzTarget(&FuzzTargets::UnzipInput, "fuzz_unzip", data, size);
}
