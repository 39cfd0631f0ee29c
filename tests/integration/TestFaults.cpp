// Every stage of an installation run into the faults a controller, a medium
// or the pendant's flash disk can produce: what the operator is told, what
// is left on both sides, and that the next start-up (the fault gone) brings
// the pendant back in line with the controller.
#include "ControllerSim.h"
#include "MediumBuilder.h"
#include "PpInstallRun.h"
#include "RecordingView.h"
#include "Sandbox.h"
#include "UnzipLibrary.h"
#include "app/InstallerApp.h"
#include "app/InstallerEngine.h"
#include "app/InstallerStages.h"
#include "ftp/FtpSession.h"
#include "platform/CodePage.h"
#include "platform/Device.h"

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kPendant = QStringLiteral("\\DiskOnChip\\PP_APP");
const QString kPendantMenu = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");
const QString kMenuDetail = kPendantMenu;

PackageSpec Package(const QString &name) { return PackageSpec::Simple(name); }

QStringList IdsAndDetails(const RecordingView &view) {
  QStringList result;
  for (const RecordingView::Alert &alert : view.alerts)
    result.append(QString::number(alert.request.messageId) + u' ' + alert.request.detail);
  return result;
}

}  // namespace

class TestFaults : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void controllerUnreachableAtStart_data();
  void controllerUnreachableAtStart();
  void controllerSilentWhenAskedForItsFolder_data();
  void controllerSilentWhenAskedForItsFolder();
  void controllerGoneBetweenStartAndExecute_data();
  void controllerGoneBetweenStartAndExecute();
  void transferFaultDuringSync_data();
  void transferFaultDuringSync();
  void transferFaultWhileSending_data();
  void transferFaultWhileSending();
  void faultWhileRemoving_data();
  void faultWhileRemoving();
  void folderCommandRefused_data();
  void folderCommandRefused();
  void mediumRemovedBeforeExecute_data();
  void mediumRemovedBeforeExecute();
  void tooLittleSpaceForTheRebuild();
  void tooLittleSpaceForAnExtraction();
  void menuFileCannotBeWritten_data();
  void menuFileCannotBeWritten();

 private:
  // Both sides hold these applications, as after an installation.
  void installed(const QList<PackageSpec> &apps);
  bool faults(const QStringList &switches) { return m_sim->setFaults(switches); }
  PpInstallRun run(const QStringList &args) { return RunPpInstall(*m_box, m_sim->address(), args); }
  // The start-up stage driven directly, the simulator running.
  std::unique_ptr<InstallerStages> startStages(RecordingView &view);
  static void runPosted(const InstallerStages &stages);
  // The applications the controller's menu file registers, in order.
  QStringList registered() const { return MediumBuilder::RegisteredNames(m_sim->read("\\PP_APP\\PP_MENU.INI")); }
  QString divergence() const { return Divergence(*m_box, *m_sim); }
  // The next start-up with the fault gone: these alerts (as "id detail"),
  // and in line afterwards with these applications registered.
  void nextStartRecovers(const QStringList &expectedApps, const QStringList &expectedAlerts = {});

  std::unique_ptr<ControllerSim> m_sim;
  std::unique_ptr<Sandbox> m_box;
};

void TestFaults::initTestCase() {
  m_sim = std::make_unique<ControllerSim>();
  QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->log()));
  // Short enough to keep a stall cheap, long enough for a loaded machine.
  FtpSession::SetTimeouts(2000, 2000);
}

void TestFaults::init() {
  QVERIFY(m_sim->reset());
  m_box = std::make_unique<Sandbox>();
  QVERIFY(InstallUnzipLibrary(*m_box));
  m_box->mkdir(QStringLiteral("\\Storage Card\\PP_APP"));
  for (const char *name : {"Alpha", "Beta", "Gamma"}) MediumBuilder::WritePackage(*m_box, Package(name));
}

void TestFaults::cleanup() {
  Device::SetFreeBytesOverride(-1);
  if (m_box) QFile::setPermissions(m_box->host(kPendant), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  m_box.reset();
}

void TestFaults::installed(const QList<PackageSpec> &apps) {
  MediumBuilder::WriteInstalled(*m_box, m_sim->root(), apps);
  QCOMPARE(divergence(), QString());
}

std::unique_ptr<InstallerStages> TestFaults::startStages(RecordingView &view) {
  InstallerApp app;
  DeviceOptions device;
  QStringList args{QStringLiteral("--device-root"), m_box->root(), QStringLiteral("--medium"), QStringLiteral("cf")};
  QString error;
  if (!TakeDeviceOptions(args, &device, &error) || !app.InitSettings(device, {"/D", m_sim->address()}, &error))
    return nullptr;
  auto stages = std::make_unique<InstallerStages>(&view, app.MediumKind());
  stages->Post(WM_INSTALLER_START);
  runPosted(*stages);
  return stages;
}

void TestFaults::runPosted(const InstallerStages &stages) {
  while (stages.HasPendingStage()) QCoreApplication::sendPostedEvents(nullptr, 0);
}

void TestFaults::nextStartRecovers(const QStringList &expectedApps, const QStringList &expectedAlerts) {
  QVERIFY(faults({}));
  m_sim->clearLog();
  const PpInstallRun next = run({QStringLiteral("--list")});
  QCOMPARE(next.alertIdsAndDetails(), expectedAlerts);
  QCOMPARE(divergence(), QString());
  QCOMPARE(registered(), expectedApps);
  // A start after that finds both sides equal and touches nothing.
  const PpInstallRun again = run({});
  QVERIFY2(again.has(QStringLiteral("status 2: PP_MENU.INI file compare OK.")) || expectedApps.isEmpty(),
           qPrintable(again.text()));
  QVERIFY2(again.alerts().isEmpty(), qPrintable(again.text()));
}

// --- the controller cannot be reached when the installer starts ---

void TestFaults::controllerUnreachableAtStart_data() {
  QTest::addColumn<QStringList>("switches");  // empty: nothing listens on the port
  QTest::newRow("no server on the port") << QStringList();
  QTest::newRow("login refused") << QStringList{"--refuse-login"};
  QTest::newRow("no greeting") << QStringList{"--hang-on", "CONNECT"};
  QTest::newRow("garbage for a greeting") << QStringList{"--garbage-on", "CONNECT"};
  QTest::newRow("hangs up at once") << QStringList{"--hangup-on", "CONNECT"};
}

void TestFaults::controllerUnreachableAtStart() {
  QFETCH(QStringList, switches);
  installed({Package("Alpha"), Package("Beta")});
  if (switches.isEmpty())
    m_sim->stop();  // the port is closed now
  else
    QVERIFY(faults(switches));
  const QStringList pendantBefore = m_box->tree(kPendant);

  const PpInstallRun result = run({"--add", "Gamma", "--list"});
  QCOMPARE(result.exitCode, 1);
  // Unreachable at the start: the pendant's copy is read as it is ...
  QCOMPARE(result.lines.first(), QStringLiteral("status 2: FTP connect error."));
  // ... and the new menu file is written, but cannot be sent.
  QCOMPARE(result.alertIdsAndDetails(), QStringList{"2012 error function. (CreateKtcAppFolder)"});
  QVERIFY(m_box->read(kPendantMenu).contains("APP_NAME = Gamma\n"));
  QVERIFY(m_box->exists(kPendant + "\\Gamma\\Gamma.exe"));
  for (const QString &file : pendantBefore) QVERIFY2(m_box->exists(kPendant + u'\\' + file), qPrintable(file));
  QCOMPARE(registered(), QStringList({"Alpha", "Beta"}));
  QVERIFY(!m_sim->exists("\\PP_APP\\Gamma.ZIP"));

  nextStartRecovers({"Alpha", "Beta"});
  QVERIFY(!m_box->exists(kPendant + "\\Gamma"));
}

// --- the controller stops answering while it is asked for its folder ---

void TestFaults::controllerSilentWhenAskedForItsFolder_data() {
  QTest::addColumn<QStringList>("switches");
  QTest::newRow("listing never answered") << QStringList{"--hang-on", "LIST"};
  QTest::newRow("hangs up at the listing") << QStringList{"--hangup-on", "LIST"};
  QTest::newRow("garbage for the listing") << QStringList{"--garbage-on", "LIST"};
}

void TestFaults::controllerSilentWhenAskedForItsFolder() {
  QFETCH(QStringList, switches);
  installed({Package("Alpha"), Package("Beta")});
  QVERIFY(faults(switches));
  const QStringList pendantBefore = m_box->tree(kPendant);

  const PpInstallRun result = run({"--list"});
  // No answer is no "no folder": the pendant's only working copy stays, and
  // the read stage lists it.
  QCOMPARE(result.exitCode, 0);
  QCOMPARE(result.lines.first(), QStringLiteral("status 2: FTP connect error."));
  QCOMPARE(m_box->tree(kPendant), pendantBefore);
  QVERIFY2(result.has("001 |   |   | Alpha | 1.00 | 10 |  | 1.00 | 10"), qPrintable(result.text()));
  QCOMPARE(registered(), QStringList({"Alpha", "Beta"}));
  nextStartRecovers({"Alpha", "Beta"});
}

// --- the controller goes away after the start-up, before or during Execute ---

void TestFaults::controllerGoneBetweenStartAndExecute_data() {
  QTest::addColumn<QString>("add");
  QTest::addColumn<QString>("remove");
  QTest::addColumn<QStringList>("expectedAlerts");
  QTest::newRow("installing") << "Gamma" << QString() << QStringList{"2012 error function. (CreateKtcAppFolder)"};
  QTest::newRow("removing") << QString() << "Alpha"
                            << QStringList{"2012 error function. (RemoveKtcAppFile)", "2006 error file :(Alpha.ZIP)",
                                           "2012 error function. (CreateKtcAppFolder)"};
}

void TestFaults::controllerGoneBetweenStartAndExecute() {
  QFETCH(QString, add);
  QFETCH(QString, remove);
  QFETCH(QStringList, expectedAlerts);
  installed({Package("Alpha"), Package("Beta")});
  RecordingView view;
  std::unique_ptr<InstallerStages> stages = startStages(view);
  QVERIFY(stages && stages->Engine());
  QVERIFY2(view.alerts.isEmpty(), qPrintable(view.log.join(u'\n')));
  QVERIFY(view.hasStatus("PP_MENU.INI file compare OK."));
  m_sim->stop();
  view.clear();

  InstallerEngine &engine = *stages->Engine();
  const QString name = add.isEmpty() ? remove : add;
  const int index = static_cast<int>(engine.Entries().indexOf(engine.FindEntry(name)));
  engine.SetOperation(index, add.isEmpty() ? AppEntry::Remove : AppEntry::Add);
  QCOMPARE(engine.GetOperation(index), add.isEmpty() ? int(AppEntry::Remove) : int(AppEntry::Add));
  stages->ExecuteCommand();
  runPosted(*stages);

  QCOMPARE(IdsAndDetails(view), expectedAlerts);
  QVERIFY(!view.busy);
  // Nothing reached the controller; the pendant's files of the removed
  // application stay, since its archive could not be deleted.
  QCOMPARE(registered(), QStringList({"Alpha", "Beta"}));
  QVERIFY(m_box->exists(kPendant + "\\Alpha\\Alpha.exe"));
  stages.reset();
  nextStartRecovers({"Alpha", "Beta"});
  QVERIFY(!m_box->exists(kPendant + "\\Gamma"));
}

// --- a transfer breaks while the pendant is rebuilt from the controller ---

void TestFaults::transferFaultDuringSync_data() {
  QTest::addColumn<QStringList>("switches");
  QTest::addColumn<QStringList>("expectedAlerts");
  QTest::addColumn<int>("listed");
  // Alpha is unpacked, Beta's archive does not arrive: the reading that
  // follows finds Beta missing and treats the installation as damaged.
  const QStringList archiveLost{"2011 error file :(Beta.ZIP)", "2001 Failed to upload file.",
                                "2001 Pendant application execute file not found."};
  QTest::newRow("archive dropped") << QStringList{"--drop-retr", "100", "BETA.ZIP"} << archiveLost << 0;
  QTest::newRow("archive stalled") << QStringList{"--stall-retr", "100", "BETA.ZIP"} << archiveLost << 0;
  QTest::newRow("hung up at the archive") << QStringList{"--hangup-on", "RETR", "BETA.ZIP"} << archiveLost << 0;
  QTest::newRow("archive refused") << QStringList{"--refuse-retr", "BETA.ZIP"} << archiveLost << 0;
  // Without the controller's menu file both folders go at once; the medium's
  // packages are listed, none registered.
  QTest::newRow("menu file dropped") << QStringList{"--drop-retr", "10", "PP_MENU.INI"}
                                     << QStringList{"2010 Failed to upload file. :(PP_MENU.INI)"} << 3;
}

void TestFaults::transferFaultDuringSync() {
  QFETCH(QStringList, switches);
  QFETCH(QStringList, expectedAlerts);
  QFETCH(int, listed);
  installed({Package("Alpha"), Package("Beta")});
  QVERIFY(QFile::remove(m_box->host(kPendantMenu)));  // the pendant must be rebuilt
  QVERIFY(faults(switches));

  const PpInstallRun result = run({"--list"});
  QCOMPARE(result.exitCode, 1);
  QCOMPARE(result.alertIdsAndDetails(), expectedAlerts);
  // The application folders are gone on both sides.
  QVERIFY(!m_box->exists(kPendant));
  QVERIFY(!m_sim->exists("\\PP_APP"));
  QCOMPARE(result.lines.filter(QRegularExpression("^\\d{3} \\| .* \\| ---         \\| ---   \\|")).size(), listed);
  QCOMPARE(result.lines.filter(QRegularExpression("^\\d{3} \\| ")).size(), listed);
  QCOMPARE(divergence(), QString());
  nextStartRecovers({});
}

// --- a transfer breaks while the new menu file and archives are sent ---

void TestFaults::transferFaultWhileSending_data() {
  QTest::addColumn<QStringList>("switches");
  QTest::addColumn<QString>("failedFile");
  QTest::newRow("archive dropped") << QStringList{"--drop-stor", "100", "GAMMA.ZIP"} << "Gamma.ZIP";
  QTest::newRow("archive stalled") << QStringList{"--stall-stor", "100", "GAMMA.ZIP"} << "Gamma.ZIP";
  QTest::newRow("archive refused") << QStringList{"--refuse-stor", "GAMMA.ZIP"} << "Gamma.ZIP";
  QTest::newRow("menu file dropped") << QStringList{"--drop-stor", "10", "PP_MENU.INI"} << "\\PP_APP\\PP_MENU.INI";
  QTest::newRow("hung up at the menu file") << QStringList{"--hangup-on", "STOR", "PP_MENU.INI"}
                                            << "\\PP_APP\\PP_MENU.INI";
}

void TestFaults::transferFaultWhileSending() {
  QFETCH(QStringList, switches);
  QFETCH(QString, failedFile);
  installed({Package("Alpha"), Package("Beta")});
  QVERIFY(faults(switches));

  const PpInstallRun result = run({"--add", "Gamma", "--list"});
  QCOMPARE(result.exitCode, 1);
  QCOMPARE(result.alertIdsAndDetails(),
           QStringList({"2011 error file :(" + failedFile + ")", "2001 Failed to download file. :(" + kMenuDetail + ")"}));
  // Sent in part is damaged: both sides are emptied.
  QVERIFY(!m_box->exists(kPendant));
  QVERIFY(!m_sim->exists("\\PP_APP"));
  nextStartRecovers({});
}

// --- the controller's archive cannot be deleted ---

void TestFaults::faultWhileRemoving_data() {
  QTest::addColumn<QStringList>("switches");
  QTest::addColumn<QStringList>("expectedAlerts");
  const QStringList passedOver{"2025 error KTC folder. :(\\PP_APP\\Alpha.ZIP)", "2006 error file :(Alpha.ZIP)"};
  // The delete goes on being refused. Alpha, passed over, stays registered
  // with an empty record; that menu file is sent, read back as damaged, and
  // the clean-up cannot delete the controller's files either.
  QTest::newRow("deletes refused") << QStringList{"--refuse-dele"}
                                   << passedOver + QStringList{"2008 error file :(" + kMenuDetail + ")",
                                                               "2024 error KTC folder. :(\\PP_APP\\)"};
  // No delete is ever answered: the old menu file on the controller cannot
  // be replaced, so the send fails and the clean-up with it; the controller
  // keeps its folder as it was.
  const QStringList lost = passedOver + QStringList{"2011 error file :(\\PP_APP\\PP_MENU.INI)",
                                                    "2001 Failed to download file. :(" + kMenuDetail + ")",
                                                    "2024 error KTC folder. :(\\PP_APP\\)"};
  QTest::newRow("deletes never answered") << QStringList{"--hang-on", "DELE"} << lost;
  QTest::newRow("hung up at every delete") << QStringList{"--hangup-on", "DELE"} << lost;
}

void TestFaults::faultWhileRemoving() {
  QFETCH(QStringList, switches);
  QFETCH(QStringList, expectedAlerts);
  installed({Package("Alpha"), Package("Beta")});
  const QByteArray menuBefore = m_sim->read("\\PP_APP\\PP_MENU.INI");
  QVERIFY(faults(switches));

  const PpInstallRun result = run({"--remove", "Alpha", "--list"});
  QCOMPARE(result.exitCode, 1);
  QCOMPARE(result.alertIdsAndDetails(), expectedAlerts);
  QVERIFY(!m_box->exists(kPendant));
  QCOMPARE(m_sim->entries("\\PP_APP"), QStringList({"Alpha.ZIP", "Beta.ZIP", "PP_MENU.INI"}));
  if (switches.first() != u"--refuse-dele") {
    QCOMPARE(m_sim->read("\\PP_APP\\PP_MENU.INI"), menuBefore);
    nextStartRecovers({"Alpha", "Beta"});
    return;
  }
  const QString sent = CodePage::Decode(m_sim->read("\\PP_APP\\PP_MENU.INI"));
  QVERIFY2(sent.contains("APP_NAME = Alpha\nTOPMENU_ID = 0\nAPP_PATH = \"\"\n"), qPrintable(sent));
  // The controller's menu file now names an application it cannot rebuild:
  // every start says so, until the controller's folder is deleted as the
  // alert asks.
  const QStringList stuck{"2005 error file :(\\Storage Card\\PP_APP\\TEMP\\Alpha.ZIP)",
                          "2005 error file :(\\Storage Card\\PP_APP\\TEMP\\Alpha.ZIP)", "2001 Failed to upload file."};
  for (int start = 0; start < 2; ++start) {
    QVERIFY(faults({}));
    const PpInstallRun next = run({});
    QCOMPARE(next.alertIdsAndDetails(), stuck);
    QVERIFY(!m_box->exists(kPendant));
  }
  QVERIFY(QDir(m_sim->hostPath("\\PP_APP")).removeRecursively());
  nextStartRecovers({});
}

// --- the controller refuses to create or remove its folder ---

void TestFaults::folderCommandRefused_data() {
  QTest::addColumn<QString>("command");
  QTest::newRow("MKD refused on the first installation") << "mkd";
  QTest::newRow("RMD refused when the last application goes") << "rmd";
}

void TestFaults::folderCommandRefused() {
  QFETCH(QString, command);
  if (command == u"mkd") {
    QVERIFY(faults({"--refuse-mkd"}));
    const PpInstallRun result = run({"--add", "Alpha"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.alertIdsAndDetails(), QStringList{"2016 error file :(\\PP_APP\\)"});
    QVERIFY(result.has("status 2: KTC directory create error. (\\PP_APP\\)\\n"));
    // The pendant keeps what it installed; the controller has nothing.
    QVERIFY(m_box->exists(kPendant + "\\Alpha\\Alpha.exe"));
    QVERIFY(m_box->read(kPendantMenu).contains("APP_NAME = Alpha\n"));
    QVERIFY(!m_sim->exists("\\PP_APP"));
  } else {
    installed({Package("Alpha")});
    QVERIFY(faults({"--refuse-rmd"}));
    const PpInstallRun result = run({"--remove", "Alpha"});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.alertIdsAndDetails(), QStringList{"2024 error KTC folder. :(\\PP_APP\\)"});
    // Its files are gone from both sides; the controller's empty folder stays.
    QVERIFY(!m_box->exists(kPendant));
    QCOMPARE(m_sim->entries("\\PP_APP"), QStringList());
    // An application folder without a menu file is damaged: it goes.
    nextStartRecovers({}, {"2010 Failed to upload file. :(PP_MENU.INI)"});
    return;
  }
  nextStartRecovers({});
}

// --- the medium is taken out after the start-up ---

void TestFaults::mediumRemovedBeforeExecute_data() {
  QTest::addColumn<QString>("add");
  QTest::addColumn<QString>("remove");
  QTest::addColumn<QStringList>("expectedAlerts");
  QTest::addColumn<QStringList>("remaining");
  QTest::newRow("installing") << "Gamma" << QString()
                              << QStringList{"2005 error file :(\\Storage Card\\PP_APP\\Gamma.ZIP)",
                                             "2011 error file :(Gamma.ZIP)",
                                             "2001 Failed to download file. :(" + kMenuDetail + ")",
                                             "2004 error file :(\\Storage Card\\PP_APP\\*.INI)"}
                              << QStringList();
  QTest::newRow("removing") << QString() << "Alpha"
                            << QStringList{"2004 error file :(\\Storage Card\\PP_APP\\*.INI)"}
                            << QStringList{"Beta"};
}

void TestFaults::mediumRemovedBeforeExecute() {
  QFETCH(QString, add);
  QFETCH(QString, remove);
  QFETCH(QStringList, expectedAlerts);
  QFETCH(QStringList, remaining);
  installed({Package("Alpha"), Package("Beta")});
  RecordingView view;
  std::unique_ptr<InstallerStages> stages = startStages(view);
  QVERIFY(stages && stages->Engine());
  QVERIFY(view.alerts.isEmpty());
  const QString medium = m_box->host("\\Storage Card");
  const QString aside = m_box->root() + "/medium-aside";
  QVERIFY(QDir().rename(medium, aside));
  view.clear();

  InstallerEngine &engine = *stages->Engine();
  const QString name = add.isEmpty() ? remove : add;
  const int index = static_cast<int>(engine.Entries().indexOf(engine.FindEntry(name)));
  engine.SetOperation(index, add.isEmpty() ? AppEntry::Remove : AppEntry::Add);
  stages->ExecuteCommand();
  runPosted(*stages);

  QCOMPARE(IdsAndDetails(view), expectedAlerts);
  QCOMPARE(engine.EntryCount(), 0);  // nothing on the medium to list
  QCOMPARE(registered(), remaining);
  QCOMPARE(divergence(), QString());
  stages.reset();
  QVERIFY(QDir().rename(aside, medium));
  nextStartRecovers(remaining);
}

// --- the pendant's flash disk is too small ---

void TestFaults::tooLittleSpaceForTheRebuild() {
  installed({Package("Alpha"), Package("Beta")});
  QVERIFY(QFile::remove(m_box->host(kPendantMenu)));
  Device::SetFreeBytesOverride(20 * 1024);  // exactly the 20 KiB registered: not enough

  const PpInstallRun result = run({"--list"});
  QCOMPARE(result.exitCode, 1);
  QVERIFY(result.has("status 0:  Memory space size:20 < application size:20"));
  QCOMPARE(result.alertIdsAndDetails(),
           QStringList({"2003  Memory space size:20 < application size:20", "2001 Failed to upload file.",
                        "2001 Pendant application execute file not found."}));
  QVERIFY(!m_box->exists(kPendant));
  QVERIFY(!m_sim->exists("\\PP_APP"));
  Device::SetFreeBytesOverride(-1);
  nextStartRecovers({});
}

void TestFaults::tooLittleSpaceForAnExtraction() {
  installed({Package("Alpha"), Package("Beta")});
  // Its descriptor claims 1 KiB; unpacked it needs 64 KiB.
  PackageSpec big = Package("Gamma");
  big.sizeKiB = 1;
  big.files.insert("data/big.bin", QByteArray(64 * 1024, 'x'));
  MediumBuilder::WritePackage(*m_box, big);
  Device::SetFreeBytesOverride(16 * 1024);

  const PpInstallRun result = run({"--add", "Gamma", "--list"});
  QCOMPARE(result.exitCode, 1);
  QCOMPARE(result.alertIdsAndDetails(), QStringList{"2005 error file :(\\Storage Card\\PP_APP\\Gamma.ZIP)"});
  QVERIFY(!m_box->exists(kPendant + "\\Gamma"));
  QCOMPARE(registered(), QStringList({"Alpha", "Beta"}));
  // Gamma keeps its mark after the failed unpack, so its archive is sent,
  // although no menu file registers it.
  QVERIFY(m_sim->exists("\\PP_APP\\Gamma.ZIP"));
  Device::SetFreeBytesOverride(-1);
  nextStartRecovers({"Alpha", "Beta"});
}

// --- the pendant's menu file cannot be written ---

void TestFaults::menuFileCannotBeWritten_data() {
  QTest::addColumn<QString>("how");
  QTest::newRow("PP_MENU.INI replaced by a folder") << "folder";
  QTest::newRow("application folder read-only") << "read-only";
}

void TestFaults::menuFileCannotBeWritten() {
  QFETCH(QString, how);
  if (how == u"read-only" && ::geteuid() == 0) QSKIP("permissions do not bind root");
  installed({Package("Alpha"), Package("Beta")});
  RecordingView view;
  std::unique_ptr<InstallerStages> stages = startStages(view);
  QVERIFY(stages && stages->Engine());
  QVERIFY(view.alerts.isEmpty());
  if (how == u"folder") {
    QVERIFY(QFile::remove(m_box->host(kPendantMenu)));
    QVERIFY(QDir().mkdir(m_box->host(kPendantMenu)));
  } else {
    QVERIFY(QFile::setPermissions(m_box->host(kPendant), QFile::ReadOwner | QFile::ExeOwner));
  }
  view.clear();

  // An option change alone makes Execute write the menu file.
  InstallerEngine &engine = *stages->Engine();
  engine.FindEntry("Beta")->autoRun = 1;
  stages->OptionChanged() = 1;
  stages->ExecuteCommand();
  runPosted(*stages);
  QCOMPARE(IdsAndDetails(view), QStringList{"2001 Failed to save the file. :(" + kMenuDetail + ")"});
  QCOMPARE(engine.EntryCount(), 3);  // the medium's packages, read again
  QVERIFY(!m_box->exists(kPendant));
  QVERIFY(!m_sim->exists("\\PP_APP"));
  stages.reset();
  nextStartRecovers({});
}

QTEST_GUILESS_MAIN(TestFaults)
#include "TestFaults.moc"
