// The pendant's menu file PP_MENU.INI: the bytes written, what is read back,
// and how a damaged file is reported.
#include "EngineFixtures.h"

#include <QtTest>

class TestMenuFile : public QObject {
  Q_OBJECT

 private slots:
  void writesBytes() {
    Sandbox box;
    box.write("\\DiskOnChip\\PP_APP\\PP_MENU.BAK", "left over");
    RecordingView view;
    TestEngine engine(&view);
    AppEntry *tools = engine.add("Tools", 1);
    tools->installed = {3, "Tools", "PP_APP\\Tools\\Tools.exe", "", "1.20", "NS2.10", 120, 5, "EXE", 0, {}};
    tools->installed.subMenuNames[0] = {"ENGLISH", "Tools"};
    tools->installed.subMenuNames[1] = {"JAPANESE", QString::fromUtf8("ツール")};
    tools->autoRun = 1;
    engine.WriteMenuFile();  // what the controller then does is not looked at here
    QCOMPARE(box.read(kMenuPath), QByteArray("[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = 1\n\n[APPLICATION_INFO1]\n"
                                             "APP_NAME = Tools\nTOPMENU_ID = 3\nAPP_PATH = \"PP_APP\\Tools\\Tools.exe\"\n"
                                             "SUBMENU_ICONPATH = \"\"\nAPP_VER = 1.20\nNS_VER = NS2.10\nFILE_SIZE = 120\n"
                                             "APP_TYPE = EXE\nSYS_STATUS = 0x05\nAUTO_RUN = TRUE\nONE-TOUCH_RUN = FALSE\n"
                                             "SUBMENU_NAME_ENGLISH = \"Tools\"\n"
                                             "SUBMENU_NAME_JAPANESE = \"\x83\x63\x81\x5b\x83\x8b\"\n"));
    QVERIFY(!box.exists("\\DiskOnChip\\PP_APP\\PP_MENU.BAK"));

    // Marks choose the values; null and unregistered entries leave no gap.
    engine.addNull();
    engine.add("Offered", 0);
    AppEntry *added = engine.add("Added", 1, AppEntry::Add);
    added->package.sysStatus = 300;
    engine.add("Stuck", 1, AppEntry::Remove)->installed = tools->installed;
    engine.WriteMenuFile();
    const QByteArray bytes = box.read(kMenuPath);
    QVERIFY(bytes.contains("APP_NUM = 3\n"));
    QVERIFY(bytes.contains("[APPLICATION_INFO2]\nAPP_NAME = Added\nTOPMENU_ID = 0\n"));
    QVERIFY(bytes.contains("SYS_STATUS = 0x12c\n"));
    QVERIFY(bytes.contains("[APPLICATION_INFO3]\nAPP_NAME = Stuck\nTOPMENU_ID = 0\nAPP_PATH = \"\"\n"));
    QVERIFY(bytes.endsWith("ONE-TOUCH_RUN = FALSE\nSUBMENU_NAME_ENGLISH = \"Tools\"\nSUBMENU_NAME_JAPANESE = \"\x83\x63\x81\x5b\x83\x8b\"\n"));
    QVERIFY(!bytes.contains("Offered"));
  }

  void readValues() {
    // Every value of a section; names in the language table's order, without
    // gaps and never POLISH; a flag only when it is exactly TRUE.
    Sandbox box;
    box.write("\\DiskOnChip\\PP_APP\\ADir\\A.exe", "MZ");
    QString sections = MenuSection(box, 1, "A", {{"APP_PATH", "PP_APP\\ADir\\A.exe"}, {"SUBMENU_ICONPATH", "PP_APP\\ADir\\i.bmp"},
                                                 {"AUTO_RUN", "TRUE"}, {"SYS_STATUS", "0x1f"}}) +
                       "SUBMENU_NAME_POLISH = \"P\"\nSUBMENU_NAME_CZECH = \"C\"\nSUBMENU_NAME_ENGLISH = \"E\"\n";
    for (const char *word : {"true", "T"})
      sections += MenuSection(box, sections.count("[") + 1, word, {{"AUTO_RUN", word}, {"ONE-TOUCH_RUN", *word == 'T' ? "TRUE" : word},
                                                                  {"SYS_STATUS", "12"}, {"SUBMENU_ICONPATH", {}}});
    WriteMenu(box, sections, 3);
    RecordingView view;
    TestEngine engine(&view);
    QCOMPARE(engine.ReadMenuFile(), 1);
    QCOMPARE(engine.EntryCount(), 3);
    AppRecord a{2, "ADir", "PP_APP\\ADir\\A.exe", "PP_APP\\ADir\\i.bmp", "1.00", "NS2.10", 100, 31, "T", 0, {}};
    a.subMenuNames[0] = {"ENGLISH", "E"};
    a.subMenuNames[1] = {"CZECH", "C"};
    QVERIFY(engine.EntryAt(0)->installed == a);
    QCOMPARE(engine.EntryAt(1)->installed.sysStatus, 12);
    QVERIFY(engine.EntryAt(1)->installed.iconPath.isEmpty() && view.alerts.isEmpty());
    QList<int> flags;
    for (const AppEntry *entry : engine.Entries()) flags << entry->registered << entry->autoRun << entry->oneTouch;
    QCOMPARE(flags, QList<int>({1, 1, 0, 1, 0, 0, 1, 0, 1}));

    QFile::remove(box.host(kMenuPath));  // nothing registered
    QCOMPARE(engine.ReadMenuFile(), 1);
    QCOMPARE(view.log.last(), QString("status 2: Application is not registered."));
  }

  void readFailures_data() {
    QTest::addColumn<int>("appNum");
    QTest::addColumn<Changes>("second");  // changes to the second of two sections
    QTest::addColumn<QString>("statuses");  // shown before the alert
    QTest::addColumn<QString>("alert");  // id and detail
    QTest::addColumn<QString>("errorKey");

    const QString none = "2: Application is not registered.", both = "3: A section read.|3: B section read.|";
    const QString format = "0: PP_MENU.INI file format error.", file = "2008 error file :(" + kMenuPath + ")";
    QTest::newRow("APP_NUM 33") << 33 << Changes() << none << "2001 Application is not registered." << "";
    QTest::newRow("APP_NUM missing") << -1 << Changes() << none << "2001 Application is not registered." << "APP_NUM";
    QTest::newRow("section missing") << 3 << Changes() << both + format << file << "APP_NAME";
    QTest::newRow("NS_VER missing") << 2 << Changes{{"NS_VER", {}}} << both + format << file << "NS_VER";
    QTest::newRow("executable missing") << 2 << Changes{{"APP_PATH", "PP_APP\\Gone\\B.exe"}}
                                        << both + "0: Pendant application execute file not found."
                                        << "2001 Pendant application execute file not found." << "";
    // Names that would become paths on the pendant are format errors.
    QTest::newRow("name with a path") << 2 << Changes{{"APP_NAME", "..\\..\\B"}} << "3: A section read.|" + format << file
                                      << "APP_NAME";
    QTest::newRow("folder with a path") << 2 << Changes{{"APP_PATH", "PP_APP\\x\\y\\B.exe"}} << both + format << file
                                        << "APP_PATH";
  }

  void readFailures() {
    QFETCH(int, appNum);
    QFETCH(Changes, second);
    Sandbox box;
    box.write("\\DiskOnChip\\PP_APP\\x\\y\\B.exe", "MZ");
    WriteMenu(box, MenuSection(box, 1, "A") + MenuSection(box, 2, "B", second), appNum);
    RecordingView view;
    TestEngine engine(&view);
    QCOMPARE(engine.ReadMenuFile(), 0);
    QCOMPARE(engine.EntryCount(), 0);
    qsizetype alertAt = 0;
    while (alertAt < view.log.size() && !view.log[alertAt].startsWith("alert")) ++alertAt;
    QTEST(view.log.mid(0, alertAt).join('|').remove("status "), "statuses");
    QTEST(view.alertIdsAndDetails().value(0), "alert");
    QTEST(engine.Ini().errorKey, "errorKey");
  }

  void sumOfSizes() {
    Sandbox box;
    RecordingView view;
    TestEngine engine(&view);
    const QString sections = MenuSection(box, 1, "A") + MenuSection(box, 2, "B", {{"FILE_SIZE", "250"}}) +
                             MenuSection(box, 3, "C", {{"APP_NAME", "\"\""}});
    for (int count : {3, 2000000000}) {  // a damaged count is not read section by section for ever
      WriteMenu(box, sections, count);
      QCOMPARE(engine.SumRegisteredFileSizes(kMenuPath), 350);
    }
    QCOMPARE(engine.Ini().errorSection, QString("APPLICATION_INFO2000000000"));
    WriteMenu(box, sections, 0);
    QCOMPARE(engine.SumRegisteredFileSizes(kMenuPath), 0);
    QCOMPARE(view.log.last(), QString("status 2: FILE_SIZE_TAG_KEY error."));
    // Sizes near the limit add up to the largest size, not round to a small one.
    WriteMenu(box, MenuSection(box, 1, "A", {{"FILE_SIZE", "2147483647"}}) + MenuSection(box, 2, "B"), 2);
    QCOMPARE(engine.SumRegisteredFileSizes(kMenuPath), 2147483647);
  }
};

QTEST_GUILESS_MAIN(TestMenuFile)
#include "TestMenuFile.moc"
