#include "ConsoleView.h"

QString ConsoleView::OneLine(const QString &text) {
  QString line = text;
  line.replace(u'\n', QStringLiteral("\\n"));
  return line;
}

void ConsoleView::SetBusy(bool busy) {
  m_busy = busy;
  if (m_refresh) m_refresh();
}

void ConsoleView::ShowStatus(StatusLevel level, const QString &text) {
  m_out << "status " << static_cast<int>(level) << ": " << OneLine(text) << Qt::endl;
}

int ConsoleView::ShowAlert(const AlertRequest &alert) {
  m_alertShown = true;
  // A single-button alert is answered as Enter would: the first button.
  int result = 1;
  if (alert.showCancel && !m_answers.isEmpty()) result = m_answers.takeFirst();
  m_out << "alert " << alert.messageId << ": " << OneLine(alert.message) << " | " << OneLine(alert.detail) << " -> "
        << result << Qt::endl;
  return result;
}
