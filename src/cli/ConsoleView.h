#pragma once
// The headless view: prints every event as one line, answers two-button
// alerts from the operator's scripted answers, and refreshes the list model
// wherever the dialog would repaint its list. As text (status lines and
// alerts, progress on request) or as one JSON object per line for scripts.
#include "app/Reporter.h"

#include <QJsonObject>
#include <QList>
#include <QTextStream>
#include <functional>

class ConsoleView : public Reporter {
 public:
  enum class Format { Text, TextWithProgress, Json };

  explicit ConsoleView(QTextStream &out, Format format = Format::Text) : m_out(out), m_format(format) {}

  void SetBusy(bool busy) override;
  void ShowStatus(StatusLevel level, const QString &text) override;
  int ShowAlert(const AlertRequest &alert) override;
  void ShowProgress(const Progress &progress) override;
  void ShowSummary(const RunSummary &summary) override;
  void RecordDetail(const QString &text) override;

  // What pp-install prints beyond the events: a row of the list, a refused
  // mark, a figure of the dry run.
  void PrintRow(const QStringList &columns);
  void PrintRefused(const QString &operation, const QString &name);
  void PrintFigure(const QString &name, const QString &textLabel, qint64 value, const QString &unit = {});

  // 1 (first button), 0 (second) or 2 (Escape), consumed in order.
  void SetAnswers(const QList<int> &answers) { m_answers = answers; }
  // Run at every busy change: the dialog repaints its list there.
  void SetRefresh(std::function<void()> refresh) { m_refresh = std::move(refresh); }
  bool AlertShown() const { return m_alertShown; }
  bool Busy() const { return m_busy; }

  static QJsonObject ProgressJson(const Progress &progress);
  static QJsonObject SummaryJson(const RunSummary &summary);

 private:
  void Print(const QJsonObject &event);

  QTextStream &m_out;
  Format m_format;
  QList<int> m_answers;
  std::function<void()> m_refresh;
  bool m_alertShown = false;
  bool m_busy = false;
  int m_alertsSinceSummary = 0;
};
