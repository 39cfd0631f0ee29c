// The pendant's menu file PP_MENU.INI: the bytes written, what is read back,
// and how a damaged file is reported.
#include "EngineFixtures.h"
#include "RecordingView.h"
#include "files/IniFile.h"

#include <QtTest>

#include <algorithm>

class TestMenuFile : public QObject {
  Q_OBJECT

 private slots:
  void writesToolsExactly();
  void sectionsFollowMarks();
  void roundTripOf32();
  void readValues_data();
  void readValues();
  void readFailures_data();
  void readFailures();
  void absentFileRegistersNothing();
  void sumOfSizes();
};

namespace {

AppRecord ToolsRecord() {
  AppRecord r;
  r.topMenuId = 3;
  r.folder = "Tools";
  r.appPath = "PP_APP\\Tools\\Tools.exe";
  r.appVersion = "1.20";
  r.systemVersion = "NS2.10";
  r.fileSize = 120;
  r.appType = "APP_TYPE_OVERLAPPED_EXE";
  r.sysStatus = 5;
  r.subMenuNames[0] = {"ENGLISH", "Tools"};
  r.subMenuNames[1] = {"JAPANESE", QString::fromUtf8("ツール")};
  return r;
}

// Statuses shown before the first alert, as "level: text".
QStringList StatusesBeforeAlert(const RecordingView &view) {
  QStringList shown;
  for (const QString &line : view.log) {
    if (line.startsWith("alert")) break;
    shown.append(line.mid(7));
  }
  return shown;
}

}  // namespace

void TestMenuFile::writesToolsExactly() {
  Sandbox box;
  box.write(kMenuPath, "previous");
  box.write("\\DiskOnChip\\PP_APP\\PP_MENU.BAK", "left over");
  RecordingView view;
  TestEngine engine(&view);
  AppEntry *tools = engine.add("Tools", 1);
  tools->installed = ToolsRecord();
  tools->autoRun = 1;
  engine.WriteMenuFile();  // the controller's part is not looked at here
  QCOMPARE(box.read(kMenuPath), QByteArray("[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = 1\n\n"
                                           "[APPLICATION_INFO1]\nAPP_NAME = Tools\nTOPMENU_ID = 3\n"
                                           "APP_PATH = \"PP_APP\\Tools\\Tools.exe\"\nSUBMENU_ICONPATH = \"\"\n"
                                           "APP_VER = 1.20\nNS_VER = NS2.10\nFILE_SIZE = 120\n"
                                           "APP_TYPE = APP_TYPE_OVERLAPPED_EXE\nSYS_STATUS = 0x05\n"
                                           "AUTO_RUN = TRUE\nONE-TOUCH_RUN = FALSE\n"
                                           "SUBMENU_NAME_ENGLISH = \"Tools\"\n"
                                           "SUBMENU_NAME_JAPANESE = \"\x83\x63\x81\x5b\x83\x8b\"\n"));
  QVERIFY(!box.exists("\\DiskOnChip\\PP_APP\\PP_MENU.BAK"));
}

void TestMenuFile::sectionsFollowMarks() {
  Sandbox box;
  RecordingView view;
  TestEngine engine(&view);
  engine.add("Kept", 1)->installed = ToolsRecord();
  engine.addNull();
  engine.add("Offered", 0)->package = ToolsRecord();
  AppEntry *added = engine.add("Added", 1, AppEntry::Add);
  added->package.appVersion = "2.00";
  added->package.sysStatus = 300;
  AppEntry *stuck = engine.add("Stuck", 1, AppEntry::Remove);
  stuck->installed = ToolsRecord();
  engine.WriteMenuFile();

  IniFile ini;
  QCOMPARE(ini.ReadIniInt(kMenuPath, "APPLICATION_INFO", "APP_NUM"), 3);
  QCOMPARE(ini.ReadIniString(kMenuPath, "APPLICATION_INFO2", "APP_NAME"), QString("Added"));
  QCOMPARE(ini.ReadIniString(kMenuPath, "APPLICATION_INFO2", "APP_VER"), QString("2.00"));
  QCOMPARE(ini.ReadIniString(kMenuPath, "APPLICATION_INFO2", "SYS_STATUS"), QString("0x12c"));
  // A removal passed over keeps only its menu names.
  QCOMPARE(ini.ReadIniString(kMenuPath, "APPLICATION_INFO3", "APP_NAME"), QString("Stuck"));
  QCOMPARE(ini.ReadIniString(kMenuPath, "APPLICATION_INFO3", "FILE_SIZE"), QString("0"));
  QCOMPARE(ini.ReadIniString(kMenuPath, "APPLICATION_INFO3", "APP_PATH"), QString());
  QCOMPARE(ini.ReadIniString(kMenuPath, "APPLICATION_INFO3", "SUBMENU_NAME_ENGLISH"), QString("Tools"));
  QVERIFY(!box.read(kMenuPath).contains("Offered"));
}

void TestMenuFile::roundTripOf32() {
  Sandbox box;
  RecordingView view;
  TestEngine engine(&view);
  QList<AppEntry> written;
  for (int i = 0; i < 32; ++i) {
    const QString name = i % 3 ? QStringLiteral("App%1").arg(i) : QString::fromUtf8("工具%1").arg(i);
    AppEntry *entry = engine.add(name, 1);
    AppRecord &r = entry->installed;
    r.topMenuId = i;
    r.folder = i % 4 ? name : name + "Dir";
    r.appPath = QStringLiteral("PP_APP\\%1\\%2.exe").arg(r.folder, name);
    r.iconPath = i % 2 ? QStringLiteral("PP_APP\\%1\\icon.bmp").arg(r.folder) : QString();
    r.appVersion = QStringLiteral("%1.%2").arg(i / 10).arg(i % 10);
    r.systemVersion = "NS2.10";
    r.fileSize = 100 * i + 7;
    r.sysStatus = i * 37;
    r.appType = "APP_TYPE_OVERLAPPED_EXE";
    for (int k = 0; k < kSubMenuPairs; ++k)
      if ((i + k) % 5) r.subMenuNames[k] = {QString::fromUtf16(kLanguageNames[k]), QString::fromUtf8("メニュー %1-%2").arg(i).arg(k)};
    entry->autoRun = i == 5;
    entry->oneTouch = i == 9;
    box.write("\\DiskOnChip\\" + r.appPath, "MZ");
    written.append(*entry);
  }
  engine.WriteMenuFile();
  QCOMPARE(engine.ReadMenuFile(), 1);
  QCOMPARE(engine.EntryCount(), 32);
  for (int i = 0; i < 32; ++i) {
    const AppEntry *read = engine.EntryAt(i);
    // The pairs are read back from the first slot without gaps.
    AppRecord expected = written[i].installed;
    std::stable_partition(expected.subMenuNames.begin(), expected.subMenuNames.end(),
                          [](const SubMenuName &p) { return !p.language.isEmpty(); });
    QCOMPARE(read->name, written[i].name);
    QCOMPARE(read->registered, 1);
    QCOMPARE(read->autoRun, written[i].autoRun);
    QCOMPARE(read->oneTouch, written[i].oneTouch);
    QVERIFY2(read->installed == expected, qPrintable(read->name));
  }
}

void TestMenuFile::readValues_data() {
  QTest::addColumn<Changes>("changes");
  QTest::addColumn<int>("autoRun");
  QTest::addColumn<int>("sysStatus");
  QTest::newRow("hex status, TRUE") << Changes{{"AUTO_RUN", "TRUE"}, {"SYS_STATUS", "0x1f"}} << 1 << 31;
  QTest::newRow("decimal status") << Changes{{"SYS_STATUS", "12"}} << 0 << 12;
  for (const char *word : {"true", "True", "T", "FALSE"})
    QTest::newRow(word) << Changes{{"AUTO_RUN", word}} << 0 << 1;
}

void TestMenuFile::readValues() {
  QFETCH(Changes, changes);
  QFETCH(int, autoRun);
  QFETCH(int, sysStatus);
  Sandbox box;
  changes.insert("SUBMENU_ICONPATH", QString());
  WriteMenu(box,
            MenuSection(box, 1, "Tools", changes) +
                "SUBMENU_NAME_POLISH = \"P\"\nSUBMENU_NAME_CZECH = \"C\"\nSUBMENU_NAME_ENGLISH = \"E\"\n",
            1);
  RecordingView view;
  TestEngine engine(&view);
  QCOMPARE(engine.ReadMenuFile(), 1);
  const AppEntry *entry = engine.EntryAt(0);
  QCOMPARE(entry->autoRun, autoRun);
  QCOMPARE(entry->installed.sysStatus, sysStatus);
  QCOMPARE(entry->installed.folder, QString("Tools"));
  QCOMPARE(entry->installed.iconPath, QString());
  QCOMPARE(entry->installed.subMenuNames[0], (SubMenuName{"ENGLISH", "E"}));
  QCOMPARE(entry->installed.subMenuNames[1], (SubMenuName{"CZECH", "C"}));
  QVERIFY(entry->installed.subMenuNames[2].language.isEmpty());
}

void TestMenuFile::readFailures_data() {
  QTest::addColumn<int>("appNum");
  QTest::addColumn<QString>("head");  // null: the usual one
  QTest::addColumn<Changes>("second");  // changes to the second of two sections
  QTest::addColumn<QStringList>("statuses");
  QTest::addColumn<int>("alert");
  QTest::addColumn<QString>("detail");
  QTest::addColumn<QString>("errorKey");

  const QString format = "0: PP_MENU.INI file format error.";
  const QString fileDetail = "error file :(\\DiskOnChip\\PP_APP\\PP_MENU.INI)";
  const QStringList bothRead = {"3: A section read.", "3: B section read.", format};
  const QString notRegistered = "Application is not registered.";
  for (int n : {0, 33})
    QTest::addRow("APP_NUM %d", n) << n << QString() << Changes() << QStringList{"2: " + notRegistered}
                                   << 2001 << notRegistered << QString();
  QTest::newRow("APP_NUM missing") << -1 << "[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUMBER = 2\n"
                                   << Changes() << QStringList{"2: " + notRegistered} << 2001
                                   << notRegistered << "APP_NUM";
  QTest::newRow("third section missing") << 3 << QString() << Changes()
                                         << QStringList{"3: A section read.", "3: B section read.", format} << 2008
                                         << fileDetail << "APP_NAME";
  QTest::newRow("VERSION missing") << 2 << "[APPLICATION_INFO]\n" << Changes()
                                   << QStringList{"3: A section read.", format} << 2008 << fileDetail << "VERSION";
  QTest::newRow("NS_VER missing") << 2 << QString() << Changes{{"NS_VER", QString()}} << bothRead
                                  << 2008 << fileDetail << "NS_VER";
  QTest::newRow("ONE-TOUCH_RUN empty") << 2 << QString() << Changes{{"ONE-TOUCH_RUN", "\"\""}}
                                       << bothRead << 2008 << fileDetail << "ONE-TOUCH_RUN";
  QTest::newRow("executable missing")
      << 2 << QString() << Changes{{"APP_PATH", "PP_APP\\Gone\\B.exe"}}
      << QStringList{"3: A section read.", "3: B section read.", "0: Pendant application execute file not found."}
      << 2001 << "Pendant application execute file not found." << QString();
  // Names that would become paths on the pendant are format errors.
  QTest::newRow("name with a path") << 2 << QString() << Changes{{"APP_NAME", "..\\..\\B"}}
                                    << QStringList{"3: A section read.", format} << 2008 << fileDetail << "APP_NAME";
  QTest::newRow("name too long") << 2 << QString() << Changes{{"APP_NAME", QString(65, 'B')}}
                                 << QStringList{"3: A section read.", format} << 2008 << fileDetail << "APP_NAME";
  QTest::newRow("folder with a path") << 2 << QString() << Changes{{"APP_PATH", "PP_APP\\x\\y\\B.exe"}}
                                      << bothRead << 2008 << fileDetail << "APP_PATH";
}

void TestMenuFile::readFailures() {
  QFETCH(int, appNum);
  QFETCH(QString, head);
  QFETCH(Changes, second);
  QFETCH(QStringList, statuses);
  QFETCH(int, alert);
  QFETCH(QString, detail);
  QFETCH(QString, errorKey);
  Sandbox box;
  box.write("\\DiskOnChip\\PP_APP\\x\\y\\B.exe", "MZ");
  WriteMenu(box, MenuSection(box, 1, "A") + MenuSection(box, 2, "B", second), appNum, head);
  RecordingView view;
  TestEngine engine(&view);
  QCOMPARE(engine.ReadMenuFile(), 0);
  QCOMPARE(engine.EntryCount(), 0);
  QCOMPARE(StatusesBeforeAlert(view), statuses);
  QVERIFY(!view.alerts.isEmpty());
  QCOMPARE(view.alerts.first().request.messageId, alert);
  QCOMPARE(view.alerts.first().request.detail, detail);
  QCOMPARE(engine.Ini().errorKey, errorKey);
}

void TestMenuFile::absentFileRegistersNothing() {
  Sandbox box;
  RecordingView view;
  TestEngine engine(&view);
  QCOMPARE(engine.ReadMenuFile(), 1);
  QCOMPARE(view.log, QStringList{"status 2: Application is not registered."});
}

void TestMenuFile::sumOfSizes() {
  Sandbox box;
  RecordingView view;
  TestEngine engine(&view);
  const QString sections = MenuSection(box, 1, "A") + MenuSection(box, 2, "B", {{"FILE_SIZE", "250"}}) +
                           MenuSection(box, 3, "C", {{"APP_NAME", "\"\""}, {"FILE_SIZE", "999"}});
  WriteMenu(box, sections, 3);
  QCOMPARE(engine.SumRegisteredFileSizes(kMenuPath), 350);
  // A damaged count is not read section by section for ever.
  WriteMenu(box, sections, 2000000000);
  QCOMPARE(engine.SumRegisteredFileSizes(kMenuPath), 350);
  QCOMPARE(engine.Ini().errorSection, QString("APPLICATION_INFO2000000000"));
  WriteMenu(box, sections, 0);
  QCOMPARE(engine.SumRegisteredFileSizes(kMenuPath), 0);
  QCOMPARE(view.log.last(), QString("status 2: FILE_SIZE_TAG_KEY error."));
}

QTEST_GUILESS_MAIN(TestMenuFile)
#include "TestMenuFile.moc"
