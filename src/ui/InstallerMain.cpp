#include "InstallerMain.h"

#include "InstallerDialog.h"
#include "UiFonts.h"
#include "app/InstallerApp.h"

#include <QApplication>
#include <cstdio>

namespace {

const char kUsage[] =
    "usage: pp-installer [--device-root DIR] [--medium cf|usb] [--codepage NAME] [/D ADDRESS[:PORT]]\n";

int UsageError(const QString &message) {
  std::fprintf(stderr, "pp-installer: %s\n%s", qPrintable(message), kUsage);
  return 2;
}

}  // namespace

int InstallerMain(int argc, char **argv) {
  QApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments().mid(1);
  if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  DeviceOptions options;
  QString error;
  if (!TakeDeviceOptions(args, &options, &error)) return UsageError(error);
  for (const QString &arg : args) {
    if (arg.startsWith(QStringLiteral("--"))) return UsageError(QStringLiteral("unknown option %1").arg(arg));
  }
  InstallerApp installer;
  if (!installer.InitSettings(options, args, &error)) return UsageError(error);

  UiFonts::InstallSubstitutions();
  InstallerDialog dialog(installer.MediumKind());
  dialog.exec();
  return 0;
}
