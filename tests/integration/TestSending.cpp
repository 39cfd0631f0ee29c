// Handing the new menu file and the newly installed archives to the
// controller, whose copy every pendant is later rebuilt from.
#include "TransferRig.h"

class TestSending : public QObject {
  Q_OBJECT
  SharedController m_controller;

 private slots:
  void initTestCase() { QVERIFY2(m_controller.sim.isRunning(), qPrintable(m_controller.sim.log())); }
  void init() { QVERIFY(m_controller.reset()); }

  void createFolder_data() {
    QTest::addColumn<QString>("controller");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("log");
    const QString create = QStringLiteral("status 2: KTC directory create %1. (\\PP_APP\\)\n");
    QTest::newRow("missing") << "" << 1 << QStringList{create.arg("complete")};
    QTest::newRow("present, empty") << "present" << 1 << QStringList();
    QTest::newRow("refused") << "refuse" << 0
                             << QStringList{create.arg("error"),
                                            "alert 2016: FATAL ERROR\n Controller folder create error. | "
                                            "error file :(\\PP_APP\\) -> 1"};
    QTest::newRow("no connection") << "dead" << 0
                                   << QStringList{"status 2: FTP connect error.",
                                                  "alert 2012: FATAL ERROR\n FTP connect error. | "
                                                  "error function. (CreateKtcAppFolder) -> 1"};
  }
  void createFolder() {
    QFETCH(QString, controller);
    Rig rig;
    if (controller == u"present") m_controller.sim.mkdir("\\PP_APP");
    if (controller == u"refuse") QVERIFY(m_controller.faults({"--refuse-mkd"}));
    if (controller == u"dead") FtpServerAddress() = kDeadController;
    QTEST(rig.engine.CreateKtcAppFolder(), "result");
    QTEST(rig.view.log, "log");
    QCOMPARE(m_controller.sim.exists("\\PP_APP"), controller == u"" || controller == u"present");
  }

  void send_data() {
    QTest::addColumn<QStringList>("added");  // list order
    QTest::addColumn<bool>("missingOnMedium");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("controller");
    QTest::newRow("removals only: the menu file") << QStringList() << false << 1
                                                  << QStringList{"Kept.ZIP", "PP_MENU.INI"};
    QTest::newRow("two added, in list order") << QStringList{"Beta", "Alpha"} << false << 1
                                              << QStringList{"Alpha.ZIP", "Beta.ZIP", "Kept.ZIP", "PP_MENU.INI"};
    QTest::newRow("archive missing on medium") << QStringList{"Beta", "Alpha"} << true << 0
                                               << QStringList{"Beta.ZIP", "Kept.ZIP", "PP_MENU.INI"};
  }
  void send() {
    QFETCH(QStringList, added);
    QFETCH(bool, missingOnMedium);
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    sim.write("\\PP_APP\\PP_MENU.INI", "the menu before this run");
    sim.write("\\PP_APP\\Kept.ZIP", "registered before, not sent again");
    rig.box.write(kPendant + "\\PP_MENU.INI", "the menu of this run");
    rig.engine.add(QStringLiteral("Kept"), AppEntry::None, QStringLiteral("1.00"));
    rig.engine.add(QStringLiteral("Gone"), AppEntry::None, {});  // removed earlier in the run
    for (const QString &name : added) {
      rig.engine.add(name, AppEntry::Add, {}, QStringLiteral("1.00"));
      if (!(missingOnMedium && name == u"Alpha")) rig.box.write(kMedium + u'\\' + name + ".ZIP", "zip " + name.toUtf8());
    }

    QTEST(rig.engine.DownloadMtcAppFiles(), "result");
    QTEST(sim.entries("\\PP_APP"), "controller");
    QCOMPARE(sim.read("\\PP_APP\\PP_MENU.INI"), QByteArray("the menu of this run"));
    QCOMPARE(sim.read("\\PP_APP\\Kept.ZIP"), QByteArray("registered before, not sent again"));
    QStringList expected{"status 2: Controller PP_MENU.INI file save complete."};
    for (const QString &name : added) {
      if (missingOnMedium && name == u"Alpha") {
        expected << "status 2: FTP file transfar error."
                 << "alert 2011: FATAL ERROR\n FTP file transfar error. | error file :(Alpha.ZIP) -> 1";
        break;
      }
      QCOMPARE(sim.read("\\PP_APP\\" + name + ".ZIP"), "zip " + name.toUtf8());
      expected << "status 2: (" + name + ".ZIP) file ftp download complete.";
    }
    QCOMPARE(rig.view.log, expected);
  }
};

QTEST_GUILESS_MAIN(TestSending)
#include "TestSending.moc"
