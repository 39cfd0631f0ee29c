// PP_MENU.INI from arbitrary bytes: the menu reader, the list built from it and the rewrite.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  return RunFuzzTarget(&FuzzTargets::MenuInput, "fuzz_menu", data, size);
}
