// The main dialog driven as the operator drives it, with keys and clicks,
// against a real device sandbox and the controller simulator. The engine's
// rules are tested below the dialog; here what the widgets show and do.
#include "AppListCtrl.h"
#include "ControllerSim.h"
#include "GuiTestSupport.h"
#include "InstallerDialog.h"
#include "MediumBuilder.h"
#include "OperationComboBox.h"
#include "Sandbox.h"
#include "StatusLine.h"
#include "UnzipLibrary.h"
#include "UiFonts.h"
#include "WaitCursor.h"
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "platform/Device.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

namespace {

PackageSpec App(const QString &name, const QString &version, int sizeKiB = 10) {
  PackageSpec pkg = PackageSpec::Simple(name, version);
  pkg.sizeKiB = sizeKiB;
  return pkg;
}

}  // namespace

class TestInstallerDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiFonts::InstallSubstitutions(); }
  void init() {
    m_box = std::make_unique<Sandbox>();
    m_sim = std::make_unique<ControllerSim>();
    QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->log()));
    FtpServerAddress() = m_sim->address();
    Device::SetFreeBytesOverride(qint64(64) * 1024 * 1024);
    m_alerts = std::make_unique<AlertAnswerer>();
  }

  void cleanup() {
    m_dialog.reset();
    m_alerts.reset();
    m_sim.reset();
    m_box.reset();
    WaitCursor::Remove();
  }

  void startupShowsTheApplications() {
    Start({App("Tool", "1.00", 120), App("計測ツール", "1.00", 40)},
          {App("計測ツール", "2.00", 50), App("Beta", "0.90", 30), App("Alpha", "1.50", 20)});
    InstallerDialog &dialog = *m_dialog;
    QCOMPARE(m_alerts->seen.size(), 0);
    QCOMPARE(dialog.Title()->text(), QString("QN350 Application Installer  (Ver 1.00)"));
    const QList<QPair<QWidget *, QRect>> places = {
        {&dialog, {0, 0, 640, 480}}, {dialog.Title(), {3, 4, 628, 22}}, {dialog.List(), {3, 52, 628, 318}},
        {dialog.RequiredValue(), {193, 379, 98, 27}}, {dialog.AvailableValue(), {193, 411, 98, 27}},
        {dialog.OptionButton(), {351, 387, 78, 45}}, {dialog.ExecuteButton(), {444, 387, 78, 45}},
        {dialog.Status(), {3, 444, 628, 26}}};
    for (const auto &[widget, place] : places) QCOMPARE(widget->geometry(), place);
    QVERIFY(!dialog.CloseButton()->isVisible());

    AppListCtrl *list = dialog.List();
    const QStringList headers = {"No", " Operation", " ", "          Name", "Version     ", "Size  ", "", "Version     ", "Size  "};
    const QList<int> widths = {30, 80, 24, 140, 100, 50, 30, 100, 50};
    for (int c = 0; c < headers.size(); ++c) {
      QCOMPARE(list->headerItem()->text(c), headers[c]);
      QCOMPARE(list->columnWidth(c), widths[c]);
    }
    QCOMPARE(list->RowCount(), 4);
    // Registered entries first, in the menu file's order; then the medium's, by name.
    QCOMPARE(RowTexts(0), QStringList({"001", " ", " ", "Tool", "1.00", "120", "", "---        ", "---  "}));
    QCOMPARE(RowTexts(2), QStringList({"003", " ", " ", "Alpha", "---        ", "---  ", "", "1.50", "20"}));
    QCOMPARE(list->visualItemRect(list->Row(1)).height(), AppListCtrl::kRowHeight);
    QCOMPARE(list->Row(0)->textAlignment(4) & Qt::AlignHorizontal_Mask, int(Qt::AlignRight));
    QCOMPARE(list->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(QFontInfo(list->font()).family(), QString("IPAPGothic"));
    QCOMPARE(dialog.RequiredValue()->text(), QString("0"));
    QCOMPARE(dialog.AvailableValue()->text(), QString::number(64 * 1024));

    // The editor lies over the first row's "Operation" cell.
    OperationComboBox *editor = dialog.OperationEditor();
    QTRY_VERIFY(editor->isVisible());
    const QPoint row = list->RowPosition(0);
    QCOMPARE(editor->geometry().topLeft(), QPoint(3 + row.x() + 28, 52 + row.y() + 1));
    SaveScreenshot(&dialog, QStringLiteral("main-dialog"));
  }

  void installationThroughTheEditor() {
    // A new pendant with 1024 KiB free: nothing on it, no application folder on the controller.
    Device::SetFreeBytesOverride(1024 * 1024);
    Start({}, {App("計測ツール", "2.00", 30), App("Alpha", "1.00", 20), App("Large", "1.00", 5000)});
    QVERIFY(InstallUnzipLibrary(*m_box));
    for (int row : {0, 1, 2}) ChooseOperation(row, 1);
    QTRY_COMPARE(RowTexts(2)[1], QString("Add"));
    // The space values follow at the next refresh of the dialog; what is left may be negative.
    QTRY_VERIFY(m_dialog->AvailableValue()->text().toInt() < 0);
    QCOMPARE(m_dialog->RequiredValue()->text().toInt(), m_dialog->Stages().RequiredKiB());
    QVERIFY(m_dialog->RequiredValue()->text().toInt() >= 5050);
    QCOMPARE(m_dialog->AvailableValue()->text().toInt(), 1024 - m_dialog->RequiredValue()->text().toInt());
    ChooseOperation(1, 0);  // Large is unmarked again
    QTRY_COMPARE(RowTexts(1)[1], QString(" "));

    QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
    WaitIdle();
    QCOMPARE(m_alerts->messages(), QStringList());
    // The list is read back: both registered, nothing marked any more.
    QTRY_COMPARE(RowTexts(0), QStringList({"001", " ", " ", "Alpha", "1.00", "20", "", "1.00", "20"}));
    QCOMPARE(RowTexts(1).mid(1, 5), QStringList({" ", " ", "計測ツール", "2.00", "30"}));
    QCOMPARE(m_dialog->RequiredValue()->text(), QString("0"));
    QVERIFY(m_dialog->OperationEditor()->isVisible());
  }

  void editorOffersWhatTheEntryCanTake_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("shown");  // the mark once the list is refreshed
    const QStringList all = {" ", "Add", "Remove"};
    QTest::newRow("installed only: Add is refused") << 0 << all << 1 << " ";
    QTest::newRow("installed only: Remove") << 0 << all << 2 << "Remove";
    QTest::newRow("medium only: Add") << 2 << QStringList({" ", "Add"}) << 1 << "Add";
  }

  void editorOffersWhatTheEntryCanTake() {
    QFETCH(int, row);
    QFETCH(int, choice);
    QFETCH(QString, shown);
    Start({App("Tool", "1.00"), App("Both", "1.00")}, {App("Both", "2.00"), App("Medium", "1.00")});
    QSignalSpy reports(m_dialog->OperationEditor(), &DropDownList::ClosedUp);
    AppListCtrl *list = m_dialog->List();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->Row(row)).center());
    QTRY_VERIFY(m_dialog->OperationEditor()->IsDroppedDown());
    QTEST(m_dialog->OperationEditor()->Items(), "items");
    QTest::keyClick(m_dialog->OperationEditor()->view(), Qt::Key_Escape);  // closes the list only
    QTRY_COMPARE(reports.size(), 1);
    QTRY_COMPARE(m_dialog->focusWidget(), static_cast<QWidget *>(list));  // the report was handled
    QVERIFY(m_dialog->isVisible());

    ChooseOperation(row, choice);
    QTRY_COMPARE(RowTexts(row)[1], shown);
    QCOMPARE(m_dialog->Stages().Engine()->GetOperation(row), shown == " " ? 0 : choice);
    QCOMPARE(reports.size(), 2);  // one close-up for each time the list closed
    QCOMPARE(m_dialog->Stages().CurrentRow(), row);
  }

  void keysMoveAndOpenTheEditor() {
    QList<PackageSpec> packages;
    for (int i = 0; i < 20; ++i) packages.append(App(QStringLiteral("App%1").arg(i, 2, 10, QChar(u'0')), "1.00"));
    Start({}, packages);
    AppListCtrl *list = m_dialog->List();
    OperationComboBox *editor = m_dialog->OperationEditor();
    QSignalSpy finished(m_dialog.get(), &QDialog::finished);
    // Enter and Escape never end the dialog nor press "Execute"; Enter on the
    // list opens the editor, whose list Escape closes.
    QTest::keyClick(list, Qt::Key_Escape);
    QTest::keyClick(list, Qt::Key_Return);
    QTRY_VERIFY(editor->IsDroppedDown());
    QTest::keyClick(editor->view(), Qt::Key_Escape);
    QTRY_VERIFY(!editor->IsDroppedDown());
    for (QWidget *target : {static_cast<QWidget *>(m_dialog->ExecuteButton()), static_cast<QWidget *>(m_dialog.get())}) {
      QTest::keyClick(target, Qt::Key_Return);
      QTest::keyClick(target, Qt::Key_Escape);
    }
    QTest::qWait(50);
    QVERIFY(m_dialog->isVisible() && finished.isEmpty() && !m_dialog->Stages().HasPendingStage());

    // An arrow key hides the editor while it is down and places it when released.
    QTest::keyPress(list, Qt::Key_Down);
    QTRY_VERIFY(!editor->isVisible());
    QTest::keyRelease(list, Qt::Key_Down);
    QTRY_VERIFY(editor->isVisible());
    QCOMPARE(m_dialog->Stages().CurrentRow(), 1);
    QCOMPARE(editor->geometry().top(), 52 + list->RowPosition(1).y() + 1);

    list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
    QTRY_VERIFY(!editor->isVisible());  // row 2 went out of view
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->Row(19)).center());
    QTRY_VERIFY(editor->isVisible());
    QCOMPARE(m_dialog->Stages().CurrentRow(), 19);
    QVERIFY(editor->geometry().top() < list->geometry().bottom() - 13);
  }

  void statusColours() {
    InstallerDialog dialog(2);
    const QColor darkBlue(40, 50, 150), grey(160, 160, 160);
    const QList<std::tuple<int, QColor, QColor>> levels = {
        {0, QColor(255, 0, 0), darkBlue}, {1, QColor(255, 255, 0), darkBlue}, {2, QColor(0, 255, 0), darkBlue}, {3, Qt::black, grey}};
    for (const auto &[level, text, background] : levels) {
      dialog.ShowStatus(level, QStringLiteral("Alpha.ini file read complete."));
      QCOMPARE(dialog.Status()->text(), QString("Alpha.ini file read complete."));
      const QImage picture = dialog.Status()->grab().toImage();
      QCOMPARE(QColor(picture.pixel(picture.width() - 20, picture.height() / 2)), background);
      // Some pixel of the text is drawn in the level's text colour.
      bool found = false;
      for (int x = 4; x < 200 && !found; ++x)
        for (int y = 4; y < picture.height() - 4 && !found; ++y) found = QColor(picture.pixel(x, y)) == text;
      QVERIFY2(found, qPrintable(QString::number(level)));
    }
  }

  void busyStateBlocksTheOperator() {
    {  // Before the window shows, entering the busy state does nothing.
      InstallerDialog hidden(2);
      hidden.SetBusy(true);
      QVERIFY(hidden.ExecuteButton()->isEnabled() && !WaitCursor::IsShown());
    }
    Start({}, {App("Alpha", "1.00")});
    m_dialog->SetBusy(true);
    m_dialog->SetBusy(true);
    QVERIFY(!m_dialog->ExecuteButton()->isEnabled() && !m_dialog->OptionButton()->isEnabled() && !m_dialog->List()->isEnabled());
    QVERIFY(WaitCursor::IsShown());
    QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
    QTest::mouseClick(m_dialog->OptionButton(), Qt::LeftButton);
    QTest::mouseClick(m_dialog.get(), Qt::LeftButton, {}, QPoint(447, 390));
    QTest::qWait(30);
    QVERIFY(!m_dialog->Stages().HasPendingStage());
    QVERIFY(!QApplication::activeModalWidget());

    m_dialog->SetBusy(false);  // one leave ends both enters
    QVERIFY(m_dialog->ExecuteButton()->isEnabled() && m_dialog->List()->isEnabled());
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(m_dialog->focusWidget(), static_cast<QWidget *>(m_dialog->List()));
  }

  void optionChoiceIsWrittenOnce() {
    const QList<PackageSpec> apps = {App("Alpha", "1.00"), App("Beta", "1.00")};
    Start(apps, apps);
    bool buttonsOff = false;  // while the option dialog is open
    const auto choose = [this, &buttonsOff](int autoRunDown) {
      WhenShown<OptionDialog>([this, &buttonsOff, autoRunDown](OptionDialog *window) {
        buttonsOff = !m_dialog->ExecuteButton()->isEnabled() && !m_dialog->OptionButton()->isEnabled();
        SaveScreenshot(window, QStringLiteral("option-dialog"));
        for (int i = 0; i < 4; ++i) QTest::keyClick(window->AutoRunList(), Qt::Key_Up);
        for (int i = 0; i < autoRunDown; ++i) QTest::keyClick(window->AutoRunList(), Qt::Key_Down);
        QTest::mouseClick(window->ReturnButton(), Qt::LeftButton);
      });
      QTest::mouseClick(m_dialog->OptionButton(), Qt::LeftButton);
      QTest::qWait(20);
    };
    const auto menuWrites = [this] { return m_sim->commands().filter(QRegularExpression("^STOR .*PP_MENU\\.INI$")).size(); };

    choose(2);  // Beta starts automatically
    QTRY_COMPARE(RowTexts(1)[2], QString("A"));
    QVERIFY(buttonsOff);
    QCOMPARE(RowTexts(0)[2], QString(" "));
    QCOMPARE(m_dialog->Stages().OptionChanged(), 1);
    QVERIFY(m_dialog->ExecuteButton()->isEnabled());
    QCOMPARE(m_dialog->focusWidget(), static_cast<QWidget *>(m_dialog->List()));

    // The change alone is written once; a further "Execute" has nothing to write.
    for (int i = 0; i < 2; ++i) {
      QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
      WaitIdle();
      QCOMPARE(menuWrites(), 1);
      QCOMPARE(m_dialog->Stages().OptionChanged(), 0);
      QCOMPARE(RowTexts(1)[2], QString("A"));  // read back from the new menu file
    }
    choose(0);  // none: the marks go, but nothing is due for writing
    QTRY_COMPARE(RowTexts(1)[2], QString(" "));
    QCOMPARE(m_dialog->Stages().OptionChanged(), 0);
    QCOMPARE(m_alerts->seen.size(), 0);
  }

  void emptyListDisablesOption() {
    Start({}, {});  // nothing installed, nothing on the card
    QCOMPARE(m_alerts->messages(), QStringList({"FATAL ERROR\n Initial file not found in CF/USB."}));
    QCOMPARE(m_dialog->List()->RowCount(), 0);
    QVERIFY(!m_dialog->OperationEditor()->isVisible());
    QTest::mouseClick(m_dialog->OptionButton(), Qt::LeftButton);
    QVERIFY(!m_dialog->OptionButton()->isEnabled());
    QVERIFY(!QApplication::activeModalWidget());
  }

 private:
  // Pendant and controller hold `installed` (equal menu files); the CF card
  // offers `packages`. Shows the dialog and waits for the start-up to end.
  void Start(const QList<PackageSpec> &installed, const QList<PackageSpec> &packages) {
    if (!installed.isEmpty()) MediumBuilder::WriteInstalled(*m_box, m_sim->root(), installed);
    for (const PackageSpec &package : packages) MediumBuilder::WritePackage(*m_box, package);
    m_dialog = std::make_unique<InstallerDialog>(2);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
    WaitIdle();
  }

  void WaitIdle() {
    QTRY_VERIFY_WITH_TIMEOUT(m_dialog->Stages().Engine() && !m_dialog->Stages().HasPendingStage() &&
                                 m_dialog->ExecuteButton()->isEnabled(),
                             20000);
    QTest::qWait(20);  // the refresh and placement posted by the stage's end
  }

  QStringList RowTexts(int row) const {
    QStringList texts;
    QTreeWidgetItem *item = m_dialog->List()->Row(row);
    for (int c = 0; item && c < item->columnCount(); ++c) texts.append(item->text(c));
    return texts;
  }

  // Taps the row, which opens the editor over it, then moves to the item with
  // the cursor keys and releases Enter.
  void ChooseOperation(int row, int index) {
    AppListCtrl *list = m_dialog->List();
    OperationComboBox *editor = m_dialog->OperationEditor();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->Row(row)).center());
    QTRY_VERIFY(editor->IsDroppedDown());
    const int from = editor->currentIndex();
    for (int i = from; i < index; ++i) QTest::keyClick(editor->view(), Qt::Key_Down);
    for (int i = from; i > index; --i) QTest::keyClick(editor->view(), Qt::Key_Up);
    QTest::keyClick(editor->view(), Qt::Key_Return);
    QTRY_VERIFY(!editor->IsDroppedDown());
    QTRY_COMPARE(m_dialog->focusWidget(), static_cast<QWidget *>(list));  // the choice was handled
  }

  std::unique_ptr<Sandbox> m_box;
  std::unique_ptr<ControllerSim> m_sim;
  std::unique_ptr<AlertAnswerer> m_alerts;
  std::unique_ptr<InstallerDialog> m_dialog;
};

QTEST_MAIN(TestInstallerDialog)
#include "TestInstallerDialog.moc"
