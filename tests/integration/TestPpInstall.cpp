// Whole runs of the headless installer, as an operator or a service script
// meets them: a device with a medium of real packages, the controller
// simulator on loopback, and the files on both sides checked afterwards.
#include "ControllerSim.h"
#include "MediumBuilder.h"
#include "PpInstallRun.h"
#include "Sandbox.h"
#include "UnzipLibrary.h"
#include "ftp/FtpSession.h"
#include "platform/Device.h"

#include <QDir>
#include <QtTest>

namespace {

const QString kPendant = QStringLiteral("\\DiskOnChip\\PP_APP");

PackageSpec Package(const QString &name, const QString &version = QStringLiteral("1.00"), int sizeKiB = 10) {
  PackageSpec pkg = PackageSpec::Simple(name, version);
  pkg.sizeKiB = sizeKiB;
  return pkg;
}

}  // namespace

class TestPpInstall : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void firstInstallationThenEqualStartTouchesNothing();
  void lostPendantCopyIsRebuiltFromController();
  void removalOfOneApplication();
  void registeredCountLimit_data();
  void registeredCountLimit();
  void spaceCheck_data();
  void spaceCheck();
  void downgradeAnsweredNo();
  void optionChangeAloneIsWrittenOnce();
  void missingMedium();
  void refusedRemovalStoppedByOperator();
  void usageErrorsChangeNothing_data();
  void usageErrorsChangeNothing();

 private:
  PpInstallRun run(const QStringList &args) { return RunPpInstall(*m_box, m_sim->address(), args); }
  // Installs packages through a first run so that both sides hold them.
  void installFirst(const QStringList &names);
  QString pendantTree() const { return m_box->tree(kPendant).join(u','); }

  std::unique_ptr<ControllerSim> m_sim;
  std::unique_ptr<Sandbox> m_box;
};

void TestPpInstall::initTestCase() {
  m_sim = std::make_unique<ControllerSim>();
  QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->log()));
  FtpSession::SetTimeouts(2000, 3000);
}

void TestPpInstall::init() {
  QVERIFY(m_sim->reset());
  m_box = std::make_unique<Sandbox>();
  QVERIFY(InstallUnzipLibrary(*m_box));
  m_box->mkdir("\\Storage Card\\PP_APP");
}

void TestPpInstall::cleanup() {
  m_box.reset();
  Device::SetFreeBytesOverride(-1);
}

void TestPpInstall::installFirst(const QStringList &names) {
  QStringList args;
  for (const QString &name : names) {
    MediumBuilder::WritePackage(*m_box, Package(name));
    args << "--add" << name;
  }
  const PpInstallRun first = run(args);
  QCOMPARE(first.exitCode, 0);
  m_sim->clearLog();
}

void TestPpInstall::firstInstallationThenEqualStartTouchesNothing() {
  for (const char *name : {"Alpha", "Beta", "Gamma"}) MediumBuilder::WritePackage(*m_box, Package(name));
  const PpInstallRun first = run({"--add", "Gamma", "--add", "Alpha", "--add", "Beta", "--list"});
  QVERIFY2(first.exitCode == 0, qPrintable(first.lines.join('\n')));

  // The controller holds the new menu file and the three archives ...
  QCOMPARE(m_sim->entries("\\PP_APP"), QStringList({"Alpha.ZIP", "Beta.ZIP", "Gamma.ZIP", "PP_MENU.INI"}));
  // ... the pendant the three folders and the identical menu file.
  const QByteArray menu = m_box->read(kPendant + "\\PP_MENU.INI");
  QCOMPARE(m_sim->read("\\PP_APP\\PP_MENU.INI"), menu);
  QVERIFY(menu.contains("APP_NUM = 3\n"));
  for (const char *name : {"Alpha", "Beta", "Gamma"}) {
    QVERIFY(m_box->exists(kPendant + "\\" + name + "\\" + name + ".exe"));
    QVERIFY(m_box->exists(kPendant + "\\" + name + "\\res\\" + name + ".txt"));
  }
  QVERIFY(first.has("status 2: Controller PP_MENU.INI file save complete."));
  QVERIFY(first.lines.filter(QRegularExpression("^\\d{3} \\| ")).size() == 3);
  QVERIFY(first.has("001 |   |   | Alpha | 1.00 | 10 |  | 1.00 | 10"));

  // A second start finds equal menu files and changes nothing on the pendant.
  const QDateTime before = QFileInfo(m_box->host(kPendant + "\\Alpha\\Alpha.exe")).lastModified();
  m_sim->clearLog();
  const PpInstallRun second = run({});
  QCOMPARE(second.exitCode, 0);
  QVERIFY(second.has("status 2: PP_MENU.INI file compare OK."));
  QCOMPARE(m_sim->count("RETR"), 1);  // the menu file only
  QCOMPARE(m_sim->count("STOR"), 0);
  QCOMPARE(QFileInfo(m_box->host(kPendant + "\\Alpha\\Alpha.exe")).lastModified(), before);
  QCOMPARE(m_box->read(kPendant + "\\PP_MENU.INI"), menu);
}

void TestPpInstall::lostPendantCopyIsRebuiltFromController() {
  installFirst({"Alpha", "Beta"});
  const QString tree = pendantTree();
  QVERIFY(QDir(m_box->host(kPendant)).removeRecursively());

  const PpInstallRun rebuild = run({"--list"});
  QCOMPARE(rebuild.exitCode, 0);
  QVERIFY(rebuild.has("status 2: (\\DiskOnChip\\PP_APP\\PP_MENU.INI) file is not registered."));
  QCOMPARE(pendantTree(), tree);
  QCOMPARE(m_box->read(kPendant + "\\PP_MENU.INI"), m_sim->read("\\PP_APP\\PP_MENU.INI"));
  // The temporary folder on the medium is gone again.
  QVERIFY(!m_box->exists("\\Storage Card\\PP_APP\\TEMP"));
}

void TestPpInstall::removalOfOneApplication() {
  installFirst({"Alpha", "Beta"});
  const PpInstallRun removal = run({"--remove", "Alpha"});
  QVERIFY2(removal.exitCode == 0, qPrintable(removal.lines.join('\n')));
  QVERIFY(removal.has("status 2: KTC and PP appilcation file delete complete. (Alpha.ZIP)"));
  QVERIFY(!m_box->exists(kPendant + "\\Alpha"));
  QVERIFY(!m_sim->exists("\\PP_APP\\Alpha.ZIP"));
  QVERIFY(m_sim->exists("\\PP_APP\\Beta.ZIP"));
  const QByteArray menu = m_box->read(kPendant + "\\PP_MENU.INI");
  QVERIFY(menu.contains("APP_NUM = 1\n") && menu.contains("APP_NAME = Beta\n") && !menu.contains("Alpha"));
  QCOMPARE(m_sim->read("\\PP_APP\\PP_MENU.INI"), menu);
  QCOMPARE(m_sim->count("STOR"), 1);  // only the menu file is sent on a removal
}

void TestPpInstall::registeredCountLimit_data() {
  QTest::addColumn<int>("packages");
  QTest::addColumn<bool>("refused");
  QTest::newRow("exactly 32 registered") << 32 << false;
  QTest::newRow("33 would be registered") << 33 << true;
}

void TestPpInstall::registeredCountLimit() {
  QFETCH(int, packages);
  QFETCH(bool, refused);
  QStringList args;
  for (int i = 1; i <= packages; ++i) {
    const QString name = QStringLiteral("App%1").arg(i, 2, 10, QChar(u'0'));
    PackageSpec pkg = Package(name, "1.00", 1);
    pkg.files.clear();
    MediumBuilder::WritePackage(*m_box, pkg);
    args << "--add" << name;
  }
  const PpInstallRun result = run(args);
  if (refused) {
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.alerts(),
             QStringList("alert 2002: FATAL ERROR\\n The number of applications registered\\n with exceeds 32. | "
                         "Total add files. (=33) -> 1"));
    QVERIFY(!m_box->exists(kPendant + "\\PP_MENU.INI"));
    QVERIFY(!m_sim->exists("\\PP_APP"));
  } else {
    QCOMPARE(result.exitCode, 0);
    QVERIFY(m_box->read(kPendant + "\\PP_MENU.INI").contains("APP_NUM = 32\n"));
    QCOMPARE(m_sim->entries("\\PP_APP").size(), 33);
  }
}

void TestPpInstall::spaceCheck_data() {
  QTest::addColumn<qint64>("freeKiB");
  QTest::addColumn<bool>("refused");
  // One new 100 KiB application, no menu file yet: 100 + 2 + 2 KiB.
  QTest::newRow("exactly the required space") << qint64(104) << false;
  QTest::newRow("one KiB short") << qint64(103) << true;
}

void TestPpInstall::spaceCheck() {
  QFETCH(qint64, freeKiB);
  QFETCH(bool, refused);
  MediumBuilder::WritePackage(*m_box, Package("Alpha", "1.00", 100));
  Device::SetFreeBytesOverride(freeKiB * 1024);
  const PpInstallRun result = run({"--add", "Alpha"});
  if (refused) {
    QCOMPARE(result.alerts(), QStringList("alert 2003: FATAL ERROR\\n Memory to register a chosen application\\n is "
                                          "insufficient. |  Memory space size:103 < application size:104 -> 1"));
    QVERIFY(result.has("status 0: Memory to register a chosen application is insufficient. Memory space "
                           "size:103 < application size:104"));
    QVERIFY(!m_box->exists(kPendant + "\\Alpha"));
  } else {
    QVERIFY2(result.exitCode == 0, qPrintable(result.lines.join('\n')));
    QVERIFY(m_box->exists(kPendant + "\\Alpha\\Alpha.exe"));
  }
}

void TestPpInstall::downgradeAnsweredNo() {
  installFirst({"Alpha"});
  const QByteArray menu = m_box->read(kPendant + "\\PP_MENU.INI");
  MediumBuilder::WritePackage(*m_box, Package("Alpha", "0.90"));
  const PpInstallRun result = run({"--add", "Alpha", "--answer", "no", "--list"});
  QCOMPARE(result.exitCode, 1);
  QCOMPARE(result.alerts().size(), 1);
  QVERIFY(result.alerts().first().startsWith("alert 2019: You install an old version, but are all right?"));
  QVERIFY(result.alerts().first().endsWith("-> 0"));
  // The installed version stays, on the pendant and on the controller.
  QVERIFY(result.has("001 |   |   | Alpha | 1.00 | 10 |  | 0.90 | 10"));
  QVERIFY(m_box->read(kPendant + "\\PP_MENU.INI").contains("APP_VER = 1.00\n"));
  QCOMPARE(m_sim->read("\\PP_APP\\PP_MENU.INI"), m_box->read(kPendant + "\\PP_MENU.INI"));
  QVERIFY(m_box->exists(kPendant + "\\Alpha\\Alpha.exe"));
  QCOMPARE(m_box->read(kPendant + "\\PP_MENU.INI"), menu);
}

void TestPpInstall::optionChangeAloneIsWrittenOnce() {
  installFirst({"Alpha", "Beta"});
  m_sim->clearLog();
  const PpInstallRun chosen = run({"--auto-run", "Beta", "--list"});
  QCOMPARE(chosen.exitCode, 0);
  const QByteArray menu = m_box->read(kPendant + "\\PP_MENU.INI");
  QVERIFY(menu.contains("APP_NAME = Beta\nTOPMENU_ID = 1\n"));
  QVERIFY(menu.indexOf("AUTO_RUN = TRUE") > menu.indexOf("APP_NAME = Beta"));
  QCOMPARE(menu.count("AUTO_RUN = TRUE"), 1);
  QCOMPARE(m_sim->count("STOR"), 1);  // the menu file once, no archive
  QVERIFY(chosen.has("002 |   | A | Beta | 1.00 | 10 |  | 1.00 | 10"));

  // Nothing changed: a further run writes nothing.
  m_sim->clearLog();
  const PpInstallRun again = run({});
  QCOMPARE(again.exitCode, 0);
  QCOMPARE(m_sim->count("STOR"), 0);
}

void TestPpInstall::missingMedium() {
  QVERIFY(QDir(m_box->host("\\Storage Card")).removeRecursively());
  const PpInstallRun result = run({"--list"});
  QCOMPARE(result.exitCode, 1);
  QCOMPARE(result.lines.first(), QString("status 0: CF/USB access error."));
  QCOMPARE(result.alerts(),
           QStringList("alert 2026: FATAL ERROR\\n CF/USB access error. | Error media ---> \\Storage Card\\ -> 1"));
  QVERIFY(result.lines.filter(QRegularExpression("^\\d{3} \\| ")).isEmpty());
  QCOMPARE(m_sim->count("USER"), 0);  // the controller was never contacted
}

void TestPpInstall::refusedRemovalStoppedByOperator() {
  // The engine asks with two buttons only once it has asked a two-button
  // question before; here the one-touch name check does (a 20-byte name).
  PackageSpec beta = Package("Beta");
  beta.names = {{QStringLiteral("JAPANESE"), QString::fromUtf8("保守点検スケジュール")}};
  MediumBuilder::WritePackage(*m_box, beta);
  installFirst({"Alpha"});
  QCOMPARE(run({"--add", "Beta"}).exitCode, 0);
  m_sim->clearLog();
  QVERIFY(m_sim->setFaults({"--refuse-dele", "ALPHA.ZIP"}));

  const PpInstallRun result =
      run({"--one-touch", "Beta", "--remove", "Alpha", "--answer", "yes", "--answer", "yes", "--answer", "no"});
  QCOMPARE(result.exitCode, 1);
  const QStringList alerts = result.alerts();
  QVERIFY2(alerts.size() == 3, qPrintable(result.lines.join('\n')));
  QVERIFY(alerts[0].startsWith("alert 2023: ") && alerts[0].endsWith(QString::fromUtf8("Error name ---> (保守点検スケジュール) -> 1")));
  QCOMPARE(alerts[1], QString("alert 2025: FATAL ERROR\\n File remove error in controller. | error KTC folder. "
                              ":(\\PP_APP\\Alpha.ZIP) -> 1"));
  QCOMPARE(alerts[2], QString("alert 2006: File remove error in Controller.\\n Continue to install. | error file "
                              ":(Alpha.ZIP) -> 0"));
  // Stopped: nothing removed anywhere, nothing written.
  QVERIFY(m_box->exists(kPendant + "\\Alpha\\Alpha.exe"));
  QVERIFY(m_sim->exists("\\PP_APP\\Alpha.ZIP"));
  QCOMPARE(m_sim->count("STOR"), 0);
  QVERIFY(m_box->read(kPendant + "\\PP_MENU.INI").contains("APP_NUM = 2\n"));
}

void TestPpInstall::usageErrorsChangeNothing_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("message");
  QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "unknown option \"--frobnicate\"";
  QTest::newRow("missing value") << QStringList{"--add"} << "--add needs an application name";
  QTest::newRow("name not in the list") << QStringList{"--remove", "Alpha", "--add", "Nope"}
                                        << "\"Nope\" is not in the application list";
  QTest::newRow("bad answer") << QStringList{"--answer", "maybe"} << "--answer takes yes, no or escape";
  QTest::newRow("auto-run not offered") << QStringList{"--auto-run", "Nope"} << "cannot be the auto-run application";
}

void TestPpInstall::usageErrorsChangeNothing() {
  QFETCH(QStringList, args);
  QFETCH(QString, message);
  installFirst({"Alpha"});
  const QString tree = pendantTree();
  const QByteArray controllerMenu = m_sim->read("\\PP_APP\\PP_MENU.INI");
  const PpInstallRun result = run(args);
  QCOMPARE(result.exitCode, 2);
  QVERIFY2(result.err.contains(message), qPrintable(result.err));
  QCOMPARE(pendantTree(), tree);
  QCOMPARE(m_sim->read("\\PP_APP\\PP_MENU.INI"), controllerMenu);
  QVERIFY(m_sim->exists("\\PP_APP\\Alpha.ZIP"));
}

QTEST_GUILESS_MAIN(TestPpInstall)
#include "TestPpInstall.moc"
