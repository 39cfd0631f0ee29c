// The option dialog on its own: candidates, preselection, the keys that
// open and close its lists, and what it returns however it is closed.
#include "DropDownList.h"
#include "GuiTestSupport.h"
#include "OptionDialog.h"
#include "UiFonts.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using Candidates = QList<QPair<QString, int>>;

class TestOptionDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiFonts::InstallSubstitutions(); }
  void preselection_data() {
    QTest::addColumn<Candidates>("autoRun");
    QTest::addColumn<Candidates>("oneTouch");
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("autoRunShown");  // and returned
    QTest::addColumn<QString>("oneTouchChosen");
    const Candidates none = {{"", 0}};
    QTest::newRow("marked candidates preselected")
        << Candidates{{"", 0}, {"Alpha", 0}, {"計測ツール", 2}} << Candidates{{"", 0}, {"Alpha", 1}} << false << 2 << "Alpha";
    QTest::newRow("the last marked one wins")
        << Candidates{{"", 0}, {"Alpha", 1}, {"Beta", 2}} << none << false << 2 << "";
    // Escape returns the same as Return: the selection last recorded.
    QTest::newRow("an index past the candidates shows none, Escape")
        << Candidates{{"", 0}, {"Alpha", 5}} << Candidates{{"", 0}, {"Alpha", 1}} << true << 0 << "Alpha";
  }

  void preselection() {
    QFETCH(Candidates, autoRun);
    QFETCH(Candidates, oneTouch);
    QFETCH(bool, escape);
    QFETCH(int, autoRunShown);

    OptionDialog dialog;
    for (const auto &[name, select] : autoRun) dialog.AddAutoRunChoice(name, select);
    for (const auto &[name, select] : oneTouch) dialog.AddOneTouchChoice(name, select);
    int shown = -1;
    QStringList items;
    QRect geometry;
    WhenShown<OptionDialog>([&](OptionDialog *window) {
      shown = window->AutoRunList()->currentIndex();
      items = window->AutoRunList()->Items();
      geometry = window->geometry();
      if (escape) QTest::keyClick(window->AutoRunList(), Qt::Key_Escape);
      else QTest::mouseClick(window->ReturnButton(), Qt::LeftButton);
    });
    const OptionDialog::Choice choice = dialog.Run(m_place);
    QCOMPARE(shown, autoRunShown);
    QCOMPARE(items.size(), autoRun.size());
    QCOMPARE(geometry, m_place);
    QCOMPARE(choice.autoRun, autoRunShown ? autoRun[autoRunShown].first : QString());
    QTEST(choice.oneTouch, "oneTouchChosen");
  }

  void keysChooseAndEveryUseStartsAfresh() {
    OptionDialog dialog;
    for (const char *name : {"", "Alpha", "計測ツール"}) {
      dialog.AddAutoRunChoice(name, 0);
      dialog.AddOneTouchChoice(name, 0);
    }
    bool openedBySpace = false, closedBySpace = false, spacePressOpens = true;
    QString family;
    QStringList labels;
    WhenShown<OptionDialog>([&](OptionDialog *window) {
      DropDownList *autoRun = window->AutoRunList();
      DropDownList *oneTouch = window->OneTouchList();
      for (QLabel *label : window->findChildren<QLabel *>()) labels.append(label->text());
      family = QFontInfo(autoRun->font()).family();
      // Space opens a list when released, and closes it when released again.
      QTest::keyPress(autoRun, Qt::Key_Space);
      spacePressOpens = autoRun->IsDroppedDown();
      QTest::keyRelease(autoRun, Qt::Key_Space);
      openedBySpace = autoRun->IsDroppedDown();
      QTest::keyClick(autoRun->view(), Qt::Key_Space);
      closedBySpace = !autoRun->IsDroppedDown();
      // A cursor key on the closed list already chooses.
      QTest::keyClick(autoRun, Qt::Key_Down);
      // Moving through the open list chooses too, before it closes.
      QTest::keyClick(oneTouch, Qt::Key_Space);
      QTest::keyClick(oneTouch->view(), Qt::Key_Down);
      QTest::keyClick(oneTouch->view(), Qt::Key_Down);
      QTest::keyClick(oneTouch->view(), Qt::Key_Escape);
      QTest::mouseClick(window->ReturnButton(), Qt::LeftButton);
    });
    OptionDialog::Choice choice = dialog.Run(m_place);
    QVERIFY(!spacePressOpens && openedBySpace && closedBySpace);
    QCOMPARE(choice.autoRun, QString("Alpha"));
    QCOMPARE(choice.oneTouch, QString("計測ツール"));
    QVERIFY(labels.contains("Auto Run Application：") && labels.contains("One Touch Run Application："));
    QCOMPARE(family, QString("IPAGothic"));

    // The next use starts from its own candidates, not from the last choice.
    for (const char *name : {"", "Alpha"}) {
      dialog.AddAutoRunChoice(name, 0);
      dialog.AddOneTouchChoice(name, 0);
    }
    WhenShown<OptionDialog>([](OptionDialog *window) { QTest::mouseClick(window->ReturnButton(), Qt::LeftButton); });
    choice = dialog.Run(m_place);
    QCOMPARE(choice.autoRun, QString());
    QCOMPARE(choice.oneTouch, QString());
  }

 private:
  const QRect m_place{3, 52, 628, 318};
};

QTEST_MAIN(TestOptionDialog)
#include "TestOptionDialog.moc"
