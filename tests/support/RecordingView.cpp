#include "RecordingView.h"

void RecordingView::SetBusy(bool value) {
  busy = value;
}

void RecordingView::ShowStatus(int level, const QString &text) {
  statuses.append({level, text});
  log.append(QStringLiteral("status %1: %2").arg(level).arg(text));
}

int RecordingView::ShowAlert(const AlertRequest &alert) {
  int result = 1;
  if (alert.showCancel && !m_answers.isEmpty()) result = m_answers.takeFirst();
  alerts.append({alert, result});
  log.append(QStringLiteral("alert %1: %2 | %3 -> %4").arg(alert.messageId).arg(alert.message, alert.detail).arg(result));
  return result;
}

QList<int> RecordingView::alertIds() const {
  QList<int> ids;
  for (const Alert &alert : alerts) ids.append(alert.request.messageId);
  return ids;
}

QStringList RecordingView::alertIdsAndDetails() const {
  QStringList result;
  for (const Alert &alert : alerts) result.append(QString::number(alert.request.messageId) + u' ' + alert.request.detail);
  return result;
}

QStringList RecordingView::statusTexts() const {
  QStringList texts;
  for (const Status &status : statuses) texts.append(status.text);
  return texts;
}

void RecordingView::clear() {
  statuses.clear();
  alerts.clear();
  log.clear();
}
