#pragma once
// The operator, as the engine reaches them: the busy state, the status line
// and the alerts. The Qt main dialog and the headless front end implement
// it; tests bring one that records what it is shown and answers from a
// script. Handed to whatever reports; nothing reaches the operator otherwise.
#include "platform/Outcome.h"

#include <QString>

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
};
