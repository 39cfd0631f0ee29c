#include "StatusLine.h"

#include <QPainter>

StatusLine::StatusLine(QWidget *parent) : QLabel(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setAutoFillBackground(true);
  setTextFormat(Qt::PlainText);
  m_crText = palette().color(QPalette::WindowText);
  m_crBack = palette().color(QPalette::Window);
}

QColor StatusLine::TextColor(StatusLevel level) {
  switch (level) {
    case StatusLevel::Error:
      return QColor(255, 0, 0);
    case StatusLevel::Warning:
      return QColor(255, 255, 0);
    case StatusLevel::Transfer:
      return QColor(0, 255, 0);
    default:
      return QColor(0, 0, 0);
  }
}

QColor StatusLine::BackgroundColor(StatusLevel level) {
  return level == StatusLevel::Info ? QColor(160, 160, 160) : QColor(40, 50, 150);
}

int StatusLine::FillWidth(const Progress &progress, int width) {
  const auto part = [](qint64 done, qint64 total) { return total > 0 ? qBound(0.0, double(done) / total, 1.0) : 0.0; };
  double done = 0;
  if (progress.bytesTotal > 0)
    done = part(progress.bytesDone, progress.bytesTotal);
  else if (progress.filesTotal > 0)
    done = (progress.filesDone + part(progress.fileDone, progress.fileTotal)) / progress.filesTotal;
  else if (progress.fileTotal > 0)
    done = part(progress.fileDone, progress.fileTotal);
  else
    return -1;
  return qBound(0, static_cast<int>(done * width), width);
}

void StatusLine::Show(StatusLevel level, const QString &text) {
  m_nLevel = level;
  m_crText = TextColor(level);
  m_crBack = BackgroundColor(level);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, m_crText);
  colours.setColor(QPalette::Window, m_crBack);
  setPalette(colours);
  setText(text);
  repaint();
}

void StatusLine::SetFill(int width) {
  if (width == m_nFill) return;
  m_nFill = width;
  update();
}

void StatusLine::paintEvent(QPaintEvent *event) {
  if (m_nFill > 0) {
    // A lighter shade of the level's background: the text keeps its contrast.
    QRect done = contentsRect();
    done.setWidth(qMin(m_nFill, done.width()));
    QPainter(this).fillRect(done, m_crBack.lighter(m_nLevel == StatusLevel::Info ? 125 : 170));
  }
  QLabel::paintEvent(event);
}
