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
  // flash disk), "down" (nothing listens), "reset" (the controller lost its folder), a bad package
  // ("corrupt Alpha 2.00", "Gamma without exe", "Gamma in Beta"), else the controller's fault switches.
  QTest::addColumn<QStringList>("before");
  // Between the start-up and Execute: the "controller" stops or the "medium" goes; then the mark: "+name"
  // to add, "-name" to remove, a name for an option change.
  QTest::addColumn<QString>("change");
  QTest::addColumn<QString>("mark");
  QTest::addColumn<QStringList>("alerts");
  QTest::addColumn<QString>("sides");
  QTest::addColumn<QStringList>("next");        // alerts of the next start-up
  QTest::addColumn<QStringList>("registered");  // when in line again
  const QStringList ab{"Alpha", "Beta"}, abc{"Alpha", "Beta", "Gamma"}, none;
  const QString pendantAB = "Alpha/Alpha.exe Beta/Beta.exe PP_MENU.INI [Alpha Beta]";
  const QString controllerAB = " | Alpha.ZIP Beta.ZIP PP_MENU.INI [Alpha Beta]", unchanged = pendantAB + controllerAB;
  const QString abcHere = "Alpha/Alpha.exe Beta/Beta.exe Gamma/Gamma.exe PP_MENU.INI [Alpha Beta Gamma]";
  const QStringList keptAlpha{"2025 error KTC folder. :(\\PP_APP\\Alpha.ZIP)", "2006 error file :(Alpha.ZIP)"};
  const QString gammaZip = "2005 error file :(\\Storage Card\\PP_APP\\Gamma.ZIP)";

  // The pendant works alone; the next start finishes sending what it installed.
  QTest::newRow("controller down at the start")
      << ab << QStringList{"down"} << "" << "+Gamma" << QStringList{"2012 error function. (CreateKtcAppFolder)"}
      << abcHere + controllerAB << none << abc;
  // No answer about its folder is no "no folder": the only working copy stays.
  QTest::newRow("controller hangs up when asked for its folder")
      << ab << QStringList{"--hangup-on", "LIST"} << "" << "+Gamma" << QStringList{"2016 error file :(\\PP_APP\\)"}
      << abcHere + controllerAB << none << abc;
  // The archive cannot be deleted: OK keeps Alpha whole on both sides.
  QTest::newRow("controller gone after the start-up")
      << ab << none << "controller" << "-Alpha"
      << QStringList{"2012 error function. (RemoveKtcAppFile)", "2006 error file :(Alpha.ZIP)"} << unchanged << none << ab;
  QTest::newRow("remove: deletes never answered")
      << ab << QStringList{"--hang-on", "DELE"} << "" << "-Alpha" << keptAlpha << unchanged << none << ab;
  QTest::newRow("remove: DELE refused") << ab << QStringList{"--refuse-dele"} << "" << "-Alpha" << keptAlpha << unchanged << none << ab;
  // A stalled rebuild leaves the pendant's own copy as it was, the controller's whole, and Execute refused.
  QTest::newRow("sync: archive stalled")
      << ab << QStringList{"rebuild", "--stall-retr", "100", "BETA.ZIP"} << "" << "+Gamma"
      << QStringList{"2011 error file :(Beta.ZIP)", "2028 "} << "Alpha/Alpha.exe Beta/Beta.exe []" + controllerAB << none << ab;
  // The controller is left without a menu file; the next start sends it again.
  QTest::newRow("send: menu file dropped")
      << ab << QStringList{"--drop-stor", "10", "PP_MENU.INI"} << "" << "+Gamma"
      << QStringList{"2011 error file :(\\PP_APP\\PP_MENU.INI)"} << abcHere + " | Alpha.ZIP Beta.ZIP Gamma.ZIP PP_MENU.INI []"
      << none << abc;
  QTest::newRow("MKD refused on the first installation")
      << none << QStringList{"--refuse-mkd"} << "" << "+Alpha" << QStringList{"2016 error file :(\\PP_APP\\)"}
      << "Alpha/Alpha.exe PP_MENU.INI [Alpha] | -" << none << QStringList{"Alpha"};
  // The operator removed the last application: the next start removes the controller's empty folder.
  QTest::newRow("RMD refused when the last application goes")
      << QStringList{"Alpha"} << QStringList{"--refuse-rmd"} << "" << "-Alpha" << QStringList{"2024 error KTC folder. :(\\PP_APP\\)"}
      << "- | []" << none << none;
  // Nothing can be unpacked: nothing changes, and the packages cannot be listed.
  QTest::newRow("medium removed after the start-up")
      << ab << none << "medium" << "+Gamma" << QStringList{gammaZip, "2004 error file :(\\Storage Card\\PP_APP\\*.INI)"}
      << unchanged << none << ab;
  QTest::newRow("too little space for the rebuild")
      << ab << QStringList{"rebuild", "free 20"} << "" << "" << QStringList{"2003  Memory space size:20 < application size:20"}
      << "-" + controllerAB << none << ab;
  // Gamma's descriptor claims 1 KiB, unpacked it needs 64.
  QTest::newRow("too little space for an extraction")
      << ab << QStringList{"big Gamma", "free 16"} << "" << "+Gamma" << QStringList{gammaZip} << unchanged << none << ab;
  // A package that cannot be installed leaves the installed version and the others alone, and is not sent.
  QTest::newRow("damaged update")
      << ab << QStringList{"corrupt Alpha 2.00"} << "" << "+Alpha"
      << QStringList{"2005 error file :(\\Storage Card\\PP_APP\\Alpha.ZIP)"} << unchanged << none << ab;
  QTest::newRow("archive without the executable")
      << ab << QStringList{"Gamma without exe"} << "" << "+Gamma" << QStringList{gammaZip} << unchanged << none << ab;
  QTest::newRow("folder of another application")
      << ab << QStringList{"Gamma in Beta"} << "" << "+Gamma"
      << QStringList{QString::fromUtf8("2009 error file :(Gamma.INI)　section:APPLICATION_INFO entry:FOLDER_NAME")}
      << unchanged << none << ab;
  // A folder where the menu file goes is cleared away; the option change goes out.
  QTest::newRow("folder in the menu file's place")
      << ab << QStringList() << "menu" << "Beta" << QStringList() << unchanged << none << ab;
  // A controller that lost its folder gets the pendant's applications back.
  QTest::newRow("controller reset: restored")
      << ab << QStringList{"reset"} << "" << "" << QStringList{"2027 error file :(\\PP_APP\\PP_MENU.INI)"} << unchanged
      << none << ab;
}

void TestFaults::fault() {
  QFETCH(QStringList, installed);
  QFETCH(QStringList, before);
  QFETCH(QString, change);
  QFETCH(QString, mark);
  QFETCH(QStringList, next);
  QFETCH(QStringList, registered);
  Sandbox &box = m_rig.box();
  ControllerSim &sim = m_rig.sim();
  if (!installed.isEmpty()) MediumBuilder::WriteInstalled(box, sim.root(), PackageSpec::Simple(installed));
  QStringList switches;
  for (const QString &item : before) {
    PackageSpec gamma = PackageSpec::Simple("Gamma");
    if (item == u"rebuild") {
      QVERIFY(QFile::remove(box.host(kPendantMenu)));
    } else if (item == u"big Gamma") {
      gamma.sizeKiB = 1;
      gamma.files.insert("data/big.bin", QByteArray(64 * 1024, 'x'));
      MediumBuilder::WritePackage(box, gamma);
    } else if (item == u"corrupt Alpha 2.00") {
      MediumBuilder::WritePackage(box, PackageSpec::Simple("Alpha", "2.00"));
      QByteArray zip = box.read(kMedium + "\\Alpha.ZIP");
      zip[40] = char(zip[40] ^ 0x55);  // inside the first entry's data: its CRC no longer matches
      box.write(kMedium + "\\Alpha.ZIP", zip);
    } else if (item == u"Gamma without exe") {
      MediumBuilder::WritePackage(box, gamma);
      box.write(kMedium + "\\Gamma.ZIP", MakeZip(QMap<QString, QByteArray>{{"res/Gamma.txt", "Gamma 1.00"}}));
    } else if (item == u"Gamma in Beta") {
      gamma.folder = "beta";
      MediumBuilder::WritePackage(box, gamma);
    } else if (item.startsWith(u"free ")) {
      Device::SetFreeBytesOverride(item.mid(5).toInt() * 1024);
    } else if (item == u"down") {
      sim.stop();
    } else if (item == u"reset") {
      QVERIFY(QDir(sim.hostPath(kController)).removeRecursively());
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
  QTEST(shown.alertIdsAndDetails(), "alerts");
  QVERIFY(!view.view.Busy());
  // The list never comes back empty while the pendant holds applications.
  QVERIFY(engine.EntryCount() > 0 || change == u"medium" || !box.exists(kPendantMenu));
  QTEST(m_rig.sides(), "sides");
  stages.reset();
  if (change == u"medium") QVERIFY(QDir().rename(aside, medium));
  nextStartRecovers(registered, next);
}

QTEST_GUILESS_MAIN(TestFaults)
#include "TestFaults.moc"
