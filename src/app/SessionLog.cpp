#include "SessionLog.h"

#include "EventLines.h"
#include "platform/Device.h"

#include <QDateTime>
#include <QFile>
#include <QDir>
#include <QFileInfo>

const QString SessionLog::kDevicePath = QStringLiteral("\\DiskOnChip\\PP_INSTALL.LOG");

SessionLog::SessionLog(const QString &hostPath, qint64 limitBytes) : m_path(hostPath), m_limit(limitBytes) {}

QString SessionLog::OlderPath(const QString &path) {
  const QFileInfo info(path);
  const QString base = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
  return info.dir().filePath(base + QStringLiteral(".OLD"));
}

QString SessionLog::DevicePath() {
  if (!Device::IsDirectory(QStringLiteral("\\DiskOnChip"))) return {};
  return Device::MapPath(kDevicePath).value_or(QString());
}

void SessionLog::Write(const QString &line) {
  if (m_path.isEmpty()) return;
  const QByteArray bytes =
      (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz ")) + line + u'\n').toUtf8();
  const QFileInfo info(m_path);
  if (info.exists() && info.size() + bytes.size() > m_limit) {
    const QString older = OlderPath(m_path);
    QFile::remove(older);
    QFile::rename(m_path, older);
  }
  // Opened for each line: nothing is lost to a power cut but the line being
  // written, and a log that went missing meanwhile simply starts again.
  QFile file(m_path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Append)) file.write(bytes);
}

void LoggedReporter::ShowStatus(StatusLevel level, const QString &text) {
  m_log.Write(EventLines::Status(level, text));
  m_view.ShowStatus(level, text);
}

int LoggedReporter::ShowAlert(const AlertRequest &alert) {
  const int answer = m_view.ShowAlert(alert);
  m_log.Write(EventLines::Alert(alert, answer));
  return answer;
}

void LoggedReporter::ShowSummary(const RunSummary &summary) {
  m_log.Write(EventLines::Summary(summary));
  m_view.ShowSummary(summary);
}

void LoggedReporter::RecordDetail(const QString &text) {
  m_log.Write(EventLines::Detail(text));
  m_view.RecordDetail(text);
}
