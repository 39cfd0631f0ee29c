#include "InstallerMain.h"

#include "AlertWindow.h"
#include "FocusStyle.h"
#include "InstallerDialog.h"
#include "UiFonts.h"
#include "app/InstallerApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

const char kUsage[] =
    "usage: pp-installer [--device-root DIR] [--medium cf|usb] [--codepage NAME] [/D ADDRESS[:PORT]]\n"
    "                    [--screenshot FILE]\n"
    "  --screenshot FILE  service aid: once the start-up is over, save the dialog as PNG and exit\n"
    "                     (alerts on the way are printed and answered with their first button)\n";

int UsageError(const QString &message) {
  std::fprintf(stderr, "pp-installer: %s\n%s", qPrintable(message), kUsage);
  return 2;
}

// Takes this port's options out of args; false with a message when one is
// bad or unknown.
bool TakeOptions(QStringList &args, DeviceOptions *options, QString *screenshot, QString *error) {
  const qsizetype at = args.indexOf(QStringLiteral("--screenshot"));
  if (at >= 0) {
    if (at + 1 >= args.size()) {
      *error = QStringLiteral("option --screenshot needs a value");
      return false;
    }
    *screenshot = args[at + 1];
    args.remove(at, 2);
  }
  if (!TakeDeviceOptions(args, options, error)) return false;
  for (const QString &arg : args) {
    if (arg.startsWith(QStringLiteral("--"))) {
      *error = QStringLiteral("unknown option %1").arg(arg);
      return false;
    }
  }
  return true;
}

// Waits for the start-up to end, then saves the dialog's picture and ends
// its loop. Alerts on the way cannot wait for an operator.
void SaveWhenStarted(InstallerDialog &dialog, const QString &path, int *exitCode) {
  auto *poll = new QTimer(&dialog);
  auto *clock = new QElapsedTimer;
  clock->start();
  QObject::connect(poll, &QTimer::destroyed, [clock] { delete clock; });
  QObject::connect(poll, &QTimer::timeout, &dialog, [&dialog, path, exitCode, poll, clock, idle = 0]() mutable {
    if (auto *alert = qobject_cast<AlertWindow *>(QApplication::activeModalWidget()); alert && alert->isVisible()) {
      std::fprintf(stderr, "pp-installer: alert: %s | %s\n", qPrintable(alert->Message()), qPrintable(alert->SubMessage()));
      alert->FirstButton()->click();
      return;
    }
    const bool started = dialog.Stages().Engine() && !dialog.Stages().HasPendingStage() &&
                         dialog.ExecuteButton()->isEnabled();
    idle = started ? idle + 1 : 0;
    if (idle < 3 && clock->elapsed() < 120000) return;  // the last refresh and placement land first
    poll->stop();
    if (idle < 3) {
      std::fprintf(stderr, "pp-installer: the start-up did not end within two minutes\n");
      *exitCode = 1;
    } else if (!dialog.grab().save(path, "PNG")) {
      std::fprintf(stderr, "pp-installer: cannot write %s\n", qPrintable(path));
      *exitCode = 1;
    }
    dialog.done(0);
  });
  poll->start(20);
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
  QString screenshot;
  QString error;
  if (!TakeOptions(early, &options, &screenshot, &error)) return UsageError(error);

  QApplication app(argc, argv);
  // Again without the options Qt has taken for itself.
  QStringList args = QCoreApplication::arguments().mid(1);
  options = DeviceOptions();
  if (!TakeOptions(args, &options, &screenshot, &error)) return UsageError(error);
  InstallerApp installer;
  if (!installer.InitSettings(options, args, &error)) return UsageError(error);

  UiFonts::InstallSubstitutions();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/pp-installer.svg")));
  QApplication::setStyle(new FocusStyle);
  InstallerDialog dialog(installer.Settings());
  int exitCode = 0;
  if (!screenshot.isEmpty()) SaveWhenStarted(dialog, screenshot, &exitCode);
  dialog.exec();
  return exitCode;
}
