#pragma once
// The call contract of the pendant's extraction library "\DiskOnChip\unzip.dll":
// two C entry points looked up by name after the library is loaded.
//
//   UnZipGetVersion()  -> the library's version (only its presence matters)
//   UnZip(window, command, output, outputSize) -> 0 when the archive named in
//       the command was extracted into the folder named there, else non-zero.
//
// window: null, or the caller's UnZipProgressSink, told how far the
// extraction has got (bytes written of the archive's unpacked total), at the
// start, every few hundred KiB and at the end; the caller may repaint there.
//
// The command is UTF-16 text of the form  efq "ARCHIVE" DEST  where both are
// CE paths and DEST, the folder to create, ends in a backslash. The output buffer receives
// one NUL-terminated line saying what was done or why it failed.

extern "C" {
using UnZipGetVersionProc = int (*)();
struct UnZipProgressSink {
  void (*report)(void *context, long long done, long long total);
  void *context;
};
using UnZipProc = int (*)(void *window, const char16_t *command, char *output, unsigned int outputSize);
}

namespace UnzipApi {

inline constexpr const char *kGetVersionSymbol = "UnZipGetVersion";
inline constexpr const char *kUnZipSymbol = "UnZip";
// The size of the output buffer the installer hands over.
inline constexpr unsigned int kOutputSize = 131072;
inline constexpr int kSuccess = 0;

}  // namespace UnzipApi
