// The entry point of each fuzz target; the build names its body in
// PP_FUZZ_BODY. A broken promise aborts, which libFuzzer takes as a crash.
#include "FuzzTargets.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QString broken = FuzzTargets::PP_FUZZ_BODY(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
  if (!broken.isEmpty()) qFatal("%s", qPrintable(broken));
  return 0;
}
