#pragma once
// The bodies of the fuzz targets, shared by the libFuzzer executables and by
// the unit test that replays committed inputs without libFuzzer. Each runs
// one input against a throw-away device and returns an empty text when every
// promise checked along the way held, otherwise what was broken.
#include <QByteArray>
#include <QString>

namespace FuzzTargets {

// The bytes as the pendant's PP_MENU.INI: ReadMenuFile, and on success the
// list operations and a rewrite of the file. The controller is a closed
// loopback port, so every clean-up that tries to reach it fails at once.
QString MenuInput(const QByteArray &bytes);

// The bytes split at lines "%%" into the descriptor Tool.INI, the install
// list PP_INSTALL.INI and the descriptor Beta.INI on the medium, beside a
// pendant that has Tool registered: ReadInstallDescriptor,
// ReadPackageDescriptors, then the marks, the checks and the option lists.
QString DescriptorsInput(const QByteArray &bytes);

// Bytes beginning "efq" are an extraction command (UTF-8; after a UTF-16LE
// byte-order mark, UTF-16 code units taken as they are) against a device that
// holds a real archive; anything else is an archive on the medium, extracted
// into the pendant's application folder. Both go through UnZip.
QString UnzipInput(const QByteArray &bytes);

}  // namespace FuzzTargets

#include <cstdint>
#include <cstdio>

// The body of LLVMFuzzerTestOneInput: a broken promise is a crash to libFuzzer.
inline int RunFuzzTarget(QString (*target)(const QByteArray &), const char *name, const uint8_t *data, size_t size) {
  const QString broken = target(QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
  if (!broken.isEmpty()) {
    std::fprintf(stderr, "%s: %s\n", name, broken.toLocal8Bit().constData());
    __builtin_trap();
  }
  return 0;
}
