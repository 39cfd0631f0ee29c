// pp-install, the installer without a display, as a script or a technician
// meets it: one table of runs from a laid-out device to what is shown, what
// the controller is sent and what both sides hold afterwards; then the dry
// run and the limits.
#include "MediumBuilder.h"
#include "Paths.h"
#include "Runs.h"
#include "platform/Device.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

class TestPpInstall : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(m_rig.start()); }
  void init() { QVERIFY(m_rig.reset()); }
  void run_data();
  void run();
  void dryRunAndLimits();
  void jsonEventsAndLog();

 private:
  Rig m_rig;
};

void TestPpInstall::run_data() {
  QTest::addColumn<QStringList>("installed");  // on both sides before the run
  QTest::addColumn<QStringList>("medium");
  QTest::addColumn<QString>("fault");
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QStringList>("shown");  // in this order among the lines printed
  QTest::addColumn<QStringList>("sent");   // the commands that change the controller, in order
  QTest::addColumn<QString>("sides");
  const QString put = "STOR \\PP_APP\\", menu = "STOR \\PP_APP\\PP_MENU.INI", dele = "DELE \\PP_APP\\PP_MENU.INI";
  const QString ab = "Alpha/Alpha.exe Beta/Beta.exe PP_MENU.INI [Alpha Beta] | Alpha.ZIP Beta.ZIP PP_MENU.INI [Alpha Beta]";
  const QString down = "alert 2019: You install an old version, but are all right?\\n Continue to install. |  -> ";

  // The menu file last: the controller never registers an archive it does not hold whole.
  QTest::newRow("first installation: the folder, the archives in list order, then the menu file")
      << QStringList() << QStringList{"Beta", "Alpha"} << "" << QStringList{"--add", "Beta", "--add", "Alpha"}
      << QStringList{"status 2: KTC directory create complete. (\\PP_APP\\)\\n",
                     "status 2: (Alpha.ZIP) file ftp download complete.", "status 2: (Beta.ZIP) file ftp download complete.",
                     "status 2: Controller PP_MENU.INI file save complete."}
      << QStringList{"MKD \\PP_APP\\", put + "Alpha.ZIP", put + "Beta.ZIP", dele, menu} << ab;
  // The files go bottom-up; only the shorter menu file is sent.
  QTest::newRow("removal")
      << QStringList{"Alpha", "Beta"} << QStringList{"Alpha", "Beta"} << "" << QStringList{"--remove", "Alpha"}
      << QStringList{"status 2: KTP file remove complete. (\\DiskOnChip\\PP_APP\\Alpha\\Alpha.exe)",
                     "status 2: KTP file remove complete. (\\DiskOnChip\\PP_APP\\Alpha\\res\\Alpha.txt)",
                     "status 2: MTP folder remove complete. (\\DiskOnChip\\PP_APP\\Alpha\\res)",
                     "status 2: MTP folder remove complete. (\\DiskOnChip\\PP_APP\\Alpha)"}
      << QStringList{"DELE \\PP_APP\\ALPHA.ZIP", dele, menu} << "Beta/Beta.exe PP_MENU.INI [Beta] | Beta.ZIP PP_MENU.INI [Beta]";
  // Registered without a folder of its own: nothing is deleted on the pendant
  // for it, least of all the whole application folder.
  QTest::newRow("removal of an application without its own folder")
      << QStringList{"Alpha", "Beta"} << QStringList{"Alpha"} << "Beta without folder" << QStringList{"--remove", "Beta"}
      << QStringList{"status 2: KTC and PP appilcation file delete complete. (Beta.ZIP)"}
      << QStringList{"DELE \\PP_APP\\BETA.ZIP", dele, menu}
      << "Alpha/Alpha.exe Beta.exe PP_MENU.INI [Alpha] | Alpha.ZIP PP_MENU.INI [Alpha]";
  // Nothing left to change: neither side is touched.
  QTest::newRow("downgrade refused")
      << QStringList{"Alpha 2.0"} << QStringList{"Alpha 1.5"} << "" << QStringList{"--add", "Alpha", "--answer", "no", "--list"}
      << QStringList{down + "0", "001 |   |   | Alpha | 2.0 | 10 |  | 1.5 | 10"} << QStringList()
      << "Alpha/Alpha.exe PP_MENU.INI [Alpha] | Alpha.ZIP PP_MENU.INI [Alpha]";
  // Escape is no refusal: the older version goes to both sides.
  QTest::newRow("downgrade, Escape")
      << QStringList{"Alpha 2.0"} << QStringList{"Alpha 1.5"} << "" << QStringList{"--add", "Alpha", "--answer", "escape", "--list"}
      << QStringList{down + "2", "001 |   |   | Alpha | 1.5 | 10 |  | 1.5 | 10"} << QStringList{put + "Alpha.ZIP", dele, menu}
      << "Alpha/Alpha.exe PP_MENU.INI [Alpha] | Alpha.ZIP PP_MENU.INI [Alpha]";
  // A bad archive tells the operator that installation goes on; the other goes in, the bad one is not sent.
  QTest::newRow("corrupt archive")
      << QStringList() << QStringList{"Alpha", "Beta"} << "corrupt Beta" << QStringList{"--add", "Alpha", "--add", "Beta"}
      << QStringList{"status 2: Unzip file error.",
                     "alert 2005: Unzip error.\\n Continue to install. | error file :(\\Storage Card\\PP_APP\\Beta.ZIP) -> 1"}
      << QStringList{"MKD \\PP_APP\\", put + "Alpha.ZIP", dele, menu}
      << "Alpha/Alpha.exe PP_MENU.INI [Alpha] | Alpha.ZIP PP_MENU.INI [Alpha]";
  // No extraction library, or a foreign one without its version: refused, and nothing of the package goes.
  for (const auto &[fault, alert] : {std::pair{"no library", "2021: FATAL ERROR\\n unzip.dll was not found."},
                                     std::pair{"old library", "2022: FATAL ERROR\\n unzip version check error."}})
    QTest::newRow(fault) << QStringList{"Alpha"} << QStringList{"Beta"} << fault << QStringList{"--add", "Beta"}
                         << QStringList{QString("alert %1 | error file :(\\DiskOnChip\\unzip.dll) -> 1").arg(alert)}
                         << QStringList() << "Alpha/Alpha.exe PP_MENU.INI [Alpha] | Alpha.ZIP PP_MENU.INI [Alpha]";
  // Fetched files wait on the medium: without room there the pendant is left as it is.
  QTest::newRow("start-up, medium without its folder")
      << QStringList{"Alpha", "Beta"} << QStringList() << "medium folder gone, menu differs" << QStringList()
      << QStringList{"alert 2026: FATAL ERROR\\n CF/USB access error. |  -> 1", "status 0: Initial file not found in CF/USB."}
      << QStringList() << "Alpha/Alpha.exe Beta/Beta.exe PP_MENU.INI [Alpha Beta] | Alpha.ZIP Beta.ZIP PP_MENU.INI [Alpha Beta]";
  QTest::newRow("install list preselects")
      << QStringList() << QStringList{"Alpha", "Beta"} << "list Beta" << QStringList()
      << QStringList{"status 2: (Beta.ZIP) file ftp download complete."}
      << QStringList{"MKD \\PP_APP\\", put + "Beta.ZIP", dele, menu} << "Beta/Beta.exe PP_MENU.INI [Beta] | Beta.ZIP PP_MENU.INI [Beta]";
  QTest::newRow("install list names a missing package")
      << QStringList() << QStringList{"Alpha"} << "list Ghost" << QStringList{"--list"}
      << QStringList{"alert 2013: Install file not found.\\nContinue to Install. | error file :(Ghost) -> 1"}
      << QStringList() << "- | -";
  // The answers go to the two-button questions in order; a one-button alert
  // takes none. A "no" to going on after a refused delete keeps Alpha whole
  // on both sides; the option change still goes out.
  QTest::newRow("answers in order, and a no stops")
      << QStringList{"Alpha", "Beta"} << QStringList{"Alpha", "Beta"} << "long name Beta, refuse DELE"
      << QStringList{"--one-touch", "Beta", "--remove", "Alpha", "--answer", "yes", "--answer", "no"}
      << QStringList{QString::fromUtf8("alert 2023: The one-touch button name is too long. \\nThe characters exceeding 14 "
                                       "will be delete. Continue registration? | Error name ---> (保守点検スケジュール) -> 1"),
                     "alert 2025: FATAL ERROR\\n File remove error in controller. | error KTC folder. :(\\PP_APP\\Alpha.ZIP) -> 1",
                     "alert 2006: File remove error in Controller.\\n Continue to install. | error file :(Alpha.ZIP) -> 0"}
      << QStringList{"DELE \\PP_APP\\ALPHA.ZIP", dele, menu} << ab;
  // A folder of the controller's menu that is no application's own is never
  // unpacked into: that application is left out of the pendant and named.
  QTest::newRow("controller's menu names the folder \".\"")
      << QStringList{"Alpha", "Beta"} << QStringList() << "dot folder" << QStringList()
      << QStringList{"alert 2008: FATAL ERROR\\n PP_MENU.INI file format error. | error file :(\\PP_APP\\PP_MENU.INI) Beta -> 1"}
      << QStringList() << "Alpha/Alpha.exe PP_MENU.INI [Alpha] | Alpha.ZIP Beta.ZIP PP_MENU.INI [Alpha Beta]";
  QTest::newRow("controller reset, the pendant's copy deleted")
      << QStringList{"Alpha"} << QStringList() << "reset" << QStringList{"--answer", "no"}
      << QStringList{"alert 2027: Controller PP_MENU.INI file not found.\\n Restore the applications of this pendant\\n to "
                     "the controller, or delete them? | error file :(\\PP_APP\\PP_MENU.INI) -> 0"}
      << QStringList() << "- | -";
  // Usage errors change nothing.
  for (const auto &[args, message] : std::initializer_list<std::pair<QStringList, QString>>{
           {{"--frobnicate"}, "unknown option \"--frobnicate\""},
           {{"--remove", "Alpha", "--add", "Nope"}, "\"Nope\" is not in the application list"},
           {{"--auto-run", "Nope"}, "\"Nope\" cannot be the auto-run application"}})
    QTest::addRow("usage: %s", qPrintable(message)) << QStringList{"Alpha", "Beta"} << QStringList{"Alpha", "Beta"} << ""
                                                    << args << QStringList{"stderr: pp-install: " + message}
                                                    << QStringList() << ab;
  QTest::newRow("no medium") << QStringList() << QStringList() << "no medium" << QStringList{"--list"}
                             << QStringList{"status 0: CF/USB access error.",
                                            "alert 2026: FATAL ERROR\\n CF/USB access error. | Error media ---> \\Storage Card\\ -> 1"}
                             << QStringList() << "- | -";
}

void TestPpInstall::run() {
  QFETCH(QStringList, installed);
  QFETCH(QStringList, medium);
  QFETCH(QString, fault);
  QFETCH(QStringList, args);
  QFETCH(QStringList, shown);
  Sandbox &box = m_rig.box();
  ControllerSim &sim = m_rig.sim();
  if (!installed.isEmpty()) {
    MediumBuilder::WriteInstalled(box, sim.root(), PackageSpec::Simple(installed));
    box.write(kMedium + "\\TEMP\\left-over.ZIP", "from an interrupted run");
  }
  for (const PackageSpec &pkg : PackageSpec::Simple(medium)) MediumBuilder::WritePackage(box, pkg);
  if (fault == u"Beta without folder") {
    box.write(kPendantMenu, box.read(kPendantMenu).replace("PP_APP\\Beta\\Beta.exe", "PP_APP\\Beta.exe"));
    sim.write(kControllerMenu, box.read(kPendantMenu));
    QVERIFY(QDir(box.host(kPendant + "\\Beta")).removeRecursively());
    box.write(kPendant + "\\Beta.exe", "MZ");
  }
  if (fault.startsWith(u"long name Beta")) {
    PackageSpec beta = PackageSpec::Simple("Beta");
    beta.names = {{QStringLiteral("JAPANESE"), QString::fromUtf8("保守点検スケジュール")}};
    MediumBuilder::WriteInstalled(box, sim.root(), {PackageSpec::Simple("Alpha"), beta});
    MediumBuilder::WritePackage(box, beta);
    QVERIFY(sim.setFaults({"--refuse-dele", "ALPHA.ZIP"}));
  }
  if (fault == u"dot folder") sim.write(kControllerMenu, sim.read(kControllerMenu).replace("PP_APP\\Beta\\", "PP_APP\\.\\"));
  if (fault == u"reset") QVERIFY(QDir(sim.hostPath(kController)).removeRecursively());
  if (fault == u"corrupt Beta") box.write(kMedium + "\\Beta.ZIP", "PK\x03\x04 not really an archive");
  if (fault == u"no library") QVERIFY(QFile::remove(box.host("\\DiskOnChip\\unzip.dll")));
  if (fault == u"old library") QVERIFY(box.installUnzip(false));
  if (fault.endsWith(u"menu differs")) box.write(kPendantMenu, box.read(kPendantMenu).replace("FILE_SIZE = 10", "FILE_SIZE = 11"));
  if (fault.startsWith(u"medium folder gone")) QVERIFY(QDir(box.host(kMedium)).removeRecursively());
  if (fault.startsWith(u"list ")) box.write(kMedium + "\\PP_INSTALL.INI", "[DefaultSetting]\nAPP_NUM = 1\nAPP_NAME1 = " + fault.mid(5).toUtf8() + "\n");
  if (fault == u"no medium") QVERIFY(QDir(box.host(kMediumRoot)).removeRecursively());
  sim.clearLog();

  const PpInstallRun run = m_rig.run(args);
  const QString missing = MissingInOrder(run.text().split(u'\n'), shown);
  QVERIFY2(missing.isEmpty(), qPrintable(missing + " not shown in order:\n" + run.text()));
  QTEST(sim.commands().filter(QRegularExpression("^(STOR|DELE|RMD|MKD) ")), "sent");
  QTEST(m_rig.sides(), "sides");
  QVERIFY2(run.exitCode == 2 || !box.exists(kMedium + "\\TEMP"), "TEMP left on the medium");
}

// The dry run prints the checks Execute makes and changes nothing; Execute
// refuses one KiB short of the space and a 33rd application.
void TestPpInstall::dryRunAndLimits() {
  QStringList adds;
  for (int i = 1; i <= 33; ++i) {
    PackageSpec pkg = PackageSpec::Simple(QStringLiteral("App%1").arg(i, 2, 10, QChar(u'0')));
    pkg.sizeKiB = 1;
    pkg.files.clear();
    MediumBuilder::WritePackage(m_rig.box(), pkg);
    if (i <= 32) adds << "--add" << pkg.name;
  }
  Device::SetFreeBytesOverride(98 * 1024);
  const PpInstallRun dry = m_rig.run(adds + QStringList{"--dry-run"});
  QCOMPARE(dry.exitCode, 0);
  QCOMPARE(dry.lines.mid(dry.lines.size() - 4),
           QStringList({"required: 98 KiB", "available after: 0 KiB", "pending: 32", "registered after: 32"}));
  QCOMPARE(m_rig.sides(), "- | -");

  Device::SetFreeBytesOverride(97 * 1024);
  const PpInstallRun refused = m_rig.run(adds);
  QCOMPARE(refused.exitCode, 1);
  QCOMPARE(refused.alertIdsAndDetails(), QStringList("2003  Memory space size:97 < application size:98"));
  QCOMPARE(m_rig.sides(), "- | -");

  Device::SetFreeBytesOverride(98 * 1024);  // exactly enough, and 32 is the most that can be registered
  QCOMPARE(m_rig.run(adds).exitCode, 0);
  QCOMPARE(m_rig.registered().size(), 32);
  Device::SetFreeBytesOverride(-1);
  const QString before = m_rig.sides();
  QCOMPARE(m_rig.run({"--add", "App33"}).alertIdsAndDetails(), QStringList("2002 Total add files. (=33)"));
  QCOMPARE(m_rig.sides(), before);
}

// What a script and a technician read: every line one JSON object, progress
// that never goes back within a stage, one summary per stage saying what
// happened; the log keeps the answer to each alert and the server's reply.
void TestPpInstall::jsonEventsAndLog() {
  ControllerSim &sim = m_rig.sim();
  MediumBuilder::WriteInstalled(m_rig.box(), sim.root(), PackageSpec::Simple({"Alpha", "Beta"}));
  PackageSpec big = PackageSpec::Simple("Gamma");
  big.files.insert("data.bin", QByteArray(3 << 20, 'g'));  // long enough for progress within the file
  big.sizeKiB = 3 << 10;
  MediumBuilder::WritePackage(m_rig.box(), big);
  MediumBuilder::WritePackage(m_rig.box(), PackageSpec::Simple("Alpha", "1.10"));
  QVERIFY(sim.setFaults({"--refuse-dele", "BETA.ZIP"}));
  const QString log = m_rig.box().host("\\service.log");

  const PpInstallRun run = m_rig.run({"--json", "--log", log, "--add", "Gamma", "--add", "Alpha", "--remove", "Beta"});
  QCOMPARE(run.exitCode, 1);
  QMap<QString, QJsonObject> summaries, lastProgress;
  QJsonObject lastStatus;
  int alerts = 0;
  for (const QString &line : run.lines) {
    QJsonParseError error;
    const QJsonObject event = QJsonDocument::fromJson(line.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError && event.contains("event"), qPrintable(line));
    const QString kind = event["event"].toString();
    if (kind == u"status") lastStatus = event;
    alerts += kind == u"alert";
    if (kind == u"summary") {
      QVERIFY2(!summaries.contains(event["stage"].toString()), qPrintable(line));
      summaries.insert(event["stage"].toString(), event);
    }
    if (kind != u"progress") continue;
    const QJsonObject before = lastProgress.value(event["stage"].toString());
    for (const char *count : {"filesDone", "bytesDone"})
      QVERIFY2(event[count].toInteger() >= before[count].toInteger(), qPrintable(line));
    QVERIFY2(event["bytesDone"].toInteger() <= event["bytesTotal"].toInteger(), qPrintable(line));
    lastProgress.insert(event["stage"].toString(), event);
  }
  QCOMPARE(summaries.keys(), QStringList({"execute", "start-up"}));
  const QJsonObject done = summaries["execute"];
  QCOMPARE(done["installed"].toVariant().toStringList(), QStringList{"Gamma"});
  QCOMPARE(done["updated"].toVariant().toStringList(), QStringList{"Alpha"});
  QCOMPARE(done["kept"].toVariant().toStringList(), QStringList{"Beta"});  // its delete was refused
  QCOMPARE(done["sent"].toVariant().toStringList(), QStringList({"Alpha.ZIP", "Gamma.ZIP", "PP_MENU.INI"}));
  QCOMPARE(done["alerts"].toInt(), alerts);
  const QJsonObject unpacked = lastProgress["unpack"], sent = lastProgress["send"];
  QCOMPARE(unpacked["filesDone"].toInt(), 2);
  QVERIFY(unpacked["fileTotal"].toInteger() > 0 && sent["bytesDone"] == sent["bytesTotal"]);
  QCOMPARE(lastStatus["level"].toInt(), 3);
  QVERIFY(lastStatus["text"].toString().startsWith("Execute finished: installed 1, updated 1, removed 0, kept 1; sent 3 files"));

  QFile file(log);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  for (const char *expected : {"alert 2006: ", "-> 1\n", "detail: DELE \\PP_APP\\Beta.ZIP: 550", "summary execute: installed Gamma; updated Alpha"})
    QVERIFY2(text.contains(QLatin1String(expected)), expected);
}

QTEST_GUILESS_MAIN(TestPpInstall)
#include "TestPpInstall.moc"
