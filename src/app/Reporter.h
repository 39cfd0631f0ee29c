#pragma once
// The operator, as the engine reaches them: the busy state, the status line,
// the alerts, how far long work has got and what a run did. The Qt main
// dialog and the headless front end implement it; the session log listens
// in; tests bring one that records what it is shown and answers from a
// script. Handed to whatever reports; nothing reaches the operator otherwise.
#include "platform/Outcome.h"

#include <QString>
#include <QStringList>

struct AlertRequest {
  int messageId = 0;
  QString message;  // main text from the string table
  QString detail;   // second line
  bool okEnabled = true;
  bool showCancel = false;  // two buttons
  bool yesNo = false;       // "YES"/"NO" captions instead of "OK"/"Cancel"
  int firstCaption = 0;     // string ids of captions of the question's own, or 0
  int secondCaption = 0;
};

// How far a long piece of work has got: the file in hand, and the stage as a
// whole. Within one stage the counts only grow. Totals of 0 are not known.
struct Progress {
  QString stage;  // "rebuild" (start-up), "unpack", "send", "restore"
  QString file;   // the archive or file in hand
  qint64 fileDone = 0;
  qint64 fileTotal = 0;
  int filesDone = 0;  // files finished before this one
  int filesTotal = 0;
  qint64 bytesDone = 0;
  qint64 bytesTotal = 0;
};

// What a start-up or an Execute did to the registered applications.
struct RunSummary {
  QString stage;  // "start-up" or "execute"
  QStringList installed, updated, removed, kept;  // application names
  QStringList sent;     // files sent to the controller
  QStringList fetched;  // archives fetched from it
  qint64 bytesSent = 0;
  qint64 bytesFetched = 0;
  qint64 milliseconds = 0;
  int alerts = 0;  // alerts shown during the stage
};

class Reporter {
 public:
  // The answers to an alert.
  static constexpr int kFirstButton = 1;   // OK or YES
  static constexpr int kSecondButton = 0;  // Cancel or NO
  static constexpr int kEscape = 2;

  virtual ~Reporter() = default;
  virtual void SetBusy(bool busy) = 0;
  virtual void ShowStatus(StatusLevel level, const QString &text) = 0;
  // Shows the alert modally and returns the operator's answer.
  virtual int ShowAlert(const AlertRequest &alert) = 0;
  // Called often while a file moves or unpacks; a view may repaint here but
  // must not take input.
  virtual void ShowProgress(const Progress & /*progress*/) {}
  virtual void ShowSummary(const RunSummary & /*summary*/) {}
  // The technician's words behind a failure the operator saw: the extraction
  // library's refusal, a server's reply. For logs and scripts, not the dialog.
  virtual void RecordDetail(const QString & /*text*/) {}
};
