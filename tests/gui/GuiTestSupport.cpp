#include "GuiTestSupport.h"

#include "AlertWindow.h"

#include <QDir>
#include <QPushButton>
#include <QtTest>

AlertAnswerer::AlertAnswerer(const QList<int> &answers) : m_answers(answers) {
  connect(&m_timer, &QTimer::timeout, this, &AlertAnswerer::Poll);
  m_timer.start(5);
}

QStringList AlertAnswerer::messages() const {
  QStringList texts;
  for (const Seen &alert : seen) texts.append(alert.message);
  return texts;
}

void AlertAnswerer::Poll() {
  auto *window = qobject_cast<AlertWindow *>(QApplication::activeModalWidget());
  if (!window || !window->isVisible()) return;
  const int answer = m_answers.isEmpty() ? 1 : m_answers.takeFirst();
  seen.append({window->Message(), window->SubMessage()});
  if (answer == 2)
    QTest::keyClick(window->focusWidget() ? window->focusWidget() : window, Qt::Key_Escape);
  else
    QTest::mouseClick(answer == 0 ? window->SecondButton() : window->FirstButton(), Qt::LeftButton);
}

QString SaveScreenshot(QWidget *widget, const QString &name) {
  const QString folder = QStringLiteral(PP_BINARY_DIR "/screenshots");
  QDir().mkpath(folder);
  const QString path = folder + u'/' + name + QStringLiteral(".png");
  widget->grab().save(path);
  return path;
}
