#pragma once
// The installer's modal alert as the engine uses it: a main text from the
// string table, a detail line and one or two buttons. The object keeps its
// button settings for every later alert it shows; the window itself belongs
// to the front end behind the Reporter.
#include <QString>

class Reporter;

class AlertDialog {
 public:
  static constexpr int kFirstButton = 1013;
  static constexpr int kSecondButton = 1014;

  explicit AlertDialog(Reporter &reporter) : m_reporter(reporter) {}

  // 1 for OK/YES, 0 for Cancel/NO, 2 for Escape.
  int ShowAlert(int messageId, const QString &detail);
  void SetButtonState(int controlId, int value);
  void SetYesNoCaptions(int value);

 private:
  Reporter &m_reporter;
  bool m_bOkEnabled = true;
  bool m_bShowCancel = false;
  bool m_bYesNo = false;
};
