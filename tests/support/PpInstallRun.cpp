#include "PpInstallRun.h"

#include "ControllerSim.h"
#include "MediumBuilder.h"
#include "PpInstall.h"
#include "Sandbox.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QRegularExpression>
#include <QTextStream>

QStringList PpInstallRun::alerts() const { return lines.filter(QRegularExpression(QStringLiteral("^alert "))); }

QStringList PpInstallRun::alertIdsAndDetails() const {
  // "alert 2011: <main text> | <detail> -> 1"
  static const QRegularExpression form(QStringLiteral(R"(^alert (\d+): .* \| (.*) -> -?\d$)"));
  QStringList result;
  for (const QString &alert : alerts()) {
    const QRegularExpressionMatch match = form.match(alert);
    result.append(match.hasMatch() ? match.captured(1) + u' ' + match.captured(2) : alert);
  }
  return result;
}

QString PpInstallRun::text() const {
  return lines.join(u'\n') + (err.isEmpty() ? QString() : QStringLiteral("\nstderr: ") + err.trimmed());
}

PpInstallRun RunPpInstall(const Sandbox &box, const QString &controllerAddress, const QStringList &args) {
  QString out, err;
  QTextStream outStream(&out), errStream(&err);
  PpInstall tool(outStream, errStream);
  PpInstallRun run;
  run.exitCode = tool.execute(
      QStringList{"--device-root", box.root(), "--medium", "cf", "/D", controllerAddress} + args);
  outStream.flush();
  errStream.flush();
  run.lines = out.split(u'\n', Qt::SkipEmptyParts);
  run.err = err;
  return run;
}

QString Divergence(const Sandbox &box, const ControllerSim &controller, const AppCheck &check) {
  const QString pendant = QStringLiteral("\\DiskOnChip\\PP_APP");
  if (box.exists(QStringLiteral("\\Storage Card\\PP_APP\\TEMP"))) return QStringLiteral("TEMP left on the medium");
  if (!controller.exists(QStringLiteral("\\PP_APP")))
    return box.exists(pendant) ? QStringLiteral("pendant folder without a controller folder") : QString();
  const QByteArray menu = controller.read(QStringLiteral("\\PP_APP\\PP_MENU.INI"));
  if (menu.isEmpty()) return QStringLiteral("controller folder without a menu file");
  if (box.read(pendant + QStringLiteral("\\PP_MENU.INI")) != menu) return QStringLiteral("the menu files differ");

  static const QRegularExpression section(
      QStringLiteral("^APP_NAME = (.*)$[^[]*^APP_PATH = \"PP_APP\\\\([^\\\\]+)\\\\(.*)\"$[^[]*^APP_VER = (.*)$"),
      QRegularExpression::MultilineOption);
  QStringList expected{QStringLiteral("PP_MENU.INI")};
  auto it = section.globalMatch(CodePage::Decode(menu));
  while (it.hasNext()) {
    const QRegularExpressionMatch match = it.next();
    const QString name = match.captured(1), folder = match.captured(2), version = match.captured(4);
    expected.append(folder);
    if (!box.exists(pendant + u'\\' + folder + u'\\' + match.captured(3)))
      return QStringLiteral("no executable %1 on the pendant").arg(match.captured(3));
    if (!controller.exists(QStringLiteral("\\PP_APP\\%1.ZIP").arg(name)))
      return QStringLiteral("no archive %1.ZIP on the controller").arg(name);
    if (check)
      if (const QString wrong = check(name, folder, version); !wrong.isEmpty()) return wrong;
  }
  if (expected.size() != MediumBuilder::RegisteredNames(menu).size() + 1)
    return QStringLiteral("a registered application without its path or version");
  QStringList present = QDir(box.host(pendant)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  present.sort();
  expected.sort();
  if (present != expected)
    return QStringLiteral("pendant holds %1, the menu file names %2").arg(present.join(u','), expected.join(u','));
  return {};
}
