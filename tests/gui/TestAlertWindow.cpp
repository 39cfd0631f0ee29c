// The alert window: captions, buttons, answers and the cursor around it,
// shown through the engine's alert object and the main dialog's view.
#include "AlertWindow.h"
#include "GuiTestSupport.h"
#include "InstallerDialog.h"
#include "UiFonts.h"
#include "WaitCursor.h"
#include "app/AlertDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

class TestAlertWindow : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiFonts::InstallSubstitutions(); }
  void cleanup() { WaitCursor::Remove(); }
  void buttons_data();
  void buttons();
  void singleButtonAlert();
};

void TestAlertWindow::buttons_data() {
  QTest::addColumn<bool>("two");
  QTest::addColumn<bool>("yesNo");
  QTest::addColumn<QString>("action");
  QTest::addColumn<QString>("second");  // caption, empty when hidden
  QTest::addColumn<int>("result");
  QTest::newRow("OK clicked") << false << false << "first" << "" << 1;
  QTest::newRow("OK by Enter") << false << false << "enter" << "" << 1;
  QTest::newRow("one button, Escape") << false << false << "escape" << "" << 2;
  QTest::newRow("Cancel clicked") << true << false << "second" << "Cancel" << 0;
  QTest::newRow("Enter presses the first") << true << false << "enter" << "Cancel" << 1;
  QTest::newRow("Enter presses the focused second") << true << false << "tab enter" << "Cancel" << 0;
  QTest::newRow("NO clicked") << true << true << "second" << "NO" << 0;
  QTest::newRow("YES clicked") << true << true << "first" << "NO" << 1;
  QTest::newRow("YES/NO, Escape") << true << true << "escape" << "NO" << 2;
}

void TestAlertWindow::buttons() {
  QFETCH(bool, two);
  QFETCH(bool, yesNo);
  QFETCH(QString, action);
  QFETCH(QString, second);
  QFETCH(int, result);

  InstallerDialog view(2);  // the view the alert object reaches; never shown
  AlertDialog alert;
  if (two) alert.SetButtonState(AlertDialog::kSecondButton, 1);
  if (yesNo) {
    alert.SetButtonState(AlertDialog::kFirstButton, 1);
    alert.SetYesNoCaptions(1);
  }
  QString firstCaption, secondCaption;
  bool cursorWhileShown = true, openAfterEscapePress = false;
  WhenShown<AlertWindow>([&](AlertWindow *window) {
    firstCaption = window->FirstButton()->text();
    secondCaption = window->SecondButton()->isVisible() ? window->SecondButton()->text() : QString();
    cursorWhileShown = QGuiApplication::overrideCursor() != nullptr;
    QWidget *focus = window->focusWidget();
    if (action == "first") {
      QTest::mouseClick(window->FirstButton(), Qt::LeftButton);
    } else if (action == "second") {
      QTest::mouseClick(window->SecondButton(), Qt::LeftButton);
    } else if (action == "escape") {
      QTest::keyPress(focus, Qt::Key_Escape);
      openAfterEscapePress = window->isVisible();
      QTest::keyRelease(focus, Qt::Key_Escape);
    } else {
      if (action == "tab enter") QTest::keyClick(focus, Qt::Key_Tab);
      QTest::keyClick(window->focusWidget(), Qt::Key_Return);
    }
  });
  QCOMPARE(alert.ShowAlert(2019, QStringLiteral("error file :(Tool.ZIP)")), result);
  QCOMPARE(firstCaption, QString(yesNo ? "YES" : "OK"));
  QCOMPARE(secondCaption, second);
  QVERIFY2(!cursorWhileShown, "no cursor while the alert shows");
  QVERIFY2(WaitCursor::IsShown(), "the wait cursor is back after the alert");
  if (action == "escape") QVERIFY2(openAfterEscapePress, "pressing Escape alone does not answer");
}

void TestAlertWindow::singleButtonAlert() {
  InstallerDialog view(2);
  AlertDialog alert;
  QRect okGeometry, frame;
  QString message, detail, family;
  bool wraps = false, frameless = false;
  WhenShown<AlertWindow>([&](AlertWindow *window) {
    okGeometry = window->FirstButton()->geometry();
    frame = window->frameGeometry();
    auto labels = window->findChildren<QLabel *>();
    wraps = labels.size() == 2 && labels[0]->wordWrap() && labels[1]->wordWrap();
    message = window->Message();
    detail = window->SubMessage();
    frameless = window->windowFlags().testFlag(Qt::FramelessWindowHint);
    family = QFontInfo(labels[0]->font()).family();
    SaveScreenshot(window, QStringLiteral("alert-2012"));
    QTest::keyClick(window->focusWidget(), Qt::Key_Return);
  });
  QCOMPARE(alert.ShowAlert(2012, QStringLiteral("error function. (UploadKtcAppFile)")), 1);
  QCOMPARE(okGeometry, QRect(165, 130, 135, 40));
  QCOMPARE(message, QString("FATAL ERROR\n FTP connect error."));
  QCOMPARE(detail, QString("error function. (UploadKtcAppFile)"));
  QVERIFY(wraps);
  QVERIFY(frameless);
  QCOMPARE(family, QString("IPAGothic"));
  QCOMPARE(frame.center(), view.screen()->geometry().center());
}

QTEST_MAIN(TestAlertWindow)
#include "TestAlertWindow.moc"
