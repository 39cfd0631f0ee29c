#include "ControllerSim.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int kStartMs = 15000;
constexpr int kStopMs = 5000;

}  // namespace

ControllerSim::ControllerSim(const QString &root, const QStringList &switches) {
  if (root.isEmpty()) {
    m_ownRoot = std::make_unique<QTemporaryDir>();
    m_root = m_ownRoot->path();
  } else {
    m_root = QFileInfo(root).absoluteFilePath();
  }
  start(switches, 0);
}

ControllerSim::~ControllerSim() { stop(); }

bool ControllerSim::isRunning() const { return m_port != 0 && m_process.state() == QProcess::Running; }

QString ControllerSim::address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

bool ControllerSim::start(const QStringList &switches, quint16 port) {
  m_port = 0;
  m_switches = switches;
  m_logOffset = m_checkedOffset = 0;
  m_logPath = m_logDir.filePath(QStringLiteral("controller-sim-%1.log").arg(++m_starts));
  // A file, not a pipe: a test blocked in a transfer never reads the log,
  // and a full pipe would stall the server.
  m_process.setStandardErrorFile(m_logPath);
  QStringList arguments{QStringLiteral("--strict"), QStringLiteral("--root"), m_root, QStringLiteral("--host"),
                        QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(port)};
  arguments += switches;
  // Debian's own python, which has the server module, whatever else is on the path.
  m_process.setProgram(QStringLiteral("/usr/bin/python3"));
  m_process.setArguments(QStringList{QStringLiteral(PP_CONTROLLER_SIM)} + arguments);
  m_process.start();
  if (!m_process.waitForStarted(kStartMs)) return false;

  // The first line on stdout is the port: the server is listening by then.
  QByteArray out;
  const QDeadlineTimer deadline(kStartMs);
  while (!out.contains('\n') && m_process.waitForReadyRead(int(deadline.remainingTime())))
    out += m_process.readAllStandardOutput();
  bool ok = false;
  const uint parsed = out.left(out.indexOf('\n')).trimmed().toUInt(&ok);
  if (!ok || parsed == 0 || parsed > 65535) {
    stop();
    return false;
  }
  m_port = quint16(parsed);
  return true;
}

void ControllerSim::stop() {
  checkCommandSet();
  if (m_process.state() != QProcess::NotRunning) {
    m_process.terminate();  // SIGTERM: the server closes its sockets and exits
    if (!m_process.waitForFinished(kStopMs)) {
      m_process.kill();
      m_process.waitForFinished(kStopMs);
    }
  }
}

bool ControllerSim::restart(const QStringList &switches) {
  const quint16 previous = m_port;
  stop();
  if (previous != 0 && start(switches, previous)) return true;
  return start(switches, 0);
}

bool ControllerSim::setFaults(const QStringList &switches) {
  return (isRunning() && switches == m_switches) || restart(switches);
}

bool ControllerSim::reset() {
  if (!setFaults({})) return false;
  for (const QFileInfo &info : QDir(m_root).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
    info.isDir() ? QDir(info.filePath()).removeRecursively() : QFile::remove(info.filePath());
  clearLog();
  return true;
}

QString ControllerSim::log() const {
  QFile file(m_logPath);
  if (!file.open(QIODevice::ReadOnly) || !file.seek(m_logOffset)) return {};
  return QString::fromUtf8(file.readAll());
}

void ControllerSim::clearLog() {
  checkCommandSet();
  m_logOffset = QFileInfo(m_logPath).size();
}

QStringList ControllerSim::takeRefusedCommands() {
  QFile file(m_logPath);
  if (!file.open(QIODevice::ReadOnly) || !file.seek(m_checkedOffset)) return {};
  QStringList refused = QString::fromUtf8(file.readAll()).split(u'\n').filter(QStringLiteral("] strict: refused "));
  m_checkedOffset = file.pos();
  return refused.replaceInStrings(QRegularExpression(QStringLiteral(R"(^\[\d+\] strict: refused )")), QString());
}

void ControllerSim::checkCommandSet() {
  const QStringList refused = takeRefusedCommands();
  if (refused.isEmpty()) return;
  const QByteArray message = "commands the controller does not know: " + refused.join(u", ").toUtf8();
  if (QTest::currentTestFunction()) QTest::qFail(message.constData(), __FILE__, __LINE__);
  else qFatal("%s", message.constData());  // between the tests: the whole run fails
}

QStringList ControllerSim::commands() const {
  static const QRegularExpression command(QStringLiteral(R"(^\[\d+\] <- (.*)$)"),
                                          QRegularExpression::MultilineOption);
  QStringList found;
  auto it = command.globalMatch(log());
  while (it.hasNext()) found.append(it.next().captured(1));
  return found;
}

QString ControllerSim::hostPath(const QString &controllerPath) const {
  QString host = m_root;
  for (const QString &part : QString(controllerPath).replace(u'\\', u'/').split(u'/', Qt::SkipEmptyParts)) {
    if (part == u"." || part == u"..") continue;
    QString match = part;
    const QStringList names = QDir(host).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    if (!names.contains(part)) {
      for (const QString &name : names) {
        if (name.compare(part, Qt::CaseInsensitive) == 0) {
          match = name;
          break;
        }
      }
    }
    host += u'/' + match;
  }
  return host;
}

void ControllerSim::write(const QString &controllerPath, const QByteArray &bytes) const {
  const QString path = hostPath(controllerPath);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray ControllerSim::read(const QString &controllerPath) const {
  QFile file(hostPath(controllerPath));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ControllerSim::exists(const QString &controllerPath) const {
  return QFileInfo::exists(hostPath(controllerPath));
}

QStringList ControllerSim::entries(const QString &controllerFolder) const {
  QStringList names;
  const QFileInfoList infos = QDir(hostPath(controllerFolder))
                                  .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
  for (const QFileInfo &info : infos) names.append(info.fileName() + (info.isDir() ? QStringLiteral("/") : QString()));
  return names;
}
