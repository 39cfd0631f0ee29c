#pragma once
// The dialog in which the operator picks the auto-run application and the
// one bound to the one-touch button from two drop-down lists. It lies over
// the application list, and it is reused: every use starts from the
// candidates added for it.
#include <QDialog>
#include <QRect>
#include <QStringList>
#include <memory>

class DropDownList;
class QLabel;
class QPushButton;

class OptionDialog : public QDialog {
  Q_OBJECT

 public:
  struct Choice {
    QString autoRun;   // empty: no application
    QString oneTouch;  // empty: no application
  };

  explicit OptionDialog(QWidget *parent = nullptr);
  ~OptionDialog() override;

  // Appends a candidate; a non-zero select index preselects that index (the
  // last one given wins).
  void AddAutoRunChoice(const QString &name, int select);
  void AddOneTouchChoice(const QString &name, int select);
  // Shows the dialog modally over `place` (screen pixels) and returns the
  // names chosen, however it was closed; afterwards the candidates are gone.
  Choice Run(const QRect &place);

  DropDownList *AutoRunList() const { return m_cbAutoRun; }
  DropDownList *OneTouchList() const { return m_cbOneTouch; }
  QPushButton *ReturnButton() const { return m_btnReturn; }

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  void InitDialog();
  static QString Chosen(const QStringList &names, int index);

  std::unique_ptr<QFont> m_pFont;
  QRect m_rcPlace;
  QStringList m_arrAutoRun;
  QStringList m_arrOneTouch;
  int m_nAutoRunSel = 0;
  int m_nOneTouchSel = 0;
  DropDownList *m_cbOneTouch;
  DropDownList *m_cbAutoRun;
  QPushButton *m_btnReturn;
};
