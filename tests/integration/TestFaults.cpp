// Every stage of an installation run into the faults a controller, a medium
// or the pendant's flash disk can produce: what the operator is told, what
// is left on both sides, and that the next start-up (the fault gone) brings
// the pendant back in line with the controller.
#include "MediumBuilder.h"
#include "Paths.h"
#include "Runs.h"
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "app/InstallerStages.h"
#include "platform/Device.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

class TestFaults : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void fault_data();
  void fault();

 private:
  // The next start-up with the fault gone: these alerts (as "id detail"),
  // and in line afterwards with these applications registered.
  void nextStartRecovers(const QStringList &expectedApps, const QStringList &expectedAlerts = {});

  Rig m_rig;
};

void TestFaults::initTestCase() { QVERIFY(m_rig.start()); }

void TestFaults::init() {
  QVERIFY(m_rig.reset());
  for (const PackageSpec &pkg : PackageSpec::Simple({"Alpha", "Beta", "Gamma"})) MediumBuilder::WritePackage(m_rig.box(), pkg);
}

void TestFaults::nextStartRecovers(const QStringList &expectedApps, const QStringList &expectedAlerts) {
  QVERIFY(m_rig.sim().setFaults({}));
  Device::SetFreeBytesOverride(-1);
  const PpInstallRun next = m_rig.run({QStringLiteral("--list")});
  QCOMPARE(next.alertIdsAndDetails(), expectedAlerts);
  QCOMPARE(m_rig.divergence(), QString());
  QCOMPARE(m_rig.registered(), expectedApps);
  // A start after that finds both sides equal and touches nothing.
  m_rig.sim().clearLog();
  const PpInstallRun again = m_rig.run();
  QVERIFY2(again.lines.contains(QStringLiteral("status 2: PP_MENU.INI file compare OK.")) || expectedApps.isEmpty(),
           qPrintable(again.text()));
  QVERIFY2(again.alerts().isEmpty(), qPrintable(again.text()));
  QCOMPARE(m_rig.sim().commands().filter(QRegularExpression("^(STOR|DELE|RMD|MKD) ")), QStringList());
}

void TestFaults::fault_data() {
  QTest::addColumn<QStringList>("installed");  // on both sides before the run
  // Before the start-up: "rebuild" (the pendant's menu file is lost), "big Gamma", "free N" (KiB on the
  // flash disk), "down" (nothing listens), else the controller's fault switches.
  QTest::addColumn<QStringList>("before");
  // Between the start-up and Execute: the "controller" stops, the "medium" goes, the pendant's "menu" file
  // becomes a folder; then the mark: "+name" to add, "-name" to remove, a name for an option change.
  QTest::addColumn<QString>("change");
  QTest::addColumn<QString>("mark");
  QTest::addColumn<QStringList>("statuses");  // shown in this order
  QTest::addColumn<QStringList>("alerts");
  QTest::addColumn<int>("listed");  // rows in the list afterwards
  QTest::addColumn<QString>("sides");
  QTest::addColumn<QStringList>("next");  // alerts of the next start-up
  QTest::addColumn<bool>("stuck");        // every start says so until the controller's folder goes
  QTest::addColumn<QStringList>("registered");  // when in line again
  const QStringList ab{"Alpha", "Beta"}, none;
  const QString pendantAB = "Alpha/Alpha.exe Beta/Beta.exe PP_MENU.INI [Alpha Beta]", gone = "- | -";
  const QString controllerAB = " | Alpha.ZIP Beta.ZIP PP_MENU.INI [Alpha Beta]";
  const QString abcKept = "Alpha/Alpha.exe Beta/Beta.exe Gamma/Gamma.exe PP_MENU.INI [Alpha Beta Gamma]" + controllerAB;
  const QString transfer = "status 2: FTP file transfar error.", connect = "status 2: FTP connect error.";
  const QString dele = "status 2: File remove error in Controller.";
  const QString mkd = "status 2: KTC directory create error. (\\PP_APP\\)\\n";
  const QString noExe = "2001 Pendant application execute file not found.", menu = "(" + kPendantMenu + ")";
  const QStringList deleFailed{"2025 error KTC folder. :(\\PP_APP\\Alpha.ZIP)", "2006 error file :(Alpha.ZIP)"};

  // Unreachable at the start, the pendant's copy is read, changed, but not sent.
  QTest::newRow("controller down at the start")
      << ab << QStringList{"down"} << "" << "+Gamma" << QStringList{connect, connect}
      << QStringList{"2012 error function. (CreateKtcAppFolder)"} << 3 << abcKept
      << none << false << ab;
  // No answer about its folder is no "no folder": the only working copy stays.
  QTest::newRow("controller hangs up when asked for its folder")
      << ab << QStringList{"--hangup-on", "LIST"} << "" << "+Gamma" << QStringList{connect, mkd}
      << QStringList{"2016 error file :(\\PP_APP\\)"} << 3 << abcKept
      << none << false << ab;
  // Nothing reaches the controller; the pendant keeps the files of the removed
  // application, since its archive could not be deleted.
  QTest::newRow("controller gone after the start-up")
      << ab << none << "controller" << "-Alpha" << QStringList{connect, dele, connect}
      << QStringList{"2012 error function. (RemoveKtcAppFile)", "2006 error file :(Alpha.ZIP)",
                     "2012 error function. (CreateKtcAppFolder)"}
      << 3 << pendantAB + controllerAB << none << false << ab;
  // Alpha is unpacked, Beta's archive does not arrive: the reading that
  // follows finds Beta missing and treats the installation as damaged.
  QTest::newRow("sync: archive stalled")
      << ab << QStringList{"rebuild", "--stall-retr", "100", "BETA.ZIP"} << "" << ""
      << QStringList{"status 0: FTP file transfar error.", "status 0: Pendant application execute file not found."}
      << QStringList{"2011 error file :(Beta.ZIP)", "2001 Failed to upload file.", noExe} << 0 << gone << none << false
      << none;
  // Sent in part is damaged: both sides are emptied.
  QTest::newRow("send: menu file dropped")
      << ab << QStringList{"--drop-stor", "10", "PP_MENU.INI"} << "" << "+Gamma" << QStringList{transfer}
      << QStringList{"2011 error file :(\\PP_APP\\PP_MENU.INI)", "2001 Failed to download file. :" + menu} << 3 << gone
      << none << false << none;
  // No delete is answered: the old menu file on the controller cannot be
  // replaced, so the send fails and the clean-up with it; the controller
  // keeps its folder as it was.
  QTest::newRow("remove: deletes never answered")
      << ab << QStringList{"--hang-on", "DELE"} << "" << "-Alpha"
      << QStringList{dele, transfer, "status 2: Pendant folder remove error."}
      << deleFailed + QStringList{"2011 error file :(\\PP_APP\\PP_MENU.INI)", "2001 Failed to download file. :" + menu,
                                  "2024 error KTC folder. :(\\PP_APP\\)"}
      << 3 << "-" + controllerAB << none << false << ab;
  // Alpha, passed over, stays registered with an empty record; that menu
  // file is sent, read back as damaged, and the clean-up cannot delete the
  // controller's files either: the controller names an application it
  // cannot rebuild until its folder is deleted as the alert asks.
  QTest::newRow("remove: DELE refused")
      << ab << QStringList{"--refuse-dele"} << "" << "-Alpha"
      << QStringList{dele, "status 0: PP_MENU.INI file format error."}
      << deleFailed + QStringList{"2008 error file :" + menu, "2024 error KTC folder. :(\\PP_APP\\)"} << 3
      << "-" + controllerAB
      << QStringList{"2005 error file :(\\Storage Card\\PP_APP\\TEMP\\Alpha.ZIP)",
                     "2005 error file :(\\Storage Card\\PP_APP\\TEMP\\Alpha.ZIP)", "2001 Failed to upload file."}
      << true << none;
  // The pendant keeps what it installed; the controller has nothing.
  QTest::newRow("MKD refused on the first installation")
      << none << QStringList{"--refuse-mkd"} << "" << "+Alpha" << QStringList{mkd}
      << QStringList{"2016 error file :(\\PP_APP\\)"} << 3 << "Alpha/Alpha.exe PP_MENU.INI [Alpha] | -" << none << false
      << none;
  // The files go from both sides, the controller's empty folder stays; an
  // application folder without a menu file is damaged, and goes next time.
  QTest::newRow("RMD refused when the last application goes")
      << QStringList{"Alpha"} << QStringList{"--refuse-rmd"} << "" << "-Alpha"
      << QStringList{"status 2: KTC and PP appilcation file delete complete. (Alpha.ZIP)",
                     "status 2: Pendant folder remove error."}
      << QStringList{"2024 error KTC folder. :(\\PP_APP\\)"} << 3 << "- | []"
      << QStringList{"2010 Failed to upload file. :(PP_MENU.INI)"} << false << none;
  // Unpacking fails, the archive cannot be sent: both sides are emptied, and
  // the medium's packages cannot be listed.
  QTest::newRow("medium removed after the start-up")
      << ab << none << "medium" << "+Gamma" << QStringList{"status 2: Unzip file error.", transfer,
                                                           "status 0: Initial file not found in CF/USB."}
      << QStringList{"2005 error file :(\\Storage Card\\PP_APP\\Gamma.ZIP)", "2011 error file :(Gamma.ZIP)",
                     "2001 Failed to download file. :" + menu, "2004 error file :(\\Storage Card\\PP_APP\\*.INI)"}
      << 0 << gone << none << false << none;
  // Exactly the 20 KiB registered is not enough.
  QTest::newRow("too little space for the rebuild")
      << ab << QStringList{"rebuild", "free 20"} << "" << ""
      << QStringList{"status 0:  Memory space size:20 < application size:20"}
      << QStringList{"2003  Memory space size:20 < application size:20", "2001 Failed to upload file.", noExe} << 0
      << gone << none << false << none;
  // Gamma's descriptor claims 1 KiB, unpacked it needs 64. It keeps its mark
  // after the failed unpack, so its archive is sent, although no menu file
  // registers it.
  QTest::newRow("too little space for an extraction")
      << ab << QStringList{"big Gamma", "free 16"} << "" << "+Gamma" << QStringList{"status 2: Unzip file error."}
      << QStringList{"2005 error file :(\\Storage Card\\PP_APP\\Gamma.ZIP)"} << 3
      << pendantAB + " | Alpha.ZIP Beta.ZIP Gamma.ZIP PP_MENU.INI [Alpha Beta]"
      << none << false << ab;
  // An option change alone makes Execute write the menu file; failing, it empties both sides.
  QTest::newRow("menu file cannot be written")
      << ab << none << "menu" << "Beta" << QStringList{"status 2: (\\PP_APP\\) folder remove complete."}
      << QStringList{"2001 Failed to save the file. :" + menu} << 3 << gone << none << false << none;
}

void TestFaults::fault() {
  QFETCH(QStringList, installed);
  QFETCH(QStringList, before);
  QFETCH(QString, change);
  QFETCH(QString, mark);
  QFETCH(QStringList, statuses);
  QFETCH(QStringList, next);
  QFETCH(bool, stuck);
  QFETCH(QStringList, registered);
  Sandbox &box = m_rig.box();
  ControllerSim &sim = m_rig.sim();
  if (!installed.isEmpty()) MediumBuilder::WriteInstalled(box, sim.root(), PackageSpec::Simple(installed));
  const QByteArray menuBefore = sim.read(kControllerMenu);
  QStringList switches;
  for (const QString &item : before) {
    if (item == u"rebuild") {
      QVERIFY(QFile::remove(box.host(kPendantMenu)));
    } else if (item == u"big Gamma") {
      PackageSpec big = PackageSpec::Simple("Gamma");
      big.sizeKiB = 1;
      big.files.insert("data/big.bin", QByteArray(64 * 1024, 'x'));
      MediumBuilder::WritePackage(box, big);
    } else if (item.startsWith(u"free ")) {
      Device::SetFreeBytesOverride(item.mid(5).toInt() * 1024);
    } else if (item == u"down") {
      sim.stop();
    } else {
      switches.append(item);
    }
  }
  if (!before.contains("down")) QVERIFY(sim.setFaults(switches));

  // The start-up, then Execute, as the dialog runs them.
  RecordedView view;
  InstallerApp app;
  QString error;
  QVERIFY(app.InitSettings({box.root(), "cf", {}}, {"/D", sim.address()}, &error));
  auto stages = std::make_unique<InstallerStages>(view.view, app.Settings());
  stages->Post(WM_INSTALLER_START);
  stages->RunPendingStages();
  QVERIFY(stages->Engine());
  InstallerEngine &engine = *stages->Engine();
  if (!change.isEmpty()) {
    const Transcript started = view.transcript();
    QVERIFY2(started.alerts().isEmpty() && started.lines.contains("status 2: PP_MENU.INI file compare OK."),
             qPrintable(started.lines.join(u'\n')));
  }
  const QString medium = box.host("\\Storage Card"), aside = box.root() + "/medium-aside";
  if (change == u"controller") sim.stop();
  if (change == u"medium") QVERIFY(QDir().rename(medium, aside));
  if (change == u"menu") QVERIFY(QFile::remove(box.host(kPendantMenu)) && QDir().mkdir(box.host(kPendantMenu)));
  if (mark.startsWith(u'+') || mark.startsWith(u'-')) {
    const int index = engine.Entries().IndexOf(mark.mid(1));
    const int operation = mark.startsWith(u'+') ? AppEntry::Add : AppEntry::Remove;
    engine.SetOperation(index, operation);
    QCOMPARE(engine.GetOperation(index), operation);
  } else if (!mark.isEmpty()) {
    engine.FindEntry(mark)->autoRun = 1;
    stages->OptionChanged() = 1;
  }
  stages->ExecuteCommand();
  stages->RunPendingStages();

  const Transcript shown = view.transcript();
  QVERIFY2(MissingInOrder(shown.lines, statuses).isEmpty(), qPrintable(shown.lines.join(u'\n')));
  QTEST(shown.alertIdsAndDetails(), "alerts");
  QVERIFY(!view.view.Busy());
  QTEST(engine.EntryCount(), "listed");
  QTEST(m_rig.sides(), "sides");
  stages.reset();
  if (change == u"medium") QVERIFY(QDir().rename(aside, medium));
  // Unless sent a damaged one, a controller that registers what it did keeps the very menu file it had.
  if (!stuck && !installed.isEmpty() && m_rig.registered() == installed) QCOMPARE(sim.read(kControllerMenu), menuBefore);

  if (stuck) {
    QVERIFY(sim.setFaults({}));
    QCOMPARE(m_rig.run().alertIdsAndDetails(), next);
    QVERIFY(!box.exists(kPendant));
    QVERIFY(QDir(sim.hostPath(kController)).removeRecursively());
    next.clear();
  }
  nextStartRecovers(registered, next);
}

QTEST_GUILESS_MAIN(TestFaults)
#include "TestFaults.moc"
