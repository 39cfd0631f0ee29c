#pragma once
// The installer's modal alert as the engine uses it: a main text from the
// string table, a detail line and one or two buttons. Button settings hold
// for the next alert only; the window itself belongs to the front end behind
// the Reporter.
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
  // Captions of a question's own, as string ids.
  void SetCaptions(int first, int second) {
    m_firstCaption = first;
    m_secondCaption = second;
  }

 private:
  Reporter &m_reporter;
  bool m_bOkEnabled = true;
  bool m_bShowCancel = false;
  bool m_bYesNo = false;
  int m_firstCaption = 0;
  int m_secondCaption = 0;
};
