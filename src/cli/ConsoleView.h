#pragma once
// The headless view: prints every status and alert as one line, answers
// two-button alerts from the operator's scripted answers, and refreshes the
// list model wherever the dialog would repaint its list.
#include "app/Reporter.h"

#include <QList>
#include <QTextStream>
#include <functional>

class ConsoleView : public Reporter {
 public:
  explicit ConsoleView(QTextStream &out) : m_out(out) {}

  void SetBusy(bool busy) override;
  void ShowStatus(StatusLevel level, const QString &text) override;
  int ShowAlert(const AlertRequest &alert) override;

  // 1 (first button), 0 (second) or 2 (Escape), consumed in order.
  void SetAnswers(const QList<int> &answers) { m_answers = answers; }
  // Run at every busy change: the dialog repaints its list there.
  void SetRefresh(std::function<void()> refresh) { m_refresh = std::move(refresh); }
  bool AlertShown() const { return m_alertShown; }
  bool Busy() const { return m_busy; }

  // A line feed inside a text is written as the two characters \n.
  static QString OneLine(const QString &text);

 private:
  QTextStream &m_out;
  QList<int> m_answers;
  std::function<void()> m_refresh;
  bool m_alertShown = false;
  bool m_busy = false;
};
