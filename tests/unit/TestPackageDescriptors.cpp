// Packages on the medium: descriptors, the install list, the reports a bad
// one gets, and the order the list shows them in.
#include "EngineFixtures.h"
#include "files/NameRules.h"

#include <QtTest>

class TestPackageDescriptors : public QObject {
  Q_OBJECT

 private slots:
  void nameRule() {
    for (const char *name : {"Tool", "ツール", "a.b", "with space", ""}) QVERIFY2(IsSafePathName(QString::fromUtf8(name)), name);
    for (const char *name : {"a\\b", "a/b", "C:x", "..", "x..y", ".", "a\x01", "a\x7f", "a*", "a?b"})
      QVERIFY2(!IsSafePathName(QString::fromUtf8(name)), name);
    QVERIFY(IsSafePathName(QString(64, 'x')));
    QVERIFY(!IsSafePathName(QString(65, 'x')));
  }

  void descriptor_data() {
    QTest::addColumn<Changes>("changes");
    QTest::addColumn<QString>("result");  // "systemVersion autoRunCapable appPath", or the failing "section:key"
    QTest::newRow("only the first DS") << Changes{{"SYS_VER", "xDSyDS"}} << "xNSyDS 1 PP_APP\\Tool\\Tool.exe";
    QTest::newRow("NS_VER instead") << Changes{{"SYS_VER", {}}, {"NS_VER", "NS3"}} << "NS3 1 PP_APP\\Tool\\Tool.exe";
    QTest::newRow("AUTO_RUN lower case") << Changes{{"AUTO_RUN", "true"}} << "NS2.10 0 PP_APP\\Tool\\Tool.exe";
    QTest::newRow("folder name") << Changes{{"FOLDER_NAME", "Sub"}} << "NS2.10 1 PP_APP\\Sub\\Tool.exe";
    QTest::newRow("no version") << Changes{{"SYS_VER", {}}} << "APPLICATION_INFO:NS_VER";
    QTest::newRow("name case differs") << Changes{{"APP_NAME", "tool"}} << "APPLICATION_INFO:APP_NAME";
    QTest::newRow("folder climbs out") << Changes{{"FOLDER_NAME", "..\\.."}} << "APPLICATION_INFO:FOLDER_NAME";
    QTest::newRow("icon with a path") << Changes{{"SUBMENU_ICON", "..\\x.bmp"}} << "MENU_INFO:SUBMENU_ICON";
  }

  void descriptor() {
    QFETCH(Changes, changes);
    QFETCH(QString, result);
    Sandbox box;
    WritePackage(box, "Tool", changes);
    RecordingView view;
    TestEngine engine(&view);
    const bool ok = result.contains(' ');
    QCOMPARE(engine.ReadPackageDescriptors(), int(ok));
    QCOMPARE(engine.EntryCount(), int(ok));
    if (ok) {
      const AppRecord &p = engine.EntryAt(0)->package;
      QCOMPARE(QStringList({p.systemVersion, QString::number(p.autoRunCapable), p.appPath}).join(' '), result);
      QCOMPARE(p.iconPath, p.appPath.section('\\', 0, 1) + "\\icon.bmp");
      QCOMPARE(p.subMenuNames[0], (SubMenuName{"ENGLISH", "Tool menu"}));
      return;
    }
    const QString section = result.section(':', 0, 0), key = result.section(':', 1);
    QCOMPARE(view.statusTexts().last(), "Application INI file format error. " + kMediumApp + "Tool.INI (section:" +
                                            section + " entry:" + key + ")");
    QCOMPARE(view.alertIds(), QList<int>{2009});
    QCOMPARE(view.alerts[0].request.detail, "error file :(Tool.ini)\u3000section:" + section + " entry:" + key);
  }

  void scan_data() {
    QTest::addColumn<QStringList>("packages");
    QTest::addColumn<QString>("registeredBad");  // a registered entry whose descriptor fails
    QTest::addColumn<QString>("detail");
    QTest::newRow("reserved names enumerated last") << QStringList{"A1", "A2"} << "" << "";
    QTest::newRow("reserved names enumerated first") << QStringList{"Z1", "Z2"} << "" << "";
    // The pendant names the search pattern when the first file found fails.
    QTest::newRow("first file fails") << QStringList{"A1", "Z1"} << "A1" << kMediumApp + "*.INI";
    QTest::newRow("later file fails") << QStringList{"A1", "Z1"} << "Z1" << "Z1";
    QTest::newRow("no descriptor") << QStringList() << "" << kMediumApp + "*.INI";
  }

  void scan() {
    QFETCH(QStringList, packages);
    QFETCH(QString, registeredBad);
    QFETCH(QString, detail);
    Sandbox box;
    for (const QString &name : packages) WritePackage(box, name, name == registeredBad ? Changes{{"FOLDER_NAME", "..\\.."}} : Changes());
    // Each reserved file has an archive beside it and would fail as a descriptor.
    for (const QString name : {"PP_MENU.INI", "PP_INSTALL.INI", "pp_install.ini", "B.INI"})
      if (!packages.isEmpty()) box.write(kMediumApp + name, "[APPLICATION_INFO]\nAPP_NAME = bad\n");
    for (const QString name : {"PP_MENU.ZIP", "PP_INSTALL.ZIP", "pp_install.ZIP"}) box.write(kMediumApp + name, "PK");
    RecordingView view;
    TestEngine engine(&view);
    if (!registeredBad.isEmpty() || packages.isEmpty()) engine.add(registeredBad, 1);
    QCOMPARE(engine.ReadPackageDescriptors(), int(registeredBad.isEmpty()));
    QCOMPARE(view.alerts.value(0).request.detail, detail.isEmpty() ? QString() : "error file :(" + detail + ")");
    // Nothing of a failed descriptor reaches the registered entry, so it cannot be marked Add.
    if (!registeredBad.isEmpty()) QVERIFY(engine.EntryAt(0)->package.folder.isEmpty() && engine.EntryAt(0)->package.appVersion.isEmpty());
    if (detail.isEmpty()) {
      QCOMPARE(engine.EntryCount(), 2);
      QCOMPARE(view.statusTexts(), QStringList({packages[0] + ".ini file read complete.", packages[1] + ".ini file read complete."}));
    } else if (packages.isEmpty()) {
      QCOMPARE(engine.EntryCount(), 0);  // emptied
      QCOMPARE(view.log, QStringList({"status 0: Initial file not found in CF/USB.", view.log.last()}));
    } else {
      QCOMPARE(view.log.at(view.log.size() - 2), QString("status 0: Application INI file format error."));
    }
  }

  void installList_data() {
    QTest::addColumn<QString>("names");  // APP_NUM, then the names
    QTest::addColumn<int>("marked");     // entries marked Add afterwards
    QTest::addColumn<int>("alert");
    QTest::addColumn<QString>("detail");
    QString forty = "40";
    for (int i = 1; i <= 40; ++i) forty += QStringLiteral(" P%1").arg(i);
    QTest::newRow("40 names, 32 taken") << forty << 32 << 0 << "";
    QTest::newRow("registered application") << "2 Tool P1" << 2 << 0 << "";
    QTest::newRow("package missing") << "1 Ghost" << 0 << 2013 << "error file :(Ghost)";
    QTest::newRow("name with a path") << "1 ..\\..\\DiskOnChip\\PP_APP\\x" << 0 << 2009
                                      << "error file :(PP_INSTALL.INI)\u3000section:DefaultSetting entry:APP_NAME1";
    QTest::newRow("new package, bad descriptor") << "1 Bad" << 0 << 2009 << "error file :(Bad.INI)";
    QTest::newRow("registered, bad descriptor") << "1 Worn" << 0 << 2009
                                                << "error file :(Worn.INI)\u3000section:APPLICATION_INFO entry:APP_TYPE";
  }

  void installList() {
    QFETCH(QString, names);
    QFETCH(int, alert);
    Sandbox box;
    for (int i = 1; i <= 32; ++i) WritePackage(box, QStringLiteral("P%1").arg(i));
    WritePackage(box, "Tool");
    WritePackage(box, "Bad", {{"FILE_SIZE", {}}});
    WritePackage(box, "Worn", {{"APP_TYPE", "\"\""}});
    const QStringList list = names.split(' ');
    QString text = "[DefaultSetting]\nAPP_NUM = " + list[0] + "\n";
    for (int i = 1; i < list.size(); ++i) text += QStringLiteral("APP_NAME%1 = %2\n").arg(i).arg(list[i]);
    box.write(kMediumApp + "PP_INSTALL.INI", text.toUtf8());
    RecordingView view;
    TestEngine engine(&view);
    AppEntry *tool = engine.add("Tool", 1);
    tool->installed.appVersion = "1.00";
    engine.add("Worn", 1);
    QCOMPARE(engine.ReadInstallDescriptor(), int(alert == 0));
    QTEST(int(std::count_if(engine.Entries().begin(), engine.Entries().end(), [](auto *e) { return e->operation == 1; })), "marked");
    QCOMPARE(tool->installed.appVersion, QString("1.00"));  // a registered entry keeps its installed record
    QCOMPARE(tool->package.appVersion, QString(names.contains("Tool") ? "2.00" : ""));
    QCOMPARE(view.alerts.value(0).request.messageId, alert);
    QTEST(view.alerts.value(0).request.detail, "detail");
  }

  void sortOrder() {
    // Only unmarked, unregistered entries move; names by UTF-16 code units, a
    // prefix first.
    RecordingView view;
    TestEngine engine(&view);
    for (const char *name : {"z", "m", "y", "b", "a", "ab", "B", "_"})
      engine.add(name, *name == 'z' || *name == 'm', *name == 'y' ? AppEntry::Add : AppEntry::None);
    engine.SortEntries();
    QString order;
    for (const AppEntry *entry : engine.Entries()) order += entry->name + ' ';
    QCOMPARE(order, QString("z m y B _ a ab b "));
    // With no install list nothing is preselected.
    QCOMPARE(engine.ReadInstallDescriptor(), 1);
  }
};

QTEST_GUILESS_MAIN(TestPackageDescriptors)
#include "TestPackageDescriptors.moc"
