#pragma once
// The installer's own record on the pendant, \DiskOnChip\PP_INSTALL.LOG:
// one timestamped line per status line, alert and answer, technician's
// detail and run summary, for whoever services the pendant afterwards. It
// keeps the newest lines: past its limit the file becomes PP_INSTALL.OLD
// (one older generation) and a new one starts. A log that cannot be written
// is skipped: it never stops an installation.
#include "app/Reporter.h"

#include <QString>

class SessionLog {
 public:
  static constexpr qint64 kLimitBytes = 1024 * 1024;
  static const QString kDevicePath;  // "\DiskOnChip\PP_INSTALL.LOG"

  // A host path; empty writes nothing.
  explicit SessionLog(const QString &hostPath, qint64 limitBytes = kLimitBytes);

  void Write(const QString &line);
  const QString &Path() const { return m_path; }

  // The older generation's name beside the log: the extension becomes OLD.
  static QString OlderPath(const QString &path);
  // The log on the device, or empty when the device has no flash disk.
  static QString DevicePath();

 private:
  QString m_path;
  qint64 m_limit;
};

// A view that also writes what it is shown to the session log.
class LoggedReporter : public Reporter {
 public:
  LoggedReporter(Reporter &view, SessionLog &log) : m_view(view), m_log(log) {}

  void SetBusy(bool busy) override { m_view.SetBusy(busy); }
  void ShowStatus(StatusLevel level, const QString &text) override;
  int ShowAlert(const AlertRequest &alert) override;
  void ShowProgress(const Progress &progress) override { m_view.ShowProgress(progress); }
  void ShowSummary(const RunSummary &summary) override;
  void RecordDetail(const QString &text) override;

 private:
  Reporter &m_view;
  SessionLog &m_log;
};
