// pp-installer's dialog driven as the operator drives it, with taps and keys,
// against the controller simulator and a temporary device; and the program's
// command line. The engine's rules are tested below the dialog: here, that
// the gestures reach them and that what they lead to shows and lands on both
// sides.
#include "AlertWindow.h"
#include "AppListCtrl.h"
#include "InstallerDialog.h"
#include "MediumBuilder.h"
#include "OperationComboBox.h"
#include "Runs.h"
#include "StatusLine.h"
#include "UiFonts.h"
#include "app/AlertDialog.h"
#include "app/InstallerEngine.h"
#include "platform/Device.h"

#include <QAbstractItemView>
#include <QFontInfo>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using Apps = QList<PackageSpec>;

class TestInstallerDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(m_rig.start());
    connect(&m_modal, &QTimer::timeout, this, &TestInstallerDialog::AnswerModal);
    m_modal.start(5);  // a modal window runs its own loop: it is answered from in there
  }
  void init() { QVERIFY(m_rig.reset()); }
  void cleanup() {
    m_dialog.reset();
    m_seen.clear();
    m_fills.clear();
  }

  void startUpFillsTheList_data() {
    QTest::addColumn<Apps>("installed");
    QTest::addColumn<Apps>("offered");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("alerts");
    // Registered applications first, in the menu file's order; then the medium's, by name.
    QTest::newRow("installed and offered") << PackageSpec::Simple(QStringList{"Tool", "計測ツール"})
        << Apps{PackageSpec::Simple("計測ツール", "2.00"), PackageSpec::Simple("Beta", "0.90")}
        << QStringList{"001|||Tool|1.00|10||---|---", "002|||計測ツール|1.00|10||2.00|10", "003|||Beta|---|---||0.90|10"}
        << QStringList();
    QTest::newRow("nothing anywhere") << Apps() << Apps() << QStringList()
        << QStringList{"FATAL ERROR\n Initial file not found in CF/USB. | error file :(\\Storage Card\\PP_APP\\*.INI) | OK"};
  }
  void startUpFillsTheList() {
    QFETCH(Apps, installed);
    QFETCH(Apps, offered);
    Start(installed, offered);
    QTEST(m_seen, "alerts");
    QTEST(Rows(), "rows");
    QCOMPARE(m_dialog->RequiredValue()->text() + ' ' + m_dialog->AvailableValue()->text(), QString("0 %1").arg(kFreeKiB));
    QTRY_COMPARE(m_dialog->OperationEditor()->isVisible(), m_dialog->List()->RowCount() > 0);  // over the first row
  }

  // Marks made in the editor and in the option dialog, carried out by "Execute".
  void marksAreCarriedOut() {
    Start({}, PackageSpec::Simple(QStringList{"Alpha", "Beta", "Gamma"}));
    // "Add" for Alpha by taps on the row and on the item; for Gamma by arrows, Enter, arrow and Enter.
    AppListCtrl *list = m_dialog->List();
    QAbstractItemView *items = m_dialog->OperationEditor()->view();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->Row(0)).center());
    QTRY_VERIFY(m_dialog->OperationEditor()->IsDroppedDown());
    QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, items->visualRect(items->model()->index(1, 0)).center());
    QTRY_VERIFY(list->hasFocus());  // the choice was handled
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return}) QTest::keyClick(list, key);
    QTRY_VERIFY(m_dialog->OperationEditor()->IsDroppedDown());
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Return}) QTest::keyClick(items, key);
    QTRY_COMPARE(Rows().filter("|Add|").size(), 2);
    const int required = m_dialog->RequiredValue()->text().toInt();
    QVERIFY(required > 0 && m_dialog->AvailableValue()->text().toInt() == kFreeKiB - required);
    QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
    // Busy from the click until the stage has run: nothing else can be started.
    QVERIFY(!m_dialog->ExecuteButton()->isEnabled() && !list->isEnabled() && m_dialog->Stages().HasPendingStage());
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 20000);

    // Auto-run Gamma, one-touch Alpha: written once, alone, and read back.
    m_rig.sim().clearLog();
    m_onOption = [](OptionDialog *window) {
      for (QWidget *list : {window->AutoRunList(), window->AutoRunList(), window->OneTouchList()})
        QTest::keyClick(list, Qt::Key_Down);  // on a closed list, a cursor key already chooses
      QTest::mouseClick(window->ReturnButton(), Qt::LeftButton);
    };
    QTest::mouseClick(m_dialog->OptionButton(), Qt::LeftButton);
    for (int i = 0; i < 2; ++i) {
      QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
      QTRY_VERIFY_WITH_TIMEOUT(Idle(), 20000);
    }
    QCOMPARE(m_rig.sim().commands().filter("STOR"), QStringList("STOR \\PP_APP\\PP_MENU.INI"));
    QCOMPARE(Rows(), QStringList({"001||O|Alpha|1.00|10||1.00|10", "002||A|Gamma|1.00|10||1.00|10", "003|||Beta|---|---||1.00|10"}));
    QCOMPARE(m_rig.divergence(), QString());
    QCOMPARE(m_seen, QStringList());
  }

  void alertAnswers_data() {
    QTest::addColumn<QString>("buttons");  // as they show
    QTest::addColumn<int>("answer");       // 1 first button, 0 second, 2 Escape: what the alert returns
    QTest::newRow("OK alone") << "OK" << 1;
    QTest::newRow("Cancel") << "OK/Cancel" << 0;
    QTest::newRow("YES") << "YES/NO" << 1;
    QTest::newRow("Escape") << "YES/NO" << 2;
  }
  void alertAnswers() {
    QFETCH(QString, buttons);
    QFETCH(int, answer);
    m_dialog = std::make_unique<InstallerDialog>(InstallerSettings{});
    AlertDialog alert(*m_dialog);  // as the engine shows it
    alert.SetButtonState(AlertDialog::kSecondButton, buttons.contains('/'));
    alert.SetYesNoCaptions(buttons.startsWith("YES"));
    m_answer = answer;
    m_dialog->move(0, 0);  // away from the screen's centre
    QCOMPARE(alert.ShowAlert(2012, "error (X)"), answer);
    QCOMPARE(m_seen.value(0).section(" | ", 1), "error (X) | " + buttons);
    QCOMPARE(m_alertCentre, m_dialog->geometry().center());
  }

  // The status line fills further and further while a start-up fetches a large
  // application; an Execute ends with its summary; closing waits for the end.
  void progressAndSummary() {
    PackageSpec big = PackageSpec::Simple("Big");
    QByteArray &noise = big.files["res/noise.bin"] = QByteArray(512 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    MediumBuilder::WriteController(m_rig.sim().root(), {big});
    QVERIFY(m_rig.sim().setFaults({"--throttle-retr", "500000", "BIG.ZIP"}));
    qApp->installEventFilter(this);
    Start({}, PackageSpec::Simple(QStringList{"Small"}));
    qApp->removeEventFilter(this);
    int rises = 0;
    for (qsizetype i = 1; i < m_fills.size(); ++i) rises += m_fills[i] > m_fills[i - 1];
    QVERIFY2(rises >= 5, qPrintable(QString("fills painted: %1").arg(m_fills.size())));
    QCOMPARE(m_dialog->Status()->Fill(), -1);
    m_dialog->Stages().Engine()->SetOperation(1, AppEntry::Add);
    QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
    QVERIFY(!m_dialog->close());
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 20000);
    QCOMPARE(m_dialog->Status()->Level(), StatusLevel::Info);
    QVERIFY2(m_dialog->Status()->text().startsWith("Execute finished: installed 1,"), qPrintable(m_dialog->Status()->text()));
    QVERIFY(m_dialog->close() && !m_dialog->isVisible());
  }

  void progressFill_data() {
    QTest::addColumn<QList<qint64>>("counts");  // bytes done, total; files done, total; file done, total
    QTest::addColumn<int>("fill");              // of 100 pixels
    QTest::newRow("by bytes") << QList<qint64>{30, 120, 0, 2, 1, 2} << 25;
    QTest::newRow("by files, the one in hand in part") << QList<qint64>{0, 0, 1, 4, 50, 100} << 37;
    QTest::newRow("past the total") << QList<qint64>{500, 100, 0, 0, 0, 0} << 100;
    QTest::newRow("nothing known") << QList<qint64>{9, 0, 3, 0, 9, 0} << -1;
  }
  void progressFill() {
    QFETCH(QList<qint64>, counts);
    const Progress progress{{}, {}, counts[4], counts[5], int(counts[2]), int(counts[3]), counts[0], counts[1]};
    QTEST(StatusLine::FillWidth(progress, 100), "fill");
  }

  // Bare on the pendant's screen, framed and closable on a larger one; one
  // font family in every window; an icon that draws.
  void look() {
    const Qt::WindowFlags frame = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint;
    QCOMPARE(InstallerDialog::WindowFlagsFor({640, 480}) & frame, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    QCOMPARE(InstallerDialog::WindowFlagsFor({800, 600}) & frame, Qt::WindowCloseButtonHint);
    UiFonts::InstallSubstitutions();
    for (const char16_t *face : {UiFonts::kAlertFace, UiFonts::kOptionListFace, UiFonts::kDialogFace})
      QCOMPARE(QFontInfo(UiFonts::Make(face, 12)).family(), QString("IPAPGothic"));
    QVERIFY(!QIcon(":/pp-installer.svg").pixmap(32).isNull());
  }

  void commandLine_data() {
    QTest::addColumn<QStringList>("arguments");  // ROOT: the device root, SIM: the controller
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");
    QTest::newRow("no device root") << QStringList{"--device-root", "ROOT/none"} << 2 << "is not a folder";
    QTest::newRow("unknown option") << QStringList{"--device-root", "ROOT", "--colour", "red"} << 2 << "--colour";
    QTest::newRow("screenshot") << QString("--device-root ROOT --medium cf /D SIM --screenshot ROOT/dialog.png").split(' ') << 0 << "";
  }
  void commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    MediumBuilder::WritePackage(m_rig.box(), PackageSpec::Simple("Alpha"));
    QProcess installer;
    arguments.replaceInStrings("ROOT", m_rig.box().root()).replaceInStrings("SIM", m_rig.sim().address());
    installer.start(PP_INSTALLER, arguments);
    QVERIFY(installer.waitForFinished(60000));
    const QString printed = installer.readAllStandardError();
    QCOMPARE(installer.exitCode(), exitCode);
    QVERIFY2(printed.contains(error) && printed.contains("usage: pp-installer") == (exitCode == 2), qPrintable(printed));
    // The picture, taken once the start-up is over, and only then.
    QCOMPARE(QImage(m_rig.box().root() + "/dialog.png").size(), exitCode ? QSize(0, 0) : QSize(640, 480));
  }

 private:
  static constexpr int kFreeKiB = 64 * 1024;

  // The status line's fill at each of its paints.
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() == QEvent::Paint && m_dialog && watched == m_dialog->Status())
      m_fills.append(m_dialog->Status()->Fill());
    return false;
  }

  // The pendant and the controller hold `installed`, the CF card offers
  // `offered`; the dialog is shown and its start-up has ended.
  void Start(const Apps &installed, const Apps &offered) {
    if (!installed.isEmpty()) MediumBuilder::WriteInstalled(m_rig.box(), m_rig.sim().root(), installed);
    for (const PackageSpec &package : offered) MediumBuilder::WritePackage(m_rig.box(), package);
    Device::SetFreeBytesOverride(qint64(kFreeKiB) * 1024);
    m_dialog = std::make_unique<InstallerDialog>(InstallerSettings{2, ControllerEndpoint(m_rig.sim().address())});
    m_dialog->show();
    QTRY_VERIFY_WITH_TIMEOUT(Idle(), 20000);
  }

  // No stage waiting, none running.
  bool Idle() const { return !m_dialog->Stages().HasPendingStage() && m_dialog->ExecuteButton()->isEnabled(); }

  // Each row's cells, trimmed, joined by "|".
  QStringList Rows() const {
    QStringList rows;
    for (int r = 0; r < m_dialog->List()->RowCount(); ++r) {
      rows.append(m_dialog->List()->Row(r)->text(0));
      for (int c = 1; c < 9; ++c) rows.last() += '|' + m_dialog->List()->Row(r)->text(c).trimmed();
    }
    return rows;
  }

  // Answers an alert through its real buttons with m_answer (the first button
  // when none is set) and records it as "message | detail | buttons"; hands
  // the option dialog to m_onOption.
  void AnswerModal() {
    QWidget *window = QApplication::activeModalWidget();
    if (auto *option = qobject_cast<OptionDialog *>(window)) return m_onOption(option);
    auto *alert = qobject_cast<AlertWindow *>(window);
    if (!alert) return;
    m_alertCentre = alert->geometry().center();
    const QString second = alert->SecondButton()->isVisible() ? "/" + alert->SecondButton()->text() : QString();
    m_seen.append(alert->Message() + " | " + alert->SubMessage() + " | " + alert->FirstButton()->text() + second);
    if (m_answer == 2) QTest::keyClick(alert->focusWidget() ? alert->focusWidget() : alert, Qt::Key_Escape);
    else QTest::mouseClick(m_answer ? alert->FirstButton() : alert->SecondButton(), Qt::LeftButton);
    m_answer = 1;
  }

  Rig m_rig;
  std::unique_ptr<InstallerDialog> m_dialog;
  QTimer m_modal;
  int m_answer = 1;
  QStringList m_seen;
  QPoint m_alertCentre;
  QList<int> m_fills;
  std::function<void(OptionDialog *)> m_onOption;
};

QTEST_MAIN(TestInstallerDialog)
#include "TestInstallerDialog.moc"
