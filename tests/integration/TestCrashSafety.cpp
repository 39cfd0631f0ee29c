// Power loss at chosen points of an installation: a real pp-install process
// is killed with SIGKILL when the controller's log shows a command or the
// flash disk shows an extraction under way. The pendant must hold no
// truncated menu file and no half-extracted application folder, and the
// next start-up must bring it back in line with the controller.
#include "ControllerSim.h"
#include "MediumBuilder.h"
#include "PpInstallRun.h"
#include "Sandbox.h"
#include "UnzipLibrary.h"
#include "ftp/FtpSession.h"
#include "platform/Device.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <functional>

namespace {

const QString kPendant = QStringLiteral("\\DiskOnChip\\PP_APP");
const QString kPendantMenu = QStringLiteral("\\DiskOnChip\\PP_APP\\PP_MENU.INI");
// The extraction library unpacks into a hidden folder of this prefix.
const QString kUnzipPrefix = QStringLiteral("|unzip|");
// Says that the folder was being changed when the run stopped.
const QString kChangeMarker = QStringLiteral("PP_WORK.FLG");

PackageSpec Package(const QString &name, const QString &version = QStringLiteral("1.00"), int bulkFiles = 0) {
  PackageSpec pkg = PackageSpec::Simple(name, version);
  // Enough incompressible data that unpacking it takes a while.
  QRandomGenerator random(quint32(qHash(name + version)));
  for (int i = 0; i < bulkFiles; ++i) {
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    pkg.files.insert(QStringLiteral("data/%1.bin").arg(i, 3, 10, QChar(u'0')), bytes);
  }
  pkg.sizeKiB = 10 + bulkFiles * 64;
  return pkg;
}

// The files below a host folder, relative path -> bytes.
QMap<QString, QByteArray> Files(const QString &hostFolder) {
  QMap<QString, QByteArray> files;
  QDirIterator it(hostFolder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    files.insert(QDir(hostFolder).relativeFilePath(path), file.readAll());
  }
  return files;
}

enum class Scenario { Install, Update, Rebuild, Remove };

}  // namespace

class TestCrashSafety : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanup();

  void killedAt_data();
  void killedAt();
  void interruptedExtractionLeavesNothingBehind();

 private:
  // Lays out both sides for the scenario; returns pp-install's arguments.
  QStringList prepare(Scenario scenario);
  void rememberMediumArchives();
  // Runs pp-install as a process and kills it the moment `reached` holds.
  bool runAndKill(const QStringList &args, const std::function<bool()> &reached, QString *why);
  // pp-install in this process, as the next start-up: its alerts.
  QStringList nextStart() { return RunPpInstall(*m_box, m_sim->address()).alertIdsAndDetails(); }
  bool logShows(const QString &text) const { return m_sim->log().contains(text); }
  bool extracting() const;
  // Empty when no application folder on the pendant is half there and the
  // menu file, if any, is one of those written whole.
  QString pendantDamage(const QString &beingRemoved) const;
  QStringList registered() const { return MediumBuilder::RegisteredNames(m_sim->read("\\PP_APP\\PP_MENU.INI")); }
  // As Divergence, and each registered application is on both sides as one
  // of its packages unpacks and packs it, in the version registered.
  QString divergence() const;

  std::unique_ptr<ControllerSim> m_sim;
  std::unique_ptr<Sandbox> m_box;
  // Every version of an application folder that an archive here unpacks to.
  QMultiMap<QString, QMap<QString, QByteArray>> m_complete;
  // Every menu file written whole in the scenario.
  QList<QByteArray> m_wholeMenus;
  // Every archive of an application on the medium or the controller, by name.
  QMultiMap<QString, QByteArray> m_archives;
};

void TestCrashSafety::initTestCase() {
  m_sim = std::make_unique<ControllerSim>();
  QVERIFY2(m_sim->isRunning(), qPrintable(m_sim->log()));
  FtpSession::SetTimeouts(2000, 2000);
}

void TestCrashSafety::init() {
  QVERIFY(m_sim->reset());
  m_box = std::make_unique<Sandbox>();
  QVERIFY(InstallUnzipLibrary(*m_box));
  m_box->mkdir(QStringLiteral("\\Storage Card\\PP_APP"));
  m_complete.clear();
  m_wholeMenus.clear();
  m_archives.clear();
}

void TestCrashSafety::cleanup() { m_box.reset(); }

QStringList TestCrashSafety::prepare(Scenario scenario) {
  const bool bulkyGamma = scenario == Scenario::Install || scenario == Scenario::Rebuild;
  QList<PackageSpec> both{Package("Alpha", "1.00", scenario == Scenario::Remove ? 40 : 0), Package("Beta")};
  const PackageSpec gamma = Package("Gamma", "1.00", bulkyGamma ? 160 : 0);
  if (scenario == Scenario::Rebuild) both.append(gamma);
  for (const PackageSpec &app : both) m_complete.insert(app.folderName(), app.archiveFiles());
  m_wholeMenus.append(MediumBuilder::MenuFile(both));
  MediumBuilder::WriteInstalled(*m_box, m_sim->root(), both);
  for (const PackageSpec &app : both) {
    MediumBuilder::WritePackage(*m_box, app);
    m_archives.insert(app.name, m_sim->read("\\PP_APP\\" + app.name + ".ZIP"));
  }
  switch (scenario) {
    case Scenario::Install:
      MediumBuilder::WritePackage(*m_box, gamma);
      m_complete.insert(gamma.folderName(), gamma.archiveFiles());
      m_wholeMenus.append(MediumBuilder::MenuFile(both + QList<PackageSpec>{gamma}));
      return {"--add", "Gamma"};
    case Scenario::Update: {
      const PackageSpec newer = Package("Alpha", "2.00", 160);
      MediumBuilder::WritePackage(*m_box, newer);
      m_complete.insert(newer.folderName(), newer.archiveFiles());
      m_wholeMenus.append(MediumBuilder::MenuFile({newer, both[1]}));
      return {"--add", "Alpha"};
    }
    case Scenario::Rebuild:
      QFile::remove(m_box->host(kPendantMenu));
      return {};
    case Scenario::Remove:
      return {"--remove", "Alpha"};
  }
  return {};
}

void TestCrashSafety::rememberMediumArchives() {
  for (const char *name : {"Alpha", "Beta", "Gamma"}) {
    const QByteArray bytes = m_box->read(QStringLiteral("\\Storage Card\\PP_APP\\%1.ZIP").arg(QLatin1String(name)));
    if (!bytes.isEmpty()) m_archives.insert(QLatin1String(name), bytes);
  }
}

bool TestCrashSafety::runAndKill(const QStringList &args, const std::function<bool()> &reached, QString *why) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  // A stalled transfer waits for the kill, not for the stall timeout.
  environment.insert(QStringLiteral("PP_FTP_STALL_TIMEOUT_MS"), QStringLiteral("60000"));
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QStringLiteral(PP_INSTALL_EXE),
                QStringList{"--device-root", m_box->root(), "--medium", "cf", "/D", m_sim->address()} + args);
  if (!process.waitForStarted()) {
    *why = process.errorString();
    return false;
  }
  const QDeadlineTimer deadline(60000);
  while (!reached()) {
    if (process.waitForFinished(1) || deadline.hasExpired()) {
      process.kill();
      process.waitForFinished();
      *why = QStringLiteral("the point was never reached:\n") + QString::fromUtf8(process.readAll());
      return false;
    }
  }
  ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
  process.waitForFinished();
  return process.exitStatus() == QProcess::CrashExit;
}

bool TestCrashSafety::extracting() const {
  const QStringList names = QDir(m_box->host(kPendant)).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
  return std::any_of(names.begin(), names.end(), [](const QString &name) { return name.startsWith(kUnzipPrefix); });
}

QString TestCrashSafety::pendantDamage(const QString &beingRemoved) const {
  const QString folder = m_box->host(kPendant);
  for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
    const QString name = info.fileName();
    if (info.isFile()) {
      if (name == u"PP_MENU.INI" || name == u"PP_MENU.BAK") {
        if (!m_wholeMenus.contains(m_box->read(kPendant + u'\\' + name))) return name + QStringLiteral(" is not whole");
        continue;
      }
      if (name.startsWith(u"PP_MENU.INI.")) continue;  // a temporary of the atomic write
      if (name == kChangeMarker) continue;
      return QStringLiteral("an unknown file ") + name;
    }
    if (name.startsWith(kUnzipPrefix) || name == beingRemoved) continue;
    const QMap<QString, QByteArray> files = Files(info.filePath());
    const QList<QMap<QString, QByteArray>> versions = m_complete.values(name);
    if (!versions.contains(files)) return QStringLiteral("%1 is half there (%2 files)").arg(name).arg(files.size());
  }
  return {};
}

QString TestCrashSafety::divergence() const {
  return Divergence(*m_box, *m_sim, [this](const QString &name, const QString &folder, const QString &version) {
    if (!m_archives.values(name).contains(m_sim->read("\\PP_APP\\" + name + ".ZIP")))
      return QStringLiteral("the controller's %1.ZIP is not the package's archive").arg(name);
    const QMap<QString, QByteArray> files = Files(m_box->host(kPendant + u'\\' + folder));
    if (!m_complete.values(folder).contains(files)) return QStringLiteral("%1 on the pendant is not as unpacked").arg(name);
    if (!files.value("res/" + name + ".txt").endsWith(' ' + version.toUtf8()))
      return QStringLiteral("%1 on the pendant is not version %2").arg(name, version);
    return QString();
  });
}

void TestCrashSafety::killedAt_data() {
  QTest::addColumn<int>("scenario");
  QTest::addColumn<QStringList>("switches");
  QTest::addColumn<QString>("point");  // "extracting", "Alpha.exe deleted" or a text of the controller's log
  QTest::addColumn<bool>("interrupted");  // the folder was being changed
  QTest::addColumn<QStringList>("nextAlerts");
  QTest::addColumn<QStringList>("nextRegistered");
  QTest::addColumn<QString>("nextDivergence");
  const QString stalled = QStringLiteral("stalling the data connection");

  QTest::newRow("installing: unpacking the new application")
      << int(Scenario::Install) << QStringList() << "extracting" << true << QStringList() << QStringList{"Alpha", "Beta"}
      << QString();
  QTest::newRow("updating: unpacking the new version")
      << int(Scenario::Update) << QStringList() << "extracting" << true << QStringList() << QStringList{"Alpha", "Beta"}
      << QString();
  QTest::newRow("rebuilding: fetching an archive")
      << int(Scenario::Rebuild) << QStringList{"--stall-retr", "100", "BETA.ZIP"} << stalled << true << QStringList()
      << QStringList{"Alpha", "Beta", "Gamma"} << QString();
  QTest::newRow("rebuilding: unpacking an archive")
      << int(Scenario::Rebuild) << QStringList() << "extracting" << true << QStringList()
      << QStringList{"Alpha", "Beta", "Gamma"} << QString();
  // The controller's menu file is deleted and then written anew: a crash in
  // between leaves it empty there, and the next start-up finds the
  // installation damaged.
  QTest::newRow("installing: sending the menu file")
      << int(Scenario::Install) << QStringList{"--stall-stor", "0", "PP_MENU.INI"} << stalled << false
      << QStringList{"2001 Application is not registered."} << QStringList() << QString();
  // The menu file goes before the archives: a crash in between leaves the
  // controller registering an archive it holds only in part. Both menu
  // files are equal, so the next start-up trusts them.
  QTest::newRow("installing: sending the archive")
      << int(Scenario::Install) << QStringList{"--stall-stor", "100", "GAMMA.ZIP"} << stalled << false << QStringList()
      << QStringList{"Alpha", "Beta", "Gamma"} << "the controller's Gamma.ZIP is not the package's archive";
  // The controller's archive is deleted first: the application cannot be
  // restored from there, and the installation is found damaged.
  QTest::newRow("removing: deleting the application's files")
      << int(Scenario::Remove) << QStringList() << "Alpha.exe deleted" << false
      << QStringList{"2001 Pendant application execute file not found."} << QStringList() << QString();
}

void TestCrashSafety::killedAt() {
  QFETCH(int, scenario);
  QFETCH(QStringList, switches);
  QFETCH(QString, point);
  QFETCH(bool, interrupted);
  QFETCH(QStringList, nextAlerts);
  QFETCH(QStringList, nextRegistered);
  QFETCH(QString, nextDivergence);
  const QStringList args = prepare(static_cast<Scenario>(scenario));
  rememberMediumArchives();
  if (!switches.isEmpty()) QVERIFY(m_sim->restart(switches));
  m_sim->clearLog();

  std::function<bool()> reached;
  if (point == u"extracting")
    reached = [this] { return extracting(); };
  else if (point == u"Alpha.exe deleted")
    reached = [this] { return !m_box->exists(kPendant + "\\Alpha\\Alpha.exe"); };
  else
    reached = [this, point] { return logShows(point); };
  QString why;
  QVERIFY2(runAndKill(args, reached, &why), qPrintable(why));

  // What the crash left: whole files and whole folders only (but for the
  // folder that was being deleted).
  const QString removed = static_cast<Scenario>(scenario) == Scenario::Remove ? QStringLiteral("Alpha") : QString();
  const QString damage = pendantDamage(removed);
  QVERIFY2(damage.isEmpty(), qPrintable(damage));
  QCOMPARE(m_box->exists(kPendant + u'\\' + kChangeMarker), interrupted);

  QVERIFY(m_sim->restart());
  const QStringList alerts = nextStart();
  QCOMPARE(alerts.join(u'\n'), nextAlerts.join(u'\n'));
  QCOMPARE(registered(), nextRegistered);
  QCOMPARE(divergence(), nextDivergence);
  QVERIFY(!extracting());
}

void TestCrashSafety::interruptedExtractionLeavesNothingBehind() {
  const QStringList args = prepare(Scenario::Install);
  rememberMediumArchives();
  QString why;
  QVERIFY2(runAndKill(args, [this] { return extracting(); }, &why), qPrintable(why));
  QVERIFY(extracting());
  // Whatever its caller does about the interruption, the extraction library
  // clears what it left the next time it unpacks into the same folder.
  QVERIFY(QFile::remove(m_box->host(kPendant + u'\\' + kChangeMarker)));
  QVERIFY(m_sim->restart());
  QProcess next;
  next.start(QStringLiteral(PP_INSTALL_EXE),
             QStringList{"--device-root", m_box->root(), "--medium", "cf", "/D", m_sim->address()} + args);
  QVERIFY(next.waitForFinished(60000));
  QCOMPARE(next.exitCode(), 0);
  QVERIFY(!extracting());
  QCOMPARE(divergence(), QString());
  QCOMPARE(registered(), QStringList({"Alpha", "Beta", "Gamma"}));
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "TestCrashSafety.moc"
