#pragma once
// The installer's modal alert: a main text from the string table, a detail
// line and one or two buttons. The object keeps its button settings for every
// later alert it shows; the window itself belongs to the view.
#include <QString>

class AlertDialog {
 public:
  static constexpr int kFirstButton = 1013;
  static constexpr int kSecondButton = 1014;

  AlertDialog() = default;

  // 1 for OK/YES, 0 for Cancel/NO, 2 for Escape, -1 when nothing could show it.
  int ShowAlert(int messageId, const QString &detail);
  void SetButtonState(int controlId, int value);
  void SetYesNoCaptions(int value);

  bool OkEnabled() const { return m_bOkEnabled; }
  bool ShowCancel() const { return m_bShowCancel; }
  bool YesNo() const { return m_bYesNo; }
  const QString &Message() const { return m_strMessage; }
  const QString &SubMessage() const { return m_strSubMessage; }

 private:
  QString m_strMessage;
  QString m_strSubMessage;
  bool m_bOkEnabled = true;
  bool m_bShowCancel = false;
  bool m_bYesNo = false;
};
