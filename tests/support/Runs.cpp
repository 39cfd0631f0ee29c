#include "Runs.h"

#include "MediumBuilder.h"
#include "Paths.h"
#include "PpInstall.h"
#include "platform/CodePage.h"

#include <QDir>
#include <QRegularExpression>

QStringList Transcript::alerts() const { return lines.filter(QRegularExpression(QStringLiteral("^alert "))); }

QStringList Transcript::alertIdsAndDetails() const {
  // "alert 2011: <main text> | <detail> -> 1"
  static const QRegularExpression form(QStringLiteral(R"(^alert (\d+): .* \| (.*) -> -?\d$)"));
  QStringList result;
  for (const QString &alert : alerts()) {
    const QRegularExpressionMatch match = form.match(alert);
    result.append(match.hasMatch() ? match.captured(1) + u' ' + match.captured(2) : alert);
  }
  return result;
}


QString MissingInOrder(const QStringList &lines, const QStringList &expected) {
  qsizetype at = 0;
  for (const QString &line : expected) {
    at = lines.indexOf(line, at);
    if (at++ < 0) return line;
  }
  return {};
}

QString PpInstallRun::text() const {
  return lines.join(u'\n') + (err.isEmpty() ? QString() : QStringLiteral("\nstderr: ") + err.trimmed());
}

Transcript RecordedView::transcript() {
  stream.flush();
  return {text.split(u'\n', Qt::SkipEmptyParts)};
}

bool Rig::start() {
  qputenv("PP_FTP_CONNECT_TIMEOUT_MS", "2000");
  qputenv("PP_FTP_STALL_TIMEOUT_MS", "2000");
  m_sim = std::make_unique<ControllerSim>();
  return m_sim->isRunning();
}

bool Rig::reset() {
  m_box.reset();
  m_box = std::make_unique<Sandbox>();
  m_box->mkdir(kMedium);
  return m_sim->reset() && m_box->installUnzip();
}

PpInstallRun Rig::run(const QStringList &args) const {
  QString out, err;
  QTextStream outStream(&out), errStream(&err);
  PpInstall tool(outStream, errStream);
  PpInstallRun run;
  run.exitCode =
      tool.execute(QStringList{"--device-root", m_box->root(), "--medium", "cf", "/D", m_sim->address()} + args);
  outStream.flush();
  errStream.flush();
  run.lines = out.split(u'\n', Qt::SkipEmptyParts);
  run.err = err;
  return run;
}

QStringList Rig::registered() const { return MediumBuilder::RegisteredNames(m_sim->read(kControllerMenu)); }

QString Rig::sides() const {
  static const QRegularExpression shown(QStringLiteral("^[^/]+(/[^/]+\\.exe)?$"));
  const auto side = [](bool exists, const QStringList &files, const QByteArray &menu) {
    return exists ? (files + QStringList{u'[' + MediumBuilder::RegisteredNames(menu).join(u' ') + u']'}).join(u' ')
                  : QStringLiteral("-");
  };
  return side(m_box->exists(kPendant), m_box->tree(kPendant).filter(shown), m_box->read(kPendantMenu)) + " | " +
         side(m_sim->exists(kController), m_sim->entries(kController), m_sim->read(kControllerMenu));
}

QString Rig::divergence(const AppCheck &check) const {
  if (m_box->exists(kMedium + QStringLiteral("\\TEMP"))) return QStringLiteral("TEMP left on the medium");
  if (!m_sim->exists(kController))
    return m_box->exists(kPendant) ? QStringLiteral("pendant folder without a controller folder") : QString();
  const QByteArray menu = m_sim->read(kControllerMenu);
  if (menu.isEmpty()) return QStringLiteral("controller folder without a menu file");
  if (m_box->read(kPendantMenu) != menu) return QStringLiteral("the menu files differ");

  static const QRegularExpression section(
      QStringLiteral("^APP_NAME = (.*)$[^[]*^APP_PATH = \"PP_APP\\\\([^\\\\]+)\\\\(.*)\"$[^[]*^APP_VER = (.*)$"),
      QRegularExpression::MultilineOption);
  QStringList expected{QStringLiteral("PP_MENU.INI")};
  auto it = section.globalMatch(CodePage::Decode(menu));
  while (it.hasNext()) {
    const QRegularExpressionMatch match = it.next();
    const QString name = match.captured(1), folder = match.captured(2), version = match.captured(4);
    expected.append(folder);
    if (!m_box->exists(kPendant + u'\\' + folder + u'\\' + match.captured(3)))
      return QStringLiteral("no executable %1 on the pendant").arg(match.captured(3));
    if (!m_sim->exists(QStringLiteral("\\PP_APP\\%1.ZIP").arg(name)))
      return QStringLiteral("no archive %1.ZIP on the controller").arg(name);
    if (check)
      if (const QString wrong = check(name, folder, version); !wrong.isEmpty()) return wrong;
  }
  if (expected.size() != MediumBuilder::RegisteredNames(menu).size() + 1)
    return QStringLiteral("a registered application without its path or version");
  QStringList present =
      QDir(m_box->host(kPendant)).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  present.sort();
  expected.sort();
  if (present != expected)
    return QStringLiteral("pendant holds %1, the menu file names %2").arg(present.join(u','), expected.join(u','));
  return {};
}
