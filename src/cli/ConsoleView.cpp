#include "ConsoleView.h"

#include "app/EventLines.h"

#include <QJsonArray>
#include <QJsonDocument>

void ConsoleView::Print(const QJsonObject &event) {
  m_out << QJsonDocument(event).toJson(QJsonDocument::Compact) << Qt::endl;
}

void ConsoleView::SetBusy(bool busy) {
  m_busy = busy;
  if (m_refresh) m_refresh();
}

void ConsoleView::ShowStatus(StatusLevel level, const QString &text) {
  if (m_format == Format::Json)
    Print({{"event", "status"}, {"level", static_cast<int>(level)}, {"text", text}});
  else
    m_out << EventLines::Status(level, text) << Qt::endl;
}

int ConsoleView::ShowAlert(const AlertRequest &alert) {
  m_alertShown = true;
  ++m_alertsSinceSummary;
  // A single-button alert is answered as Enter would: the first button.
  int result = 1;
  if (alert.showCancel && !m_answers.isEmpty()) result = m_answers.takeFirst();
  if (m_format == Format::Json)
    Print({{"event", "alert"}, {"id", alert.messageId}, {"text", alert.message}, {"detail", alert.detail}, {"answer", result}});
  else
    m_out << EventLines::Alert(alert, result) << Qt::endl;
  return result;
}

QJsonObject ConsoleView::ProgressJson(const Progress &p) {
  return {{"event", "progress"},         {"stage", p.stage},
          {"file", p.file},              {"fileDone", p.fileDone},
          {"fileTotal", p.fileTotal},    {"filesDone", p.filesDone},
          {"filesTotal", p.filesTotal},  {"bytesDone", p.bytesDone},
          {"bytesTotal", p.bytesTotal}};
}

QJsonObject ConsoleView::SummaryJson(const RunSummary &s) {
  return {{"event", "summary"},
          {"stage", s.stage},
          {"installed", QJsonArray::fromStringList(s.installed)},
          {"updated", QJsonArray::fromStringList(s.updated)},
          {"removed", QJsonArray::fromStringList(s.removed)},
          {"kept", QJsonArray::fromStringList(s.kept)},
          {"sent", QJsonArray::fromStringList(s.sent)},
          {"fetched", QJsonArray::fromStringList(s.fetched)},
          {"bytesSent", s.bytesSent},
          {"bytesFetched", s.bytesFetched},
          {"seconds", double(s.milliseconds) / 1000.0}};
}

void ConsoleView::ShowProgress(const Progress &progress) {
  if (m_format == Format::Json)
    Print(ProgressJson(progress));
  else if (m_format == Format::TextWithProgress)
    m_out << EventLines::ProgressLine(progress) << Qt::endl;
}

void ConsoleView::ShowSummary(const RunSummary &summary) {
  if (m_format == Format::Json) {
    QJsonObject event = SummaryJson(summary);
    event.insert(QStringLiteral("alerts"), m_alertsSinceSummary);
    Print(event);
  }
  m_alertsSinceSummary = 0;
}

void ConsoleView::RecordDetail(const QString &text) {
  if (m_format == Format::Json) Print({{"event", "detail"}, {"text", text}});
}

void ConsoleView::PrintRow(const QStringList &columns) {
  if (m_format == Format::Json)
    Print({{"event", "row"}, {"columns", QJsonArray::fromStringList(columns)}});
  else
    m_out << columns.join(QStringLiteral(" | ")) << Qt::endl;
}

void ConsoleView::PrintRefused(const QString &operation, const QString &name) {
  if (m_format == Format::Json)
    Print({{"event", "refused"}, {"operation", operation}, {"name", name}});
  else
    m_out << "refused " << operation << ": " << name << Qt::endl;
}

void ConsoleView::PrintFigure(const QString &name, const QString &textLabel, qint64 value, const QString &unit) {
  if (m_format == Format::Json)
    Print({{"event", "figure"}, {"name", name}, {"value", value}});
  else
    m_out << textLabel << ": " << value << (unit.isEmpty() ? QString() : u' ' + unit) << Qt::endl;
}
