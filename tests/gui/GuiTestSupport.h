#pragma once
// Driving the real windows in GUI tests: modal windows are handled from a
// timer while their own loop runs, and screenshots go to the build folder.
#include <QApplication>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>

class AlertWindow;

// While it lives, answers every alert that appears through its real buttons
// and keys: 1 clicks the first button, 0 the second, 2 releases Escape; when
// the script is used up, the first button. Records what each alert showed.
class AlertAnswerer : public QObject {
 public:
  struct Seen {
    QString message;
    QString detail;
  };
  explicit AlertAnswerer(const QList<int> &answers = {});

  QList<Seen> seen;
  QStringList messages() const;

 private:
  void Poll();

  QTimer m_timer;
  QList<int> m_answers;
};

// Runs the action once, on the first visible modal window of type T.
template <class T>
void WhenShown(std::function<void(T *)> action) {
  auto *timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
    T *window = qobject_cast<T *>(QApplication::activeModalWidget());
    if (!window || !window->isVisible()) return;
    timer->deleteLater();
    timer->stop();
    action(window);
  });
  timer->start(5);
}

// Saves a picture of the widget as build folder/screenshots/name.png.
QString SaveScreenshot(QWidget *widget, const QString &name);
