// The two C entry points of the extraction library. Nothing else is exported
// (see the linker version scripts beside this file).
#include <QByteArray>
#include <QString>
#include <cstring>
#include <new>

#include "Extractor.h"
#include "UnzipApi.h"

#define PP_UNZIP_EXPORT __attribute__((visibility("default")))

namespace {

constexpr int kVersion = 100;

// One line into the caller's buffer, cut at a character boundary so that a
// short buffer still holds valid UTF-8, always NUL-terminated.
void Report(const QString &line, char *output, unsigned int size) {
  if (!output || size == 0) return;
  const QByteArray bytes = line.toUtf8();
  size_t length = std::min<size_t>(size_t(bytes.size()), size - 1);
  while (length > 0 && length < size_t(bytes.size()) && (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80)
    --length;
  std::memcpy(output, bytes.constData(), length);
  output[length] = '\0';
}

}  // namespace

extern "C" {

PP_UNZIP_EXPORT int UnZipGetVersion() { return kVersion; }

// window: null, or the caller's UnZipProgressSink (see UnzipApi.h).
PP_UNZIP_EXPORT int UnZip(void *window, const char16_t *command, char *output, unsigned int outputSize) {
  // Nothing may unwind into a caller that knows only C.
  try {
    if (!command) {
      Report(QStringLiteral("unzip: no command"), output, outputSize);
      return Extractor::kBadCommand;
    }
    QString report;
    const Extractor::Result result =
        Extractor::Run(QString::fromUtf16(command), &report, static_cast<const UnZipProgressSink *>(window));
    Report(report, output, outputSize);
    return result;
  } catch (const std::bad_alloc &) {
    Report(QStringLiteral("unzip: out of memory"), output, outputSize);
  } catch (...) {
    Report(QStringLiteral("unzip: internal error"), output, outputSize);
  }
  return Extractor::kInternalError;
}

}  // extern "C"

// The declarations the installer uses must match what is defined here.
static_assert(std::is_same_v<decltype(&UnZip), UnZipProc>);
