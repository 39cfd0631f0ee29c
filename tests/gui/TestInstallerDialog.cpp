// The main dialog driven as the operator drives it, with keys and clicks,
// against a real device sandbox and the controller simulator.
#include "AppListCtrl.h"
#include "ControllerSim.h"
#include "GuiTestSupport.h"
#include "InstallerDialog.h"
#include "MediumBuilder.h"
#include "OperationComboBox.h"
#include "OptionDialog.h"
#include "DropDownList.h"
#include "Sandbox.h"
#include "StatusLine.h"
#include "UnzipLibrary.h"
#include "UiFonts.h"
#include "WaitCursor.h"
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "platform/Device.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <memory>

namespace {

PackageSpec App(const QString &name, const QString &version, int sizeKiB = 10) {
  PackageSpec pkg;
  pkg.name = name;
  pkg.version = version;
  pkg.sizeKiB = sizeKiB;
  return pkg;
}

}  // namespace

class TestInstallerDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { UiFonts::InstallSubstitutions(); }
  void init();
  void cleanup();
  void startupShowsTheApplications();
  void firstInstallationThroughTheEditor();
  void editorOffersWhatTheEntryCanTake_data();
  void editorOffersWhatTheEntryCanTake();
  void editorFollowsTheSelection();
  void enterAndEscapeKeepTheDialogOpen();
  void statusColours_data();
  void statusColours();
  void busyStateBlocksTheOperator();
  void spaceAvailableTurnsNegative();
  void optionChoiceIsWrittenOnce();
  void emptyListDisablesOption();

 private:
  // Pendant and controller hold `installed` (equal menu files); the CF card
  // offers `packages`. Shows the dialog and waits for the start-up to end.
  void Start(const QList<PackageSpec> &installed, const QList<PackageSpec> &packages);
  void WaitIdle();
  QStringList RowTexts(int row) const;
  void ChooseOperation(int row, int index);

  std::unique_ptr<Sandbox> m_box;
  std::unique_ptr<ControllerSim> m_sim;
  std::unique_ptr<AlertAnswerer> m_alerts;
  std::unique_ptr<InstallerDialog> m_dialog;
};

void TestInstallerDialog::init() {
  m_box = std::make_unique<Sandbox>();
  m_sim = std::make_unique<ControllerSim>();
  QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->log()));
  FtpServerAddress() = m_sim->address();
  Device::SetFreeBytesOverride(qint64(64) * 1024 * 1024);
  m_alerts = std::make_unique<AlertAnswerer>();
}

void TestInstallerDialog::cleanup() {
  m_dialog.reset();
  m_alerts.reset();
  m_sim.reset();
  m_box.reset();
  WaitCursor::Remove();
}

void TestInstallerDialog::Start(const QList<PackageSpec> &installed, const QList<PackageSpec> &packages) {
  if (!installed.isEmpty()) {
    MediumBuilder::WriteController(m_sim->root(), installed);
    m_box->write(QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI"), MediumBuilder::MenuFile(installed));
    for (const PackageSpec &app : installed)
      m_box->write(QStringLiteral("\\DiskOnChip\\PP_APP\\%1\\%2.exe").arg(app.folderName(), app.name), "MZ");
  }
  for (const PackageSpec &package : packages) MediumBuilder::WritePackage(*m_box, package);
  m_dialog = std::make_unique<InstallerDialog>(2);
  m_dialog->show();
  QVERIFY(QTest::qWaitForWindowExposed(m_dialog.get()));
  WaitIdle();
}

void TestInstallerDialog::WaitIdle() {
  QTRY_VERIFY_WITH_TIMEOUT(m_dialog->Stages().Engine() && !m_dialog->Stages().HasPendingStage() &&
                               m_dialog->ExecuteButton()->isEnabled(),
                           20000);
  QTest::qWait(20);  // the refresh and placement posted by the stage's end
}

QStringList TestInstallerDialog::RowTexts(int row) const {
  QStringList texts;
  QTreeWidgetItem *item = m_dialog->List()->Row(row);
  for (int c = 0; item && c < item->columnCount(); ++c) texts.append(item->text(c));
  return texts;
}

// Taps the row, which opens the editor over it, then moves to the item with
// the cursor keys and releases Enter.
void TestInstallerDialog::ChooseOperation(int row, int index) {
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

void TestInstallerDialog::startupShowsTheApplications() {
  Start({App("Tool", "1.00", 120), App("計測ツール", "1.00", 40)},
        {App("計測ツール", "2.00", 50), App("Beta", "0.90", 30), App("Alpha", "1.50", 20)});
  InstallerDialog &dialog = *m_dialog;
  QCOMPARE(m_alerts->seen.size(), 0);
  QCOMPARE(dialog.Title()->text(), QString("QN350 Application Installer  (Ver 1.00)"));
  QCOMPARE(dialog.geometry(), QRect(0, 0, 640, 480));
  QCOMPARE(dialog.Title()->geometry(), QRect(3, 4, 628, 22));
  QCOMPARE(dialog.List()->geometry(), QRect(3, 52, 628, 318));
  QCOMPARE(dialog.RequiredValue()->geometry(), QRect(193, 379, 98, 27));
  QCOMPARE(dialog.AvailableValue()->geometry(), QRect(193, 411, 98, 27));
  QCOMPARE(dialog.OptionButton()->geometry(), QRect(351, 387, 78, 45));
  QCOMPARE(dialog.ExecuteButton()->geometry(), QRect(444, 387, 78, 45));
  QCOMPARE(dialog.Status()->geometry(), QRect(3, 444, 628, 26));
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
  QCOMPARE(RowTexts(1), QStringList({"002", " ", " ", "計測ツール", "1.00", "40", "", "2.00", "50"}));
  QCOMPARE(RowTexts(2), QStringList({"003", " ", " ", "Alpha", "---        ", "---  ", "", "1.50", "20"}));
  QCOMPARE(RowTexts(3)[3], QString("Beta"));
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

void TestInstallerDialog::firstInstallationThroughTheEditor() {
  // A new pendant: nothing on it, no application folder on the controller.
  Start({}, {App("計測ツール", "2.00", 30), App("Alpha", "1.00", 20), App("Beta", "1.00")});
  QVERIFY(InstallUnzipLibrary(*m_box));
  QCOMPARE(RowTexts(0)[3], QString("Alpha"));
  ChooseOperation(0, 1);
  ChooseOperation(2, 1);
  QTRY_COMPARE(RowTexts(2)[1], QString("Add"));
  QCOMPARE(RowTexts(0)[1], QString("Add"));
  // The space values follow at the next refresh of the dialog.
  QTRY_VERIFY(m_dialog->RequiredValue()->text().toInt() >= 50);
  QCOMPARE(m_dialog->RequiredValue()->text().toInt(), m_dialog->Stages().RequiredKiB());

  QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
  WaitIdle();
  QCOMPARE(m_alerts->messages(), QStringList());
  QVERIFY(m_box->exists("\\DiskOnChip\\PP_APP\\Alpha\\Alpha.exe"));
  QVERIFY(m_box->exists("\\DiskOnChip\\PP_APP\\計測ツール\\計測ツール.exe"));
  QVERIFY(!m_box->exists("\\DiskOnChip\\PP_APP\\Beta"));
  QCOMPARE(m_sim->entries("\\PP_APP\\"), QStringList({"Alpha.ZIP", "PP_MENU.INI", "計測ツール.ZIP"}));
  QCOMPARE(m_sim->read("\\PP_APP\\PP_MENU.INI"), m_box->read("\\DiskOnChip\\PP_APP\\PP_MENU.INI"));
  // The list is read back: both registered, nothing marked any more.
  QTRY_COMPARE(RowTexts(0), QStringList({"001", " ", " ", "Alpha", "1.00", "20", "", "1.00", "20"}));
  QCOMPARE(RowTexts(1).mid(1, 5), QStringList({" ", " ", "計測ツール", "2.00", "30"}));
  QCOMPARE(RowTexts(2).mid(1, 5), QStringList({" ", " ", "Beta", "---        ", "---  "}));
  QCOMPARE(m_dialog->RequiredValue()->text(), QString("0"));
  QVERIFY(m_dialog->OperationEditor()->isVisible());
}

void TestInstallerDialog::editorOffersWhatTheEntryCanTake_data() {
  QTest::addColumn<int>("row");
  QTest::addColumn<QStringList>("items");
  QTest::addColumn<int>("choice");
  QTest::addColumn<QString>("shown");  // the mark once the list is refreshed
  const QStringList all = {" ", "Add", "Remove"};
  QTest::newRow("installed only: Add is refused") << 0 << all << 1 << " ";
  QTest::newRow("installed only: Remove") << 0 << all << 2 << "Remove";
  QTest::newRow("on both sides: Add") << 1 << all << 1 << "Add";
  QTest::newRow("medium only: Add") << 2 << QStringList({" ", "Add"}) << 1 << "Add";
}

void TestInstallerDialog::editorOffersWhatTheEntryCanTake() {
  QFETCH(int, row);
  QFETCH(QStringList, items);
  QFETCH(int, choice);
  QFETCH(QString, shown);
  Start({App("Tool", "1.00"), App("Both", "1.00")}, {App("Both", "2.00"), App("Medium", "1.00")});
  QSignalSpy reports(m_dialog->OperationEditor(), &DropDownList::ClosedUp);
  AppListCtrl *list = m_dialog->List();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->Row(row)).center());
  QTRY_VERIFY(m_dialog->OperationEditor()->IsDroppedDown());
  QCOMPARE(m_dialog->OperationEditor()->Items(), items);
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

void TestInstallerDialog::editorFollowsTheSelection() {
  QList<PackageSpec> packages;
  for (int i = 0; i < 20; ++i) packages.append(App(QStringLiteral("App%1").arg(i, 2, 10, QChar(u'0')), "1.00"));
  Start({}, packages);
  AppListCtrl *list = m_dialog->List();
  OperationComboBox *editor = m_dialog->OperationEditor();
  QTRY_VERIFY(editor->isVisible());
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

void TestInstallerDialog::enterAndEscapeKeepTheDialogOpen() {
  Start({}, {App("Alpha", "1.00")});
  QSignalSpy finished(m_dialog.get(), &QDialog::finished);
  // Enter on the list opens the editor; Escape closes only its list.
  QTest::keyClick(m_dialog->List(), Qt::Key_Return);
  QTRY_VERIFY(m_dialog->OperationEditor()->IsDroppedDown());
  QTest::keyClick(m_dialog->OperationEditor()->view(), Qt::Key_Escape);
  QTRY_VERIFY(!m_dialog->OperationEditor()->IsDroppedDown());
  for (QWidget *target : {static_cast<QWidget *>(m_dialog->List()), static_cast<QWidget *>(m_dialog->ExecuteButton()),
                          static_cast<QWidget *>(m_dialog.get())}) {
    QTest::keyClick(target, Qt::Key_Return);
    QTest::keyClick(target, Qt::Key_Escape);
  }
  QTest::qWait(50);
  QVERIFY(m_dialog->isVisible());
  QCOMPARE(finished.size(), 0);
  QVERIFY(!m_dialog->Stages().HasPendingStage());  // Enter did not press "Execute"
}

void TestInstallerDialog::statusColours_data() {
  QTest::addColumn<int>("level");
  QTest::addColumn<QColor>("text");
  QTest::addColumn<QColor>("background");
  const QColor darkBlue(40, 50, 150);
  QTest::newRow("0 error") << 0 << QColor(255, 0, 0) << darkBlue;
  QTest::newRow("1") << 1 << QColor(255, 255, 0) << darkBlue;
  QTest::newRow("2 transfer") << 2 << QColor(0, 255, 0) << darkBlue;
  QTest::newRow("3 information") << 3 << QColor(0, 0, 0) << QColor(160, 160, 160);
  QTest::newRow("unknown level") << 9 << QColor(0, 0, 0) << QColor(160, 160, 160);
}

void TestInstallerDialog::statusColours() {
  QFETCH(int, level);
  QFETCH(QColor, text);
  QFETCH(QColor, background);
  Start({}, {App("Alpha", "1.00")});
  m_dialog->ShowStatus(level, QStringLiteral("Alpha.ini file read complete."));
  StatusLine *status = m_dialog->Status();
  QCOMPARE(status->text(), QString("Alpha.ini file read complete."));
  const QImage picture = status->grab().toImage();
  QCOMPARE(QColor(picture.pixel(picture.width() - 20, picture.height() / 2)), background);
  // Some pixel of the text is drawn in the level's text colour.
  bool found = false;
  for (int x = 4; x < 200 && !found; ++x)
    for (int y = 4; y < picture.height() - 4 && !found; ++y) found = QColor(picture.pixel(x, y)) == text;
  QVERIFY(found);
}

void TestInstallerDialog::busyStateBlocksTheOperator() {
  {  // Before the window shows, entering the busy state does nothing.
    InstallerDialog hidden(2);
    hidden.SetBusy(true);
    QVERIFY(hidden.ExecuteButton()->isEnabled());
    QVERIFY(!WaitCursor::IsShown());
  }
  Start({}, {App("Alpha", "1.00")});
  m_dialog->SetBusy(true);
  m_dialog->SetBusy(true);
  for (QWidget *control : {static_cast<QWidget *>(m_dialog->ExecuteButton()),
                           static_cast<QWidget *>(m_dialog->OptionButton()), static_cast<QWidget *>(m_dialog->List())})
    QVERIFY(!control->isEnabled());
  QVERIFY(WaitCursor::IsShown());
  QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
  QTest::mouseClick(m_dialog->OptionButton(), Qt::LeftButton);
  QTest::mouseClick(m_dialog.get(), Qt::LeftButton, {}, QPoint(447, 390));
  QTest::qWait(30);
  QVERIFY(!m_dialog->Stages().HasPendingStage());
  QVERIFY(!QApplication::activeModalWidget());

  m_dialog->SetBusy(false);  // one leave ends both enters
  QVERIFY(m_dialog->ExecuteButton()->isEnabled());
  QVERIFY(m_dialog->List()->isEnabled());
  QVERIFY(!QGuiApplication::overrideCursor());
  QCOMPARE(m_dialog->focusWidget(), static_cast<QWidget *>(m_dialog->List()));
}

void TestInstallerDialog::spaceAvailableTurnsNegative() {
  Device::SetFreeBytesOverride(1024 * 1024);  // 1024 KiB
  Start({}, {App("Large", "1.00", 5000)});
  ChooseOperation(0, 1);
  QTRY_COMPARE(RowTexts(0)[1], QString("Add"));
  QTRY_VERIFY(m_dialog->AvailableValue()->text().toInt() < 0);
  QCOMPARE(m_dialog->AvailableValue()->text().toInt(), 1024 - m_dialog->RequiredValue()->text().toInt());
  QVERIFY(m_dialog->RequiredValue()->text().toInt() >= 5000);
}

void TestInstallerDialog::optionChoiceIsWrittenOnce() {
  const QList<PackageSpec> apps = {App("Alpha", "1.00"), App("Beta", "1.00")};
  Start(apps, apps);
  bool buttonsOff = false;  // while the option dialog is open
  const auto choose = [this, &buttonsOff](int autoRunDown) {
    WhenShown<OptionDialog>([this, &buttonsOff, autoRunDown](OptionDialog *window) {
      buttonsOff = !m_dialog->ExecuteButton()->isEnabled() && !m_dialog->OptionButton()->isEnabled();
      SaveScreenshot(window, QStringLiteral("option-dialog"));
      DropDownList *autoRun = window->AutoRunList();
      for (int i = 0; i < 4; ++i) QTest::keyClick(autoRun, Qt::Key_Up);
      for (int i = 0; i < autoRunDown; ++i) QTest::keyClick(autoRun, Qt::Key_Down);
      QTest::mouseClick(window->ReturnButton(), Qt::LeftButton);
    });
    QTest::mouseClick(m_dialog->OptionButton(), Qt::LeftButton);
    QTest::qWait(20);
  };
  const auto menuWrites = [this] {
    return m_sim->commands().filter(QRegularExpression("^STOR .*PP_MENU\\.INI$", QRegularExpression::CaseInsensitiveOption)).size();
  };

  choose(2);  // Beta starts automatically
  QTRY_COMPARE(RowTexts(1)[2], QString("A"));
  QVERIFY(buttonsOff);
  QCOMPARE(RowTexts(0)[2], QString(" "));
  QCOMPARE(m_dialog->Stages().OptionChanged(), 1);
  QVERIFY(m_dialog->ExecuteButton()->isEnabled());
  QCOMPARE(m_dialog->focusWidget(), static_cast<QWidget *>(m_dialog->List()));

  QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);
  WaitIdle();
  QCOMPARE(menuWrites(), 1);
  QCOMPARE(m_dialog->Stages().OptionChanged(), 0);
  const QByteArray menu = m_sim->read("\\PP_APP\\PP_MENU.INI");
  QCOMPARE(menu.count("AUTO_RUN = TRUE"), 1);
  QVERIFY(menu.indexOf("AUTO_RUN = TRUE") > menu.indexOf("APP_NAME = Beta"));
  QCOMPARE(RowTexts(1)[2], QString("A"));  // read back from the new menu file

  QTest::mouseClick(m_dialog->ExecuteButton(), Qt::LeftButton);  // nothing left to write
  WaitIdle();
  QCOMPARE(menuWrites(), 1);

  choose(0);  // none: the marks go, but nothing is due for writing
  QTRY_COMPARE(RowTexts(1)[2], QString(" "));
  QCOMPARE(m_dialog->Stages().OptionChanged(), 0);
  QCOMPARE(m_alerts->seen.size(), 0);
}

void TestInstallerDialog::emptyListDisablesOption() {
  Start({}, {});  // nothing installed, nothing on the card
  QCOMPARE(m_alerts->messages(), QStringList({"FATAL ERROR\n Initial file not found in CF/USB."}));
  QCOMPARE(m_dialog->List()->RowCount(), 0);
  QVERIFY(!m_dialog->OperationEditor()->isVisible());
  QTest::mouseClick(m_dialog->OptionButton(), Qt::LeftButton);
  QVERIFY(!m_dialog->OptionButton()->isEnabled());
  QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestInstallerDialog)
#include "TestInstallerDialog.moc"
