#include "PpInstall.h"

#include "ConsoleView.h"
#include "DevicePreparation.h"
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "app/InstallerStages.h"
#include "app/ListRows.h"
#include "app/OptionCommand.h"
#include "app/SessionLog.h"


namespace {

struct Mark {
  int operation;
  QString name;
};

QString Preselected(const QList<QPair<QString, int>> &candidates) {
  int selected = 0;
  for (const auto &candidate : candidates)
    if (candidate.second != 0) selected = candidate.second;
  return selected > 0 && selected < candidates.size() ? candidates[selected].first : QString();
}

bool Offers(const QList<QPair<QString, int>> &candidates, const QString &name) {
  for (const auto &candidate : candidates)
    if (candidate.first == name) return true;
  return false;
}

}  // namespace

QString PpInstall::HelpText() {
  return QStringLiteral(
      "Usage: pp-install [--device-root DIR] [--medium cf|usb] [/D ADDRESS[:PORT]] [--codepage NAME]\n"
      "                  [--add NAME]... [--remove NAME]... [--clear NAME]...\n"
      "                  [--auto-run NAME] [--one-touch NAME] [--answer yes|no|escape]...\n"
      "                  [--list] [--dry-run] [--progress] [--json] [--log FILE] [--init-device] [--help]\n"
      "\n"
      "Runs the pendant application installer without a display: the start-up (synchronisation with the\n"
      "controller, reading the pendant's menu file and the medium's packages), then the marks given here,\n"
      "then the installation when something is marked or an option changed.\n"
      "\n"
      "  --device-root DIR   host folder that holds the device's volumes (DiskOnChip, \"Storage Card\",\n"
      "                      \"USB Memory\"); default: the environment variable PP_DEVICE_ROOT\n"
      "  --medium cf|usb     read the packages from the CF card or the USB memory; default: the medium\n"
      "                      this program was started from (USB memory when started from elsewhere)\n"
      "  /D ADDRESS[:PORT]   the controller's FTP server (default 127.0.0.1, port 21)\n"
      "  --codepage NAME     code page of the device's text files (default CP932)\n"
      "  --add NAME          mark an application for installation from the medium\n"
      "  --remove NAME       mark an installed application for removal\n"
      "  --clear NAME        clear the mark of an application (also one preselected by PP_INSTALL.INI)\n"
      "  --auto-run NAME     the application started automatically (empty NAME: none)\n"
      "  --one-touch NAME    the application on the one-touch button (empty NAME: none)\n"
      "  --answer yes|no|escape\n"
      "                      answer to the next question with two buttons, in order; unanswered\n"
      "                      questions get the first button (yes/OK), as Enter would press it\n"
      "  --list              print the application list after the run, one row per line\n"
      "  --dry-run           apply the marks, print the space and count checks, change nothing\n"
      "  --progress          also print how far each stage has got, as 'progress' lines\n"
      "  --json              print every event as one JSON object per line (status, alert, progress,\n"
      "                      detail, summary, row, refused, figure)\n"
      "  --log FILE          write the session log to FILE instead of \\DiskOnChip\\PP_INSTALL.LOG\n"
      "  --init-device       prepare the device root (DiskOnChip with the extraction library) and exit\n"
      "  --help              this text\n"
      "\n"
      "Output: 'status LEVEL: TEXT' for every status line, 'alert ID: TEXT | DETAIL -> RESULT' for every\n"
      "alert (1 OK/YES, 0 Cancel/NO, 2 Escape), with --progress 'progress STAGE FILE DONE/TOTAL files\n"
      "DONE/TOTAL bytes DONE/TOTAL', and with --list the nine columns of each row joined by ' | '.\n"
      "Exit status: 0 no alert, 1 an alert was shown, 2 usage error.\n"
      "\n"
      "Example, against the controller simulator:\n"
      "  tools/controller-sim/controller-sim --root /tmp/ctrl --port 2121 &\n"
      "  pp-install --device-root /tmp/dev --init-device\n"
      "  pp-install --device-root /tmp/dev --medium cf /D 127.0.0.1:2121 --add Tool --list\n");
}

int PpInstall::Usage(const QString &message) {
  m_err << "pp-install: " << message << Qt::endl << "Try 'pp-install --help'." << Qt::endl;
  return 2;
}

int PpInstall::execute(const QStringList &arguments) {
  QStringList args = arguments;
  DeviceOptions device;
  QString error;
  if (!TakeDeviceOptions(args, &device, &error)) return Usage(error);

  QList<Mark> marks;
  QList<int> answers;
  QString autoRun, oneTouch;
  bool autoRunGiven = false, oneTouchGiven = false;
  bool list = false, dryRun = false, initDevice = false, progress = false, json = false;
  QString logFile;
  bool logGiven = false;
  QStringList rest;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString &arg = args[i];
    auto value = [&](QString *target) {
      if (i + 1 >= args.size()) return false;
      *target = args[++i];
      return true;
    };
    QString text;
    if (arg == u"--help" || arg == u"-h") {
      m_out << HelpText();
      return 0;
    } else if (arg == u"--add" || arg == u"--remove" || arg == u"--clear") {
      if (!value(&text)) return Usage(arg + QStringLiteral(" needs an application name"));
      const int operation = arg == u"--add" ? AppEntry::Add : arg == u"--remove" ? AppEntry::Remove : AppEntry::None;
      marks.append({operation, text});
    } else if (arg == u"--auto-run") {
      if (!value(&autoRun)) return Usage(QStringLiteral("--auto-run needs an application name (\"\" for none)"));
      autoRunGiven = true;
    } else if (arg == u"--one-touch") {
      if (!value(&oneTouch)) return Usage(QStringLiteral("--one-touch needs an application name (\"\" for none)"));
      oneTouchGiven = true;
    } else if (arg == u"--answer") {
      if (!value(&text)) return Usage(QStringLiteral("--answer needs yes, no or escape"));
      if (text == u"yes")
        answers.append(1);
      else if (text == u"no")
        answers.append(0);
      else if (text == u"escape")
        answers.append(2);
      else
        return Usage(QStringLiteral("--answer takes yes, no or escape, not \"%1\"").arg(text));
    } else if (arg == u"--list") {
      list = true;
    } else if (arg == u"--dry-run") {
      dryRun = true;
    } else if (arg == u"--progress") {
      progress = true;
    } else if (arg == u"--json") {
      json = true;
    } else if (arg == u"--log") {
      if (!value(&logFile) || logFile.isEmpty()) return Usage(QStringLiteral("--log needs a file name"));
      logGiven = true;
    } else if (arg == u"--init-device") {
      initDevice = true;
    } else if (arg == u"/D") {
      if (!value(&text)) return Usage(QStringLiteral("/D needs the controller's address"));
      rest << arg << text;
    } else {
      return Usage(QStringLiteral("unknown option \"%1\"").arg(arg));
    }
  }

  InstallerApp app;
  if (!app.InitSettings(device, rest, &error)) return Usage(error);

  if (initDevice) {
    if (!PrepareDevice(&error)) {
      m_err << "pp-install: " << error << Qt::endl;
      return 1;
    }
    m_out << "device prepared: " << DeviceExtractionLibraryHostPath() << Qt::endl;
    return 0;
  }

  ConsoleView view(m_out, json       ? ConsoleView::Format::Json
                          : progress ? ConsoleView::Format::TextWithProgress
                                     : ConsoleView::Format::Text);
  view.SetAnswers(answers);
  SessionLog log(logGiven ? logFile : SessionLog::DevicePath());
  log.Write(QStringLiteral("pp-install started: %1").arg(arguments.join(u' ')));
  LoggedReporter logged(view, log);
  InstallerStages stages(logged, app.Settings());
  view.SetRefresh([&stages] {
    if (InstallerEngine *engine = stages.Engine()) engine->SortEntries();
  });
  stages.Post(WM_INSTALLER_START);
  stages.RunPendingStages();

  InstallerEngine *engine = stages.Engine();
  if (!engine) return view.AlertShown() ? 1 : 0;
  // Once the start-up has run, what it showed decides the exit status: a
  // script must learn of an alert even when its own request was wrong too.
  const auto lateUsage = [&](const QString &message) {
    const int status = Usage(message);
    return view.AlertShown() ? 1 : status;
  };

  // Every name is checked before anything is marked or executed.
  for (const Mark &mark : marks)
    if (!engine->FindEntry(mark.name)) return lateUsage(QStringLiteral("\"%1\" is not in the application list").arg(mark.name));

  for (const Mark &mark : marks) {
    const int index = engine->Entries().IndexOf(mark.name);
    engine->SetOperation(index, mark.operation);
    if (engine->GetOperation(index) != mark.operation)
      view.PrintRefused(OperationText(mark.operation).trimmed(), mark.name);
    engine->SortEntries();  // the dialog repaints its list after each mark
  }

  if (autoRunGiven || oneTouchGiven) {
    const OptionCandidates candidates = CollectOptionCandidates(*engine);
    if (autoRunGiven && !Offers(candidates.autoRun, autoRun))
      return lateUsage(QStringLiteral("\"%1\" cannot be the auto-run application").arg(autoRun));
    if (oneTouchGiven && !Offers(candidates.oneTouch, oneTouch))
      return lateUsage(QStringLiteral("\"%1\" cannot be the one-touch application").arg(oneTouch));
    // The choice not given stays as the option dialog would preselect it.
    if (!autoRunGiven) autoRun = Preselected(candidates.autoRun);
    if (!oneTouchGiven) oneTouch = Preselected(candidates.oneTouch);
    if (ApplyOptionChoice(*engine, autoRun, oneTouch)) stages.OptionChanged() = 1;
    engine->SortEntries();
  }

  if (dryRun) {
    stages.RefreshSpace();
    view.PrintFigure(QStringLiteral("requiredKiB"), QStringLiteral("required"), stages.RequiredKiB(), QStringLiteral("KiB"));
    view.PrintFigure(QStringLiteral("availableAfterKiB"), QStringLiteral("available after"), stages.RemainingKiB(),
                     QStringLiteral("KiB"));
    view.PrintFigure(QStringLiteral("pending"), QStringLiteral("pending"), engine->PendingCount());
    view.PrintFigure(QStringLiteral("registeredAfter"), QStringLiteral("registered after"), engine->RegisteredAfter());
  } else if (engine->PendingCount() > 0 || stages.OptionChanged() != 0) {
    stages.ExecuteCommand();
    stages.RunPendingStages();
  }

  if (list) {
    for (int i = 0; i < engine->EntryCount(); ++i)
      view.PrintRow(ListRowTexts(*engine->EntryAt(i), i));
  }
  return view.AlertShown() ? 1 : 0;
}
