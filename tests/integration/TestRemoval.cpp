// Removing applications on the controller and on the pendant, as the operator
// meets it: marked removals, a controller that refuses, and the wipe of both
// sides when the installation is damaged.
#include "TransferRig.h"

class TestRemoval : public QObject {
  Q_OBJECT
  SharedController m_controller;

 private slots:
  void init() { QVERIFY2(m_controller.reset(), qPrintable(m_controller.sim.log())); }

  void localFolderBottomUp() {
    Rig rig;
    const QString tool = kPendant + QStringLiteral("\\Tool");
    for (const char *file : {"\\a.txt", "\\sub\\b.txt", "\\sub\\deeper\\c.txt"}) rig.box.write(tool + file, "x");
    QCOMPARE(rig.engine.RemoveLocalFolder(tool), 1);
    QVERIFY(!rig.box.exists(tool));
    QStringList expected;
    for (const char *file : {"\\a.txt", "\\sub\\b.txt", "\\sub\\deeper\\c.txt"})
      expected << "status 2: KTP file remove complete. (" + tool + file + ")";
    for (const char *folder : {"\\sub\\deeper", "\\sub", ""})
      expected << "status 2: MTP folder remove complete. (" + tool + folder + ")";
    QCOMPARE(rig.view.log, expected);

    rig.view.clear();
    rig.box.write(tool, "a file where a folder should be");
    QCOMPARE(rig.engine.RemoveLocalFolder(tool), 0);
    QCOMPARE(rig.view.log, QStringList{"status 2: Pendant folder remove error."});
    QVERIFY(rig.view.busy);
  }

  // Beta is registered without a folder of its own: its removal must not take
  // the whole pendant application folder with it.
  void removeApps_data() {
    QTest::addColumn<bool>("refused");  // Alpha's archive; an earlier question left two buttons on
    QTest::addColumn<int>("answer");    // to alert 2006
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QStringList>("pendant");
    const QStringList kept{"Beta.exe", "Gamma/Gamma.exe", "PP_MENU.INI"};
    QTest::newRow("controller deletes") << false << 1 << 1 << QStringList{"Alpha", "Beta"} << kept;
    QTest::newRow("refused, Escape passes over") << true << 2 << 1 << QStringList{"Beta"}
                                                 << QStringList{"Alpha/Alpha.exe"} + kept;
    QTest::newRow("refused, Cancel stops") << true << 0 << 0 << QStringList() << QStringList{"Alpha/Alpha.exe"} + kept;
  }
  void removeApps() {
    QFETCH(bool, refused);
    QFETCH(QStringList, removed);
    if (refused) QVERIFY(m_controller.reset({"--refuse-dele", "ALPHA.ZIP"}));
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    for (const char *file : {"\\PP_MENU.INI", "\\Alpha\\Alpha.exe", "\\Beta.exe", "\\Gamma\\Gamma.exe"})
      rig.box.write(kPendant + file, "MZ");
    for (const QString name : {"Alpha", "Beta", "Gamma"}) {
      sim.write("\\PP_APP\\" + name + ".ZIP", "zip of " + name.toUtf8());
      rig.engine.add(name, name == u"Gamma" ? AppEntry::None : AppEntry::Remove, QStringLiteral("1.00"));
    }
    rig.engine.EntryAt(1)->installed.folder.clear();  // Beta
    if (refused) {
      rig.engine.Alert().SetButtonState(AlertDialog::kSecondButton, 1);
      QFETCH(int, answer);
      rig.view.answer({1, answer});
    }

    QTEST(rig.engine.RemoveApps(), "result");
    QCOMPARE(rig.alerts(), refused ? QList<int>({2025, 2006}) : QList<int>());
    if (refused) {
      QCOMPARE(rig.detail(0), QStringLiteral("error KTC folder. :(\\PP_APP\\Alpha.ZIP)"));
      QCOMPARE(rig.detail(1), QStringLiteral("error file :(Alpha.ZIP)"));
    }
    QTEST(rig.box.tree(kPendant), "pendant");
    for (int i = 0; i < 3; ++i) {
      const AppEntry *entry = rig.engine.EntryAt(i);
      const bool gone = removed.contains(entry->name);
      QCOMPARE(sim.exists("\\PP_APP\\" + entry->name + ".ZIP"), !gone);
      QCOMPARE(entry->registered, gone ? 0 : 1);
      QCOMPARE(entry->installed.appVersion.isEmpty(), gone);
      QCOMPARE(entry->installed.folder, entry->name == u"Beta" ? QString() : entry->name);  // kept for the row
      QCOMPARE(entry->operation, gone || entry->name == u"Gamma" ? 0 : int(AppEntry::Remove));
      QCOMPARE(rig.view.hasStatus("KTC and PP appilcation file delete complete. (" + entry->name + ".ZIP)"), gone);
    }
  }

  // The pendant's folder goes whatever the controller does, even when it
  // cannot be reached.
  void removeAllWithoutController() {
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    sim.write("\\PP_APP\\PP_MENU.INI", "menu");
    sim.write("\\PP_APP\\Alpha.ZIP", "zip");
    rig.box.write(kPendant + "\\Alpha\\Alpha.exe", "MZ");
    FtpServerAddress() = kDeadController;

    QCOMPARE(rig.engine.RemoveAllAppFiles(), 1);
    QVERIFY(rig.alerts().isEmpty());
    QVERIFY(!rig.box.exists(kPendant));
    QCOMPARE(sim.entries("\\PP_APP"), QStringList({"Alpha.ZIP", "PP_MENU.INI"}));
    QCOMPARE(rig.view.log.value(0), QStringLiteral("status 2: FTP connect error."));
    QVERIFY(rig.view.busy);
  }
};

QTEST_GUILESS_MAIN(TestRemoval)
#include "TestRemoval.moc"
