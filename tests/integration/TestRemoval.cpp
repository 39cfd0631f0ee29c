// Removing applications on the controller and on the pendant, as the operator
// meets it: marked removals, a controller that refuses, and the wipe of both
// sides when the installation is damaged.
#include "TransferRig.h"

class TestRemoval : public QObject {
  Q_OBJECT
  SharedController m_controller;

 private slots:
  void initTestCase() { QVERIFY2(m_controller.sim.isRunning(), qPrintable(m_controller.sim.log())); }
  void init() { QVERIFY(m_controller.reset()); }

  void localFolderBottomUp() {
    Rig rig;
    for (const char *file : {"Tool\\a.txt", "Tool\\sub\\b.txt", "Tool\\sub\\deeper\\c.txt"})
      rig.box.write(kPendant + u'\\' + QLatin1String(file), "x");
    const QString tool = kPendant + QStringLiteral("\\Tool");
    QCOMPARE(rig.engine.RemoveLocalFolder(tool), 1);
    QVERIFY(!rig.box.exists(tool));
    QCOMPARE(rig.view.log, QStringList({
        "status 2: KTP file remove complete. (" + tool + "\\a.txt)",
        "status 2: KTP file remove complete. (" + tool + "\\sub\\b.txt)",
        "status 2: KTP file remove complete. (" + tool + "\\sub\\deeper\\c.txt)",
        "status 2: MTP folder remove complete. (" + tool + "\\sub\\deeper)",
        "status 2: MTP folder remove complete. (" + tool + "\\sub)",
        "status 2: MTP folder remove complete. (" + tool + ")"}));

    rig.view.clear();
    QCOMPARE(rig.engine.RemoveLocalFolder(tool), 1);  // nothing there
    QVERIFY(rig.view.log.isEmpty());

    rig.box.write(tool, "a file where a folder should be");
    QCOMPARE(rig.engine.RemoveLocalFolder(tool), 0);
    QCOMPARE(rig.view.log, QStringList{"status 2: Pendant folder remove error."});
    QVERIFY(rig.view.busy);
  }

  void removeApps_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("twoButtons");  // an earlier question left them on
    QTest::addColumn<int>("answer");  // to alert 2006; 2025 asks too once two buttons are on
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<int>>("alerts");
    QTest::addColumn<QStringList>("removed");
    const QStringList refuse{"--refuse-dele", "ALPHA.ZIP"};
    QTest::newRow("controller deletes") << QStringList() << false << 1 << 1 << QList<int>() << QStringList{"Alpha", "Beta"};
    QTest::newRow("refused, OK") << refuse << false << 1 << 1 << QList<int>{2025, 2006} << QStringList{"Beta"};
    QTest::newRow("refused, Escape") << refuse << true << 2 << 1 << QList<int>{2025, 2006} << QStringList{"Beta"};
    QTest::newRow("refused, Cancel") << refuse << true << 0 << 0 << QList<int>{2025, 2006} << QStringList();
  }
  void removeApps() {
    QFETCH(QStringList, faults);
    QFETCH(bool, twoButtons);
    QFETCH(int, answer);
    QFETCH(QStringList, removed);
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    for (const QString name : {"Alpha", "Beta", "Gamma"}) {
      sim.write("\\PP_APP\\" + name + ".ZIP", "zip of " + name.toUtf8());
      rig.box.write(kPendant + u'\\' + name + u'\\' + name + ".exe", "MZ");
      rig.engine.add(name, name == u"Gamma" ? AppEntry::None : AppEntry::Remove, QStringLiteral("1.00"));
    }
    QVERIFY(m_controller.faults(faults));
    if (twoButtons) rig.engine.Alert().SetButtonState(AlertDialog::kSecondButton, 1);
    if (twoButtons) rig.view.answer({1, answer});

    QTEST(rig.engine.RemoveApps(), "result");
    QTEST(rig.alerts(), "alerts");
    if (!rig.view.alerts.isEmpty()) {
      QCOMPARE(rig.detail(0), QStringLiteral("error KTC folder. :(\\PP_APP\\Alpha.ZIP)"));
      QCOMPARE(rig.detail(1), QStringLiteral("error file :(Alpha.ZIP)"));
    }
    for (int i = 0; i < 3; ++i) {
      const AppEntry *entry = rig.engine.EntryAt(i);
      const bool gone = removed.contains(entry->name);
      QCOMPARE(sim.exists("\\PP_APP\\" + entry->name + ".ZIP"), !gone);
      QCOMPARE(rig.box.exists(kPendant + u'\\' + entry->name), !gone);
      QCOMPARE(entry->registered, gone ? 0 : 1);
      QCOMPARE(entry->installed.appVersion.isEmpty(), gone);
      QCOMPARE(entry->installed.folder, entry->name);  // kept for the row
      QCOMPARE(entry->operation, gone || entry->name == u"Gamma" ? 0 : int(AppEntry::Remove));
      QCOMPARE(rig.view.hasStatus("KTC and PP appilcation file delete complete. (" + entry->name + ".ZIP)"), gone);
    }
  }

  void removeAppsWithoutMarksStaysOffline() {
    Rig rig;
    rig.engine.add(QStringLiteral("Alpha"), AppEntry::Add, QStringLiteral("1.00"), QStringLiteral("2.00"));
    FtpServerAddress() = kDeadController;
    QCOMPARE(rig.engine.RemoveApps(), 1);
    QVERIFY(rig.view.log.isEmpty());
  }

  // An application registered without a folder of its own must not take the
  // whole pendant application folder with it.
  void removeAppWithoutFolderKeepsTheOthers() {
    Rig rig;
    rig.box.write(kPendant + "\\Beta\\Beta.exe", "MZ");
    rig.box.write(kPendant + "\\PP_MENU.INI", "menu");
    AppEntry *alpha = rig.engine.add(QStringLiteral("Alpha"), AppEntry::Remove, QStringLiteral("1.00"));
    alpha->installed.folder.clear();
    alpha->installed.appPath = QStringLiteral("PP_APP\\Alpha.exe");
    m_controller.sim.write("\\PP_APP\\Alpha.ZIP", "zip");
    QCOMPARE(rig.engine.RemoveApps(), 1);
    QVERIFY(!m_controller.sim.exists("\\PP_APP\\Alpha.ZIP"));
    QCOMPARE(alpha->registered, 0);
    QVERIFY(rig.box.exists(kPendant + "\\Beta\\Beta.exe"));
    QVERIFY(rig.box.exists(kPendant + "\\PP_MENU.INI"));
  }

  void removeAll_data() {
    QTest::addColumn<bool>("controllerFolder");
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<int>>("alerts");
    QTest::addColumn<QString>("status");
    QTest::newRow("both sides") << true << QStringList() << true << 1 << QList<int>() << "(\\PP_APP\\) folder remove complete.";
    QTest::newRow("no controller folder") << false << QStringList() << true << 1 << QList<int>() << "";
    QTest::newRow("no connection") << true << QStringList() << false << 1 << QList<int>() << "FTP connect error.";
    QTest::newRow("controller refuses") << true << QStringList{"--refuse-rmd"} << true << 0 << QList<int>{2024}
                                        << "Pendant folder remove error.";
  }
  void removeAll() {
    QFETCH(bool, controllerFolder);
    QFETCH(QStringList, faults);
    QFETCH(bool, reachable);
    QFETCH(QString, status);
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    if (controllerFolder) {
      sim.write("\\PP_APP\\PP_MENU.INI", "menu");
      sim.write("\\PP_APP\\Alpha.ZIP", "zip");
    }
    rig.box.write(kPendant + "\\Alpha\\Alpha.exe", "MZ");
    QVERIFY(m_controller.faults(faults));
    if (!reachable) FtpServerAddress() = kDeadController;

    QTEST(rig.engine.RemoveAllAppFiles(), "result");
    QTEST(rig.alerts(), "alerts");
    QVERIFY(!rig.box.exists(kPendant));  // whatever the controller did
    QCOMPARE(sim.exists("\\PP_APP"), controllerFolder && (!reachable || !faults.isEmpty()));
    if (!status.isEmpty()) QVERIFY2(rig.view.log.contains("status 2: " + status), qPrintable(rig.view.log.join('\n')));
    QVERIFY(rig.view.busy);
  }
};

QTEST_GUILESS_MAIN(TestRemoval)
#include "TestRemoval.moc"
