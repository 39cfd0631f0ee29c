#pragma once
// The window of an alert: a box without a caption, centred on the window it
// speaks for, the main text and the detail line word-wrapped, and one button
// ("OK") or two ("OK"/"Cancel" or "YES"/"NO"). Enter presses the focused button, at first the first one;
// releasing Escape answers 2.
#include "app/Reporter.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;

class AlertWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kEscape = 2;

  explicit AlertWindow(const AlertRequest &request, QWidget *parent = nullptr);
  ~AlertWindow() override;

  // Shows the alert modally: 1 for the first button, 0 for the second, 2 for
  // Escape.
  int Run();

  QPushButton *FirstButton() const { return m_btnOk; }
  QPushButton *SecondButton() const { return m_btnCancel; }
  QString Message() const;
  QString SubMessage() const;

 protected:
  void keyPressEvent(QKeyEvent *event) override;
  void keyReleaseEvent(QKeyEvent *event) override;

 private:
  void InitDialog(const AlertRequest &request);

  QPushButton *m_btnOk;
  QPushButton *m_btnCancel;
  QLabel *m_stcMessage;
  QLabel *m_stcSubMessage;
  std::unique_ptr<QFont> m_pFont;
};
