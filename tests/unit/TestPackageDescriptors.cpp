// Packages on the medium: descriptors, the install list, and the reports a
// bad one gets.
#include "EngineFixtures.h"
#include "RecordingView.h"

#include <QtTest>

class TestPackageDescriptors : public QObject {
  Q_OBJECT

 private slots:
  void descriptor_data();
  void descriptor();
  void scanSkipsReservedAndUnpaired_data();
  void scanSkipsReservedAndUnpaired();
  void scanFailureOfListedEntry();
  void pathLikeFolderLeavesPendantAlone();
  void installList_data();
  void installList();
};

void TestPackageDescriptors::descriptor_data() {
  QTest::addColumn<Changes>("changes");
  QTest::addColumn<QString>("systemVersion");  // null: rejected
  QTest::addColumn<int>("autoRunCapable");
  QTest::addColumn<QString>("appPath");
  QTest::addColumn<QString>("errorSectionKey");

  const QString path = "PP_APP\\Tool\\Tool.exe";
  QTest::newRow("DS becomes NS") << Changes() << "NS2.10" << 1 << path << "";
  QTest::newRow("only the first DS") << Changes{{"SYS_VER", "xDSyDS"}} << "xNSyDS" << 1 << path << "";
  QTest::newRow("NS_VER without SYS_VER") << Changes{{"SYS_VER", {}}, {"NS_VER", "NS3.00"}} << "NS3.00" << 1 << path << "";
  QTest::newRow("AUTO_RUN lower case") << Changes{{"AUTO_RUN", "true"}} << "NS2.10" << 0 << path << "";
  QTest::newRow("folder name") << Changes{{"FOLDER_NAME", "Sub"}} << "NS2.10" << 1 << "PP_APP\\Sub\\Tool.exe" << "";
  QTest::newRow("neither version") << Changes{{"SYS_VER", {}}} << QString() << 0 << "" << "APPLICATION_INFO:NS_VER";
  QTest::newRow("name case differs") << Changes{{"APP_NAME", "tool"}} << QString() << 0 << "" << "APPLICATION_INFO:APP_NAME";
  QTest::newRow("folder climbs out") << Changes{{"FOLDER_NAME", "..\\.."}} << QString() << 0 << ""
                                     << "APPLICATION_INFO:FOLDER_NAME";
  QTest::newRow("folder with a drive") << Changes{{"FOLDER_NAME", "C:x"}} << QString() << 0 << ""
                                       << "APPLICATION_INFO:FOLDER_NAME";
  QTest::newRow("folder with a control character")
      << Changes{{"FOLDER_NAME", "\"a\x01" "b\""}} << QString() << 0 << "" << "APPLICATION_INFO:FOLDER_NAME";
  QTest::newRow("folder too long") << Changes{{"FOLDER_NAME", QString(65, 'f')}} << QString() << 0 << ""
                                   << "APPLICATION_INFO:FOLDER_NAME";
  QTest::newRow("icon with a path") << Changes{{"SUBMENU_ICON", "..\\..\\x.bmp"}} << QString() << 0 << ""
                                    << "MENU_INFO:SUBMENU_ICON";
}

void TestPackageDescriptors::descriptor() {
  QFETCH(Changes, changes);
  QFETCH(QString, systemVersion);
  QFETCH(int, autoRunCapable);
  QFETCH(QString, appPath);
  QFETCH(QString, errorSectionKey);
  Sandbox box;
  WritePackage(box, "Tool", changes);
  RecordingView view;
  TestEngine engine(&view);
  engine.MediaRoot() = "\\Storage Card\\";
  QCOMPARE(engine.ReadPackageDescriptors(), systemVersion.isNull() ? 0 : 1);
  if (systemVersion.isNull()) {
    QCOMPARE(engine.EntryCount(), 0);
    const QString section = errorSectionKey.section(':', 0, 0), key = errorSectionKey.section(':', 1);
    QCOMPARE(view.statusTexts().last(), "Application INI file format error. \\Storage Card\\PP_APP\\Tool.INI (section:" +
                                            section + " entry:" + key + ")");
    QCOMPARE(view.alertIds(), QList<int>{2009});
    QCOMPARE(view.alerts.first().request.detail, "error file :(Tool.ini)\u3000section:" + section + " entry:" + key);
    return;
  }
  QCOMPARE(engine.EntryCount(), 1);
  const AppRecord &p = engine.EntryAt(0)->package;
  QCOMPARE(p.systemVersion, systemVersion);
  QCOMPARE(p.autoRunCapable, autoRunCapable);
  QCOMPARE(p.appPath, appPath);
  QCOMPARE(p.iconPath, appPath.section('\\', 0, 1) + "\\icon.bmp");
  QCOMPARE(p.subMenuNames[0], (SubMenuName{"ENGLISH", "Tool menu"}));
  QCOMPARE(engine.EntryAt(0)->operation, 0);
}

void TestPackageDescriptors::scanSkipsReservedAndUnpaired_data() {
  QTest::addColumn<QStringList>("packages");
  QTest::newRow("reserved names enumerated last") << QStringList{"A1", "A2"};
  QTest::newRow("reserved names enumerated first") << QStringList{"Z1", "Z2"};
}

void TestPackageDescriptors::scanSkipsReservedAndUnpaired() {
  QFETCH(QStringList, packages);
  Sandbox box;
  for (const QString &name : packages) WritePackage(box, name);
  // Each reserved file has an archive beside it and would fail as a descriptor.
  for (const char *name : {"PP_MENU", "PP_INSTALL", "pp_install", "B_unpaired"}) {
    box.write(kMediumApp + name + (name[0] == 'p' ? ".ini" : ".INI"), "[APPLICATION_INFO]\nAPP_NAME = bad\n");
    if (name[0] != 'B') box.write(kMediumApp + name + ".ZIP", "PK");
  }
  RecordingView view;
  TestEngine engine(&view);
  engine.MediaRoot() = "\\Storage Card\\";
  QCOMPARE(engine.ReadPackageDescriptors(), 1);
  QCOMPARE(view.alerts.size(), 0);
  QCOMPARE(engine.EntryCount(), 2);
  QCOMPARE(view.statusTexts(), QStringList({packages[0] + ".ini file read complete.", packages[1] + ".ini file read complete."}));
}

void TestPackageDescriptors::scanFailureOfListedEntry() {
  const QString pattern = "\\Storage Card\\PP_APP\\*.INI";
  // The pendant names the search pattern when the first file found fails,
  // else the package.
  for (const QString bad : {"C", "B"}) {
    Sandbox box;
    for (const QString name : {"B", "C"}) WritePackage(box, name, name == bad ? Changes{{"APP_VER", {}}} : Changes());
    RecordingView view;
    TestEngine engine(&view);
    engine.MediaRoot() = "\\Storage Card\\";
    engine.add(bad, 1);
    QCOMPARE(engine.ReadPackageDescriptors(), 0);
    QCOMPARE(view.log.mid(view.log.size() - 2, 1), QStringList{"status 0: Application INI file format error."});
    QCOMPARE(view.alertIds(), QList<int>{2009});
    QCOMPARE(view.alerts.first().request.detail, "error file :(" + (bad == "B" ? pattern : bad) + ")");
  }
  // No descriptor at all: the list is emptied and the pattern named.
  Sandbox box;
  RecordingView view;
  TestEngine engine(&view);
  engine.MediaRoot() = "\\Storage Card\\";
  engine.add("Tool", 1);
  QCOMPARE(engine.ReadPackageDescriptors(), 1);
  QCOMPARE(engine.EntryCount(), 0);
  QCOMPARE(view.alertIds(), QList<int>{2004});
  QCOMPARE(view.alerts.first().request.detail, "error file :(" + pattern + ")");
}

void TestPackageDescriptors::pathLikeFolderLeavesPendantAlone() {
  Sandbox box;
  WriteMenu(box, MenuSection(box, 1, "Tool"), 1);
  box.write("\\DiskOnChip\\keep.txt", "precious");
  const QStringList before = box.tree("\\DiskOnChip");
  WritePackage(box, "Tool", {{"FOLDER_NAME", "..\\.."}});
  RecordingView view;
  TestEngine engine(&view);
  engine.MediaRoot() = "\\Storage Card\\";
  QCOMPARE(engine.ReadMenuFile(), 1);
  QCOMPARE(engine.ReadPackageDescriptors(), 0);
  // Nothing from the descriptor reached the entry, so it cannot be added.
  QVERIFY(engine.EntryAt(0)->package.folder.isEmpty());
  engine.SetOperation(0, AppEntry::Add);
  QCOMPARE(engine.GetOperation(0), 0);
  QCOMPARE(box.tree("\\DiskOnChip"), before);
}

void TestPackageDescriptors::installList_data() {
  QTest::addColumn<QString>("list");
  QTest::addColumn<int>("result");
  QTest::addColumn<QStringList>("marked");  // names marked Add, in list order
  QTest::addColumn<int>("alert");
  QTest::addColumn<QString>("detail");

  QString forty = "[DefaultSetting]\nAPP_NUM = 40\n";
  QStringList first32;
  for (int i = 1; i <= 40; ++i) forty += QStringLiteral("APP_NAME%1 = P%1\n").arg(i);
  for (int i = 1; i <= 32; ++i) first32 << QStringLiteral("P%1").arg(i);
  QTest::newRow("no list") << QString() << 1 << QStringList() << 0 << "";
  QTest::newRow("APP_NUM 0") << "[DefaultSetting]\nAPP_NUM = 0\nAPP_NAME1 = Tool\n" << 1 << QStringList() << 0 << "";
  QTest::newRow("40 names, 32 taken") << forty << 1 << first32 << 0 << "";
  QTest::newRow("registered application")
      << "[DefaultSetting]\nAPP_NUM = 2\nAPP_NAME1 = Tool\nAPP_NAME2 = P1\n" << 1 << QStringList{"Tool", "P1"} << 0 << "";
  QTest::newRow("package missing") << "[DefaultSetting]\nAPP_NUM = 1\nAPP_NAME1 = Ghost\n" << 0 << QStringList() << 2013
                                   << "error file :(Ghost)";
  QTest::newRow("name missing") << "[DefaultSetting]\nAPP_NUM = 2\nAPP_NAME1 = P1\n" << 0 << QStringList{"P1"} << 2009
                                << "error file :(PP_INSTALL.INI)\u3000section:DefaultSetting entry:APP_NAME2";
  QTest::newRow("name with a path") << "[DefaultSetting]\nAPP_NUM = 1\nAPP_NAME1 = ..\\..\\DiskOnChip\\PP_APP\\Tool\n"
                                    << 0 << QStringList() << 2009
                                    << "error file :(PP_INSTALL.INI)\u3000section:DefaultSetting entry:APP_NAME1";
  QTest::newRow("new package, bad descriptor") << "[DefaultSetting]\nAPP_NUM = 1\nAPP_NAME1 = Bad\n" << 0
                                               << QStringList() << 2009 << "error file :(Bad.INI)";
  QTest::newRow("registered, bad descriptor") << "[DefaultSetting]\nAPP_NUM = 1\nAPP_NAME1 = Worn\n" << 0
                                              << QStringList() << 2009
                                              << "error file :(Worn.INI)\u3000section:APPLICATION_INFO entry:APP_TYPE";
}

void TestPackageDescriptors::installList() {
  QFETCH(QString, list);
  QFETCH(int, result);
  QFETCH(QStringList, marked);
  QFETCH(int, alert);
  QFETCH(QString, detail);
  Sandbox box;
  for (int i = 1; i <= 32; ++i) WritePackage(box, QStringLiteral("P%1").arg(i));
  WritePackage(box, "Bad", {{"FILE_SIZE", {}}});
  WritePackage(box, "Tool");
  WritePackage(box, "Worn", {{"APP_TYPE", "\"\""}});
  if (!list.isNull()) box.write(kMediumApp + "PP_INSTALL.INI", list.toUtf8());
  RecordingView view;
  TestEngine engine(&view);
  engine.MediaRoot() = "\\Storage Card\\";
  AppEntry *tool = engine.add("Tool", 1);
  tool->installed.appVersion = "1.00";
  engine.add("Worn", 1);
  QCOMPARE(engine.ReadInstallDescriptor(), result);
  QStringList names;
  for (const AppEntry *entry : engine.Entries())
    if (entry->operation == AppEntry::Add) names << entry->name;
  QCOMPARE(names, marked);
  QCOMPARE(tool->installed.appVersion, QString("1.00"));  // the installed record stays
  if (marked.contains("Tool")) QCOMPARE(tool->package.appVersion, QString("2.00"));
  QCOMPARE(view.alertIds(), alert ? QList<int>{alert} : QList<int>());
  if (alert) QCOMPARE(view.alerts.first().request.detail, detail);
}

QTEST_GUILESS_MAIN(TestPackageDescriptors)
#include "TestPackageDescriptors.moc"
