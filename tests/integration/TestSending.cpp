// Handing the new menu file and the newly installed archives to the
// controller, whose copy every pendant is later rebuilt from.
#include "TransferRig.h"

class TestSending : public QObject {
  Q_OBJECT
  SharedController m_controller;

 private slots:
  void init() { QVERIFY2(m_controller.reset(), qPrintable(m_controller.sim.log())); }

  // A first installation: the folder is created, then the menu file and only
  // the archives marked Add go, in list order.
  void firstInstallation() {
    Rig rig;
    ControllerSim &sim = m_controller.sim;
    rig.box.write(kPendant + "\\PP_MENU.INI", "the menu of this run");
    rig.engine.add(QStringLiteral("Kept"), AppEntry::None, QStringLiteral("1.00"));
    rig.engine.add(QStringLiteral("Gone"), AppEntry::None, {});  // removed earlier in the run
    for (const QString name : {"Beta", "Alpha"}) {
      rig.engine.add(name, AppEntry::Add, {}, QStringLiteral("1.00"));
      rig.box.write(kMedium + u'\\' + name + ".ZIP", "zip " + name.toUtf8());
    }

    QCOMPARE(rig.engine.CreateKtcAppFolder(), 1);
    QCOMPARE(rig.engine.DownloadMtcAppFiles(), 1);
    QCOMPARE(sim.entries("\\PP_APP"), QStringList({"Alpha.ZIP", "Beta.ZIP", "PP_MENU.INI"}));
    QCOMPARE(sim.read("\\PP_APP\\PP_MENU.INI"), QByteArray("the menu of this run"));
    QCOMPARE(sim.read("\\PP_APP\\Alpha.ZIP"), QByteArray("zip Alpha"));
    QCOMPARE(sim.read("\\PP_APP\\Beta.ZIP"), QByteArray("zip Beta"));
    QCOMPARE(rig.view.log, QStringList({"status 2: KTC directory create complete. (\\PP_APP\\)\n",
                                        "status 2: Controller PP_MENU.INI file save complete.",
                                        "status 2: (Beta.ZIP) file ftp download complete.",
                                        "status 2: (Alpha.ZIP) file ftp download complete."}));
  }
};

QTEST_GUILESS_MAIN(TestSending)
#include "TestSending.moc"
