// Sends a 64 MiB archive to the controller simulator and fetches it back,
// through FtpSession and, in the same run against the same server, through
// the curl command line tool doing the same transfer (active mode, binary,
// the same path). Each side runs several times, alternating; the medians
// and their ratio are printed. Both sides include connecting and logging in.
//
//   bench-ftp [MiB] [rounds]        defaults: 64 MiB, 5 rounds
#include "ControllerSim.h"
#include "app/InstallerApp.h"
#include "ftp/FtpSession.h"
#include "platform/Device.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

namespace {

const QString kRemoteFolder = QStringLiteral("\\PP_APP\\");
const QString kLocalFolder = QStringLiteral("\\DiskOnChip\\PP_APP");
const QString kCredentials = QStringLiteral("KESTRELplums:KESTRELplums");

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double TimeMs(const std::function<bool()> &run) {
  QElapsedTimer timer;
  timer.start();
  if (!run()) qFatal("a transfer failed");
  return double(timer.nsecsElapsed()) / 1e6;
}

bool RunCurl(const QStringList &arguments) {
  QProcess curl;
  curl.start(QStringLiteral("curl"), QStringList{"-sS", "--user", kCredentials, "--ftp-port", "-", "--disable-eprt",
                                                 "--ftp-method", "nocwd"} +
                                         arguments);
  return curl.waitForFinished(-1) && curl.exitStatus() == QProcess::NormalExit && curl.exitCode() == 0;
}

QByteArray Digest(const QString &path) {
  QFile file(path);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  const int mib = args.size() > 1 ? args[1].toInt() : 64;
  const int rounds = args.size() > 2 ? args[2].toInt() : 5;
  if (mib <= 0 || rounds <= 0) qFatal("usage: bench-ftp [MiB] [rounds]");

  QTemporaryDir work;
  const QString device = work.filePath(QStringLiteral("device"));
  const QString controller = work.filePath(QStringLiteral("controller"));
  QDir().mkpath(device + QStringLiteral("/DiskOnChip/PP_APP"));
  QDir().mkpath(controller + QStringLiteral("/PP_APP"));
  Device::SetRoot(device);

  // Incompressible content, so that nothing along the way can shortcut it.
  const QString source = *Device::MapPath(kLocalFolder + QStringLiteral("\\BIG.ZIP"));
  {
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(source));
    std::vector<quint32> block(256 * 1024);
    for (int i = 0; i < mib * 4; ++i) {
      QRandomGenerator::global()->fillRange(block.data(), block.size());
      file.write(reinterpret_cast<const char *>(block.data()), qint64(block.size() * sizeof(quint32)));
    }
  }
  const QByteArray expected = Digest(source);

  ControllerSim sim(controller);
  if (!sim.isRunning()) qFatal("the controller simulator did not start:\n%s", qPrintable(sim.log()));
  const QString url = QStringLiteral("ftp://%1/%5CPP_APP%5C").arg(sim.address());
  const QString curlCopy = work.filePath(QStringLiteral("curl-copy.zip"));
  const QString sessionCopy = *Device::MapPath(QStringLiteral("\\DiskOnChip\\BIG.ZIP"));

  std::vector<double> sessionPut, curlPut, sessionGet, curlGet;
  FtpSession session(ControllerEndpoint(sim.address()));
  const auto putWithSession = [&] {
    const bool ok = session.Open() && session.PutFile(kRemoteFolder, kLocalFolder, QStringLiteral("BIG.ZIP"));
    session.Close();
    return ok;
  };
  const auto getWithSession = [&] {
    const bool ok = session.Open() && session.GetFile(kRemoteFolder, QStringLiteral("\\DiskOnChip"), QStringLiteral("BIG.ZIP"));
    session.Close();
    return ok;
  };
  const auto putWithCurl = [&] { return RunCurl({"-T", source, url + QStringLiteral("BIG.ZIP")}); };
  const auto getWithCurl = [&] { return RunCurl({"-o", curlCopy, url + QStringLiteral("BIG.ZIP")}); };

  std::printf("%d MiB through the controller simulator on %s, %d rounds\n", mib, qPrintable(sim.address()), rounds);
  for (int round = 0; round < rounds; ++round) {
    // Alternate who goes first, so that neither side always meets a warm cache.
    if (round % 2 == 0) {
      sessionPut.push_back(TimeMs(putWithSession));
      curlPut.push_back(TimeMs(putWithCurl));
    } else {
      curlPut.push_back(TimeMs(putWithCurl));
      sessionPut.push_back(TimeMs(putWithSession));
    }
    if (round % 2 == 0) {
      sessionGet.push_back(TimeMs(getWithSession));
      curlGet.push_back(TimeMs(getWithCurl));
    } else {
      curlGet.push_back(TimeMs(getWithCurl));
      sessionGet.push_back(TimeMs(getWithSession));
    }
  }
  if (Digest(sim.hostPath("PP_APP/BIG.ZIP")) != expected || Digest(sessionCopy) != expected ||
      Digest(curlCopy) != expected)
    qFatal("a copy differs from the original");

  const double mibD = mib;
  std::printf("%-5s %14s %14s %8s\n", "", "FtpSession ms", "curl ms", "ratio");
  for (const auto &[name, ours, theirs] :
       {std::tuple{"put", Median(sessionPut), Median(curlPut)}, std::tuple{"get", Median(sessionGet), Median(curlGet)}}) {
    std::printf("%-5s %14.1f %14.1f %8.3f   (%.0f / %.0f MiB/s)\n", name, ours, theirs, ours / theirs,
                mibD / (ours / 1000.0), mibD / (theirs / 1000.0));
  }
  return 0;
}
