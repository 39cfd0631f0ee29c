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

// Takes this port's options out of args; false with a message when one is
// bad or unknown.
bool TakeOptions(QStringList &args, DeviceOptions *options, QString *error) {
  if (!TakeDeviceOptions(args, options, error)) return false;
  for (const QString &arg : args) {
    if (arg.startsWith(QStringLiteral("--"))) {
      *error = QStringLiteral("unknown option %1").arg(arg);
      return false;
    }
  }
  return true;
}

}  // namespace

int InstallerMain(int argc, char **argv) {
  // The command line is checked before any window system is needed.
  QStringList early;
  for (int i = 1; i < argc; ++i) early.append(QString::fromLocal8Bit(argv[i]));
  if (early.contains(QStringLiteral("--help")) || early.contains(QStringLiteral("-h"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  DeviceOptions options;
  QString error;
  if (!TakeOptions(early, &options, &error)) return UsageError(error);

  QApplication app(argc, argv);
  // Again without the options Qt has taken for itself.
  QStringList args = QCoreApplication::arguments().mid(1);
  options = DeviceOptions();
  if (!TakeOptions(args, &options, &error)) return UsageError(error);
  InstallerApp installer;
  if (!installer.InitSettings(options, args, &error)) return UsageError(error);

  UiFonts::InstallSubstitutions();
  InstallerDialog dialog(installer.MediumKind());
  dialog.exec();
  return 0;
}
