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
  void buttons_data() {
    QTest::addColumn<QStringList>("captions");  // the second empty when it is hidden
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("OK alone, Enter") << QStringList{"OK", ""} << "enter" << 1;
    QTest::newRow("Cancel clicked") << QStringList{"OK", "Cancel"} << "second" << 0;
    QTest::newRow("Enter presses the first") << QStringList{"OK", "Cancel"} << "enter" << 1;
    QTest::newRow("Enter presses the focused second") << QStringList{"OK", "Cancel"} << "tab enter" << 0;
    QTest::newRow("YES clicked") << QStringList{"YES", "NO"} << "first" << 1;
    QTest::newRow("Escape answers when released") << QStringList{"YES", "NO"} << "escape" << 2;
  }

  void buttons() {
    QFETCH(QStringList, captions);
    QFETCH(QString, action);
    InstallerDialog view(2);  // the view the alert object reaches; never shown
    AlertDialog alert;
    alert.SetButtonState(AlertDialog::kSecondButton, !captions[1].isEmpty());
    alert.SetYesNoCaptions(captions[0] == "YES");
    QStringList shown;
    QRect okGeometry, frame;
    QString family;
    bool cursorWhileShown = true, openAfterEscapePress = false, wraps = false, frameless = false;
    WhenShown<AlertWindow>([&](AlertWindow *window) {
      shown = QStringList{window->FirstButton()->text(), window->SecondButton()->isVisible() ? window->SecondButton()->text() : ""};
      shown << window->Message() << window->SubMessage();
      okGeometry = window->FirstButton()->geometry();
      frame = window->frameGeometry();
      const auto labels = window->findChildren<QLabel *>();
      wraps = labels.size() == 2 && labels[0]->wordWrap() && labels[1]->wordWrap();
      frameless = window->windowFlags().testFlag(Qt::FramelessWindowHint);
      family = QFontInfo(labels[0]->font()).family();
      cursorWhileShown = QGuiApplication::overrideCursor() != nullptr;
      if (captions[1].isEmpty()) SaveScreenshot(window, QStringLiteral("alert-2012"));
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
    QTEST(alert.ShowAlert(2012, QStringLiteral("error function. (UploadKtcAppFile)")), "result");
    QCOMPARE(shown, captions + QStringList({"FATAL ERROR\n FTP connect error.", "error function. (UploadKtcAppFile)"}));
    // The lone button is larger and centred under the texts.
    if (captions[1].isEmpty()) QCOMPARE(okGeometry, QRect(165, 130, 135, 40));
    QVERIFY(wraps && frameless);
    QCOMPARE(family, QString("IPAGothic"));
    QCOMPARE(frame.center(), view.screen()->geometry().center());
    QVERIFY2(!cursorWhileShown, "no cursor while the alert shows");
    QVERIFY2(WaitCursor::IsShown(), "the wait cursor is back after the alert");
    if (action == "escape") QVERIFY2(openAfterEscapePress, "pressing Escape alone does not answer");
  }
};

QTEST_MAIN(TestAlertWindow)
#include "TestAlertWindow.moc"
