// pp-install, the installer without a display, as a script meets it: marks
// and options from the command line, answers given in advance, the dry run,
// exit codes, and usage errors that change nothing. What the engine decides
// is tested with the engine; here only that the front end passes it on.
#include "ControllerSim.h"
#include "MediumBuilder.h"
#include "PpInstallRun.h"
#include "Sandbox.h"
#include "UnzipLibrary.h"
#include "ftp/FtpSession.h"
#include "platform/Device.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString kPendant = QStringLiteral("\\DiskOnChip\\PP_APP");
const QString kPendantMenu = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");
const QString kControllerMenu = QStringLiteral("\\PP_APP\\PP_MENU.INI");

}  // namespace

class TestPpInstall : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void installChooseRemove();
  void dryRunAndExecuteChecks();
  void answersInOrderAndNoStops();
  void missingMedium();
  void usageErrorsChangeNothing_data();
  void usageErrorsChangeNothing();

 private:
  PpInstallRun run(const QStringList &args) { return RunPpInstall(*m_box, m_sim->address(), args); }
  // The packages on the medium, installed by a run of their own.
  void install(const QList<PackageSpec> &packages);
  // Every file on both sides.
  QString sides() const { return m_box->tree(kPendant).join(u' ') + " | " + m_sim->entries("\\PP_APP").join(u' '); }

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

void TestPpInstall::install(const QList<PackageSpec> &packages) {
  QStringList args;
  for (const PackageSpec &pkg : packages) {
    MediumBuilder::WritePackage(*m_box, pkg);
    args << "--add" << pkg.name;
  }
  const PpInstallRun first = run(args);
  QVERIFY2(first.exitCode == 0, qPrintable(first.text()));
  m_sim->clearLog();
}

void TestPpInstall::installChooseRemove() {
  for (const char *name : {"Alpha", "Beta", "Gamma"}) MediumBuilder::WritePackage(*m_box, PackageSpec::Simple(name));
  const PpInstallRun first = run({"--add", "Gamma", "--add", "Alpha", "--add", "Beta", "--list"});
  QVERIFY2(first.exitCode == 0, qPrintable(first.text()));
  QCOMPARE(first.lines.filter(QRegularExpression("^\\d{3} \\| ")),
           QStringList({"001 |   |   | Alpha | 1.00 | 10 |  | 1.00 | 10",
                        "002 |   |   | Beta | 1.00 | 10 |  | 1.00 | 10",
                        "003 |   |   | Gamma | 1.00 | 10 |  | 1.00 | 10"}));
  QCOMPARE(sides(), "Alpha/Alpha.exe Alpha/res/Alpha.txt Beta/Beta.exe Beta/res/Beta.txt Gamma/Gamma.exe "
                    "Gamma/res/Gamma.txt PP_MENU.INI | Alpha.ZIP Beta.ZIP Gamma.ZIP PP_MENU.INI");
  QCOMPARE(MediumBuilder::RegisteredNames(m_sim->read(kControllerMenu)), QStringList({"Alpha", "Beta", "Gamma"}));
  QCOMPARE(m_box->read(kPendantMenu), m_sim->read(kControllerMenu));

  // An option changed alone is written: the menu file once, no archive.
  m_sim->clearLog();
  const PpInstallRun chosen = run({"--auto-run", "Beta", "--list"});
  QCOMPARE(chosen.exitCode, 0);
  QVERIFY2(chosen.has("002 |   | A | Beta | 1.00 | 10 |  | 1.00 | 10"), qPrintable(chosen.text()));
  QCOMPARE(m_sim->count("STOR"), 1);
  const QByteArray menu = m_sim->read(kControllerMenu);
  QVERIFY(menu.count("AUTO_RUN = TRUE") == 1 && menu.indexOf("AUTO_RUN = TRUE") > menu.indexOf("APP_NAME = Beta"));

  // A removal sends only the shorter menu file.
  m_sim->clearLog();
  QCOMPARE(run({"--remove", "Alpha"}).exitCode, 0);
  QCOMPARE(sides(), "Beta/Beta.exe Beta/res/Beta.txt Gamma/Gamma.exe Gamma/res/Gamma.txt PP_MENU.INI | Beta.ZIP "
                    "Gamma.ZIP PP_MENU.INI");
  QCOMPARE(MediumBuilder::RegisteredNames(m_sim->read(kControllerMenu)), QStringList({"Beta", "Gamma"}));
  QCOMPARE(m_box->read(kPendantMenu), m_sim->read(kControllerMenu));
  QCOMPARE(m_sim->count("STOR"), 1);
}

// The dry run prints the checks Execute makes and changes nothing; Execute
// refuses one KiB short of the space and a 33rd application.
void TestPpInstall::dryRunAndExecuteChecks() {
  QStringList adds;
  for (int i = 1; i <= 33; ++i) {
    PackageSpec pkg = PackageSpec::Simple(QStringLiteral("App%1").arg(i, 2, 10, QChar(u'0')));
    pkg.sizeKiB = 1;
    pkg.files.clear();
    MediumBuilder::WritePackage(*m_box, pkg);
    if (i <= 32) adds << "--add" << pkg.name;
  }
  Device::SetFreeBytesOverride(98 * 1024);
  const PpInstallRun dry = run(adds + QStringList{"--dry-run"});
  QCOMPARE(dry.exitCode, 0);
  QCOMPARE(dry.lines.mid(dry.lines.size() - 4),
           QStringList({"required: 98 KiB", "available after: 0 KiB", "pending: 32", "registered after: 32"}));
  QCOMPARE(sides(), " | ");

  Device::SetFreeBytesOverride(97 * 1024);
  const PpInstallRun refused = run(adds);
  QCOMPARE(refused.exitCode, 1);
  QCOMPARE(refused.alerts(), QStringList("alert 2003: FATAL ERROR\\n Memory to register a chosen application\\n is "
                                         "insufficient. |  Memory space size:97 < application size:98 -> 1"));
  QVERIFY(refused.has("status 0: Memory to register a chosen application is insufficient. Memory space size:97 < "
                      "application size:98"));
  QCOMPARE(sides(), " | ");

  Device::SetFreeBytesOverride(98 * 1024);  // exactly enough, and 32 is the most that can be registered
  QCOMPARE(run(adds).exitCode, 0);
  QCOMPARE(m_sim->entries("\\PP_APP").size(), 33);  // 32 archives and the menu file
  Device::SetFreeBytesOverride(-1);
  const QString before = sides();
  QCOMPARE(run({"--add", "App33"}).alerts(),
           QStringList("alert 2002: FATAL ERROR\\n The number of applications registered\\n with exceeds 32. | "
                       "Total add files. (=33) -> 1"));
  QCOMPARE(sides(), before);
}

// The answers go to the two-button questions in order; a "no" to going on
// after a refused delete stops the run before anything is removed or sent.
void TestPpInstall::answersInOrderAndNoStops() {
  // The engine asks with two buttons only once it has asked a two-button
  // question before; here the one-touch name check does (a 20-byte name).
  PackageSpec beta = PackageSpec::Simple("Beta");
  beta.names = {{QStringLiteral("JAPANESE"), QString::fromUtf8("保守点検スケジュール")}};
  install({PackageSpec::Simple("Alpha"), beta});
  const QString before = sides();
  const QByteArray menu = m_box->read(kPendantMenu);
  QVERIFY(m_sim->setFaults({"--refuse-dele", "ALPHA.ZIP"}));

  const PpInstallRun result =
      run({"--one-touch", "Beta", "--remove", "Alpha", "--answer", "yes", "--answer", "yes", "--answer", "no"});
  QCOMPARE(result.exitCode, 1);
  const QStringList alerts = result.alerts();
  QVERIFY2(alerts.size() == 3, qPrintable(result.text()));
  QVERIFY(alerts[0].startsWith("alert 2023: ") &&
          alerts[0].endsWith(QString::fromUtf8("Error name ---> (保守点検スケジュール) -> 1")));
  QCOMPARE(alerts[1], QString("alert 2025: FATAL ERROR\\n File remove error in controller. | error KTC folder. "
                              ":(\\PP_APP\\Alpha.ZIP) -> 1"));
  QCOMPARE(alerts[2], QString("alert 2006: File remove error in Controller.\\n Continue to install. | error file "
                              ":(Alpha.ZIP) -> 0"));
  QCOMPARE(sides(), before);
  QCOMPARE(m_box->read(kPendantMenu), menu);
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
  install({PackageSpec::Simple("Alpha")});
  const QString before = sides();
  const QByteArray controllerMenu = m_sim->read(kControllerMenu);
  const PpInstallRun result = run(args);
  QCOMPARE(result.exitCode, 2);
  QVERIFY2(result.err.contains(message), qPrintable(result.err));
  QCOMPARE(sides(), before);
  QCOMPARE(m_sim->read(kControllerMenu), controllerMenu);
}

QTEST_GUILESS_MAIN(TestPpInstall)
#include "TestPpInstall.moc"
