// Times the extraction library (called as the installer calls it) against
// Python's zipfile.extractall (the baseline) and Info-ZIP's "unzip -o -q" (the
// old one) on the same archives: 32 application archives of about 2 MiB and
// one of about 200 MiB, each a mix of compressible text and incompressible
// data in nested folders. The archives are generated into a temporary folder
// and deleted afterwards. Each side runs --rounds times, the order turning
// every round; the best time of each is printed with the ratios.
//
//   bench-unzip [--rounds N] [--profile] [FOLDER]
//
// FOLDER: where to make the temporary folder (default the system's).
// --profile: only the library, on the 32 small archives, N times: for
// `perf record` or `valgrind --tool=callgrind --toggle-collect=UnZip`. The
// archives are kept in FOLDER/bench-unzip-archives for the next such run.
#include <unistd.h>
#include <zip.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/Device.h"
#include "unzip/UnzipApi.h"

namespace {

constexpr int kSmallArchives = 32;
constexpr qint64 kSmallBytes = 2 << 20;
constexpr qint64 kLargeBytes = 200 << 20;

// Python's own clock around the extractions, so that, like the library's
// in-process calls, the interpreter's start is not counted.
constexpr const char *kZipfileScript = R"(
import os, sys, time, zipfile
out = sys.argv[1]
start = time.perf_counter()
for i, path in enumerate(sys.argv[2:]):
    with zipfile.ZipFile(path) as archive:
        archive.extractall(os.path.join(out, "App%d" % i))
print(time.perf_counter() - start)
)";

// Text that deflates about as well as sources, INI files and resources do.
QByteArray Text(qint64 size, QRandomGenerator &random) {
  static const char *const kWords[] = {"APPLICATION",  "menu",    "=",      "\"PP_APP\\", "value", "0x1f",
                                       "SUBMENU_NAME", "VERSION", "TRUE",   "FALSE",      "icon",  "return",
                                       "if",           "(",       ")",      "{",          "}",     "int",
                                       "QString",      "const",   "static", "アプリ",     "設定",  "\r\n"};
  QByteArray text;
  text.reserve(size + 64);
  while (text.size() < size) {
    text += kWords[random.bounded(int(std::size(kWords)))];
    text += random.bounded(8) == 0 ? QByteArray::number(random.bounded(100000)) : QByteArray(" ");
  }
  text.truncate(size);
  return text;
}

QByteArray Noise(qint64 size, QRandomGenerator &random) {
  QByteArray bytes(size, Qt::Uninitialized);
  random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
  return bytes;
}

// An archive of about `bytes`, half text in many small files, half noise in
// fewer large ones, spread over nested folders.
void WriteArchive(const QString &path, qint64 bytes, quint32 seed) {
  QRandomGenerator random(seed);
  int error = 0;
  zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) qFatal("cannot create %s", qPrintable(path));
  const qint64 textFile = 64 * 1024;
  const qint64 noiseFile = 512 * 1024;
  int n = 0;
  auto add = [&](const QByteArray &name, const QByteArray &data) {
    void *copy = memcpy(malloc(size_t(data.size())), data.constData(), size_t(data.size()));
    zip_source_t *source = zip_source_buffer(archive, copy, zip_uint64_t(data.size()), 1);
    if (!source || zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_UTF_8) < 0)
      qFatal("cannot add %s", name.constData());
  };
  for (qint64 written = 0; written < bytes / 2; written += textFile, ++n)
    add("res/text" + QByteArray::number(n % 7) + "/file" + QByteArray::number(n) + ".txt", Text(textFile, random));
  for (qint64 written = 0; written < bytes / 2; written += noiseFile, ++n)
    add("bin/data" + QByteArray::number(n % 3) + "/blob" + QByteArray::number(n) + ".bin", Noise(noiseFile, random));
  if (zip_close(archive) != 0) qFatal("cannot write %s", qPrintable(path));
}

// Empties a folder for the next run. What it held is moved aside, not
// deleted, until the end: on a file system without a journal, every file
// created within half a minute of a deletion searches past the deleted
// inodes, a cost that would fall on whichever side runs next.
void RemoveContents(const QString &folder) {
  static int retired = 0;
  const QString graveyard = QFileInfo(folder).path() + QStringLiteral("/graveyard");
  QDir().mkpath(graveyard);
  if (QFileInfo::exists(folder) && !QDir().rename(folder, graveyard + u'/' + QString::number(++retired)))
    QDir(folder).removeRecursively();
  QDir().mkpath(folder);
  ::sync();  // the next timing must not pay for this run's write-back
}

struct Workload {
  QString name;
  QStringList archives;  // host paths
  qint64 bytes = 0;      // of the archives
  qint64 content = 0;    // extracted
};

// Relative path -> contents of every file below a folder.
QMap<QString, QByteArray> Files(const QString &folder) {
  QMap<QString, QByteArray> files;
  QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile file(it.next());
    if (!file.open(QIODevice::ReadOnly)) qFatal("cannot read %s", qPrintable(file.fileName()));
    files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
  }
  return files;
}

class Runner {
 public:
  Runner(UnZipProc unzip, QString unzipTool, QString python, QString root)
      : m_unzip(unzip), m_tool(std::move(unzipTool)), m_python(std::move(python)), m_root(std::move(root)) {}

  // All sides must produce the same files, or the times compare nothing.
  void Verify(Workload &work) {
    Library(work, false);
    InfoZip(work, false);
    Zipfile(work, false);
    const auto library = Files(LibraryOut());
    if (library != Files(InfoZipOut())) qFatal("the library and unzip extracted different files");
    if (library != Files(ZipfileOut())) qFatal("the library and zipfile extracted different files");
    work.content = 0;
    for (const QByteArray &data : library) work.content += data.size();
    RemoveContents(LibraryOut());
    RemoveContents(InfoZipOut());
    RemoveContents(ZipfileOut());
  }

  double Library(const Workload &work, bool clean = true) {
    const QString out = LibraryOut();
    RemoveContents(out);
    std::vector<char> buffer(UnzipApi::kOutputSize);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < work.archives.size(); ++i) {
      const QString command =
          QStringLiteral("efq \"%1\" \\DiskOnChip\\PP_APP\\App%2\\").arg(Device::ToCePath(work.archives[i])).arg(i);
      if (m_unzip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), buffer.data(), UnzipApi::kOutputSize) !=
          0)
        qFatal("library failed: %s", buffer.data());
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (clean) RemoveContents(out);
    return seconds;
  }

  double InfoZip(const Workload &work, bool clean = true) {
    const QString out = InfoZipOut();
    RemoveContents(out);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < work.archives.size(); ++i) {
      QProcess process;
      process.start(m_tool, {"-o", "-q", work.archives[i], "-d", out + QStringLiteral("/App%1").arg(i)});
      if (!process.waitForFinished(-1) || process.exitCode() != 0)
        qFatal("unzip failed on %s", qPrintable(work.archives[i]));
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (clean) RemoveContents(out);
    return seconds;
  }

  double Zipfile(const Workload &work, bool clean = true) {
    const QString out = ZipfileOut();
    RemoveContents(out);
    QProcess process;
    process.start(m_python, QStringList{"-c", kZipfileScript, out} + work.archives);
    bool timed = false;
    const double seconds =
        process.waitForFinished(-1) && process.exitCode() == 0 ? process.readAllStandardOutput().trimmed().toDouble(&timed)
                                                               : 0;
    if (!timed) qFatal("zipfile failed: %s", process.readAllStandardError().constData());
    if (clean) RemoveContents(out);
    return seconds;
  }

 private:
  QString LibraryOut() const { return m_root + "/DiskOnChip/PP_APP"; }
  QString InfoZipOut() const { return m_root + "/DiskOnChip/infozip"; }
  QString ZipfileOut() const { return m_root + "/DiskOnChip/zipfile"; }

  UnZipProc m_unzip;
  QString m_tool;
  QString m_python;
  QString m_root;
};

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  int rounds = 5;
  if (const qsizetype at = args.indexOf(QStringLiteral("--rounds")); at >= 0 && at + 1 < args.size()) {
    rounds = std::max(1, args[at + 1].toInt());
    args.remove(at, 2);
  }
  const bool profile = args.removeAll(QStringLiteral("--profile")) > 0;
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("unzip"));
  if (tool.isEmpty() && !profile) qFatal("Info-ZIP unzip is not installed");
  // Debian's own interpreter, as the end-to-end benchmark uses.
  QString python = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
  if (python.isEmpty()) python = QStandardPaths::findExecutable(QStringLiteral("python3"));
  if (python.isEmpty() && !profile) qFatal("python3 is not installed");
  const QString parent = !args.isEmpty() ? args.front() : QDir::tempPath();
  QTemporaryDir device(parent + QStringLiteral("/bench-unzip-XXXXXX"));
  if (!device.isValid()) qFatal("cannot create a folder in %s", qPrintable(parent));
  Device::SetRoot(device.path());
  Device::SetFreeBytesOverride(-1);
  QDir(device.path()).mkpath(QStringLiteral("DiskOnChip"));
  QDir(device.path()).mkpath(QStringLiteral("Storage Card/PP_APP"));

  // Installed and loaded the way the installer finds it.
  const QString dll = device.path() + QStringLiteral("/DiskOnChip/unzip.dll");
  if (!QFile::copy(QString::fromUtf8(PP_UNZIP_LIBRARY), dll)) qFatal("cannot install the library");
  QLibrary library(dll);
  if (!library.load()) qFatal("%s", qPrintable(library.errorString()));
  auto unzip = reinterpret_cast<UnZipProc>(library.resolve(UnzipApi::kUnZipSymbol));
  if (!unzip) qFatal("no UnZip entry point");

  std::printf("generating archives in %s ...\n", qPrintable(device.path()));
  std::fflush(stdout);
  // A profile run keeps its archives in FOLDER/bench-unzip-archives, so that
  // the next one profiles the library alone.
  const QString kept = parent + QStringLiteral("/bench-unzip-archives");
  if (profile) QDir().mkpath(kept);
  Workload small{QStringLiteral("%1 archives of 2 MiB").arg(kSmallArchives), {}, 0};
  for (int i = 0; i < kSmallArchives; ++i) {
    small.archives.append(device.path() + QStringLiteral("/Storage Card/PP_APP/App%1.ZIP").arg(i));
    const QString copy = kept + QStringLiteral("/App%1.ZIP").arg(i);
    if (!profile || !QFile::copy(copy, small.archives.last())) {
      WriteArchive(small.archives.last(), kSmallBytes, quint32(i + 1));
      if (profile) QFile::copy(small.archives.last(), copy);
    }
    small.bytes += QFileInfo(small.archives.last()).size();
  }
  Runner runner(unzip, tool, python, device.path());
  if (profile) {
    for (int round = 0; round < rounds; ++round)
      std::printf("library: %.3f s\n", runner.Library(small));
    library.unload();
    return 0;
  }
  Workload large{
      QStringLiteral("1 archive of 200 MiB"), {device.path() + QStringLiteral("/Storage Card/PP_APP/Big.ZIP")}, 0};
  WriteArchive(large.archives.last(), kLargeBytes, 1000);
  large.bytes = QFileInfo(large.archives.last()).size();

  for (Workload *work : {&small, &large}) runner.Verify(*work);
  std::printf("%-22s %7s %7s %9s %9s %9s %11s %9s\n", "workload", "content", "archive", "library", "zipfile",
              "unzip", "vs zipfile", "vs unzip");
  std::printf("%-22s %7s %7s %9s %9s %9s %11s %9s\n", "", "MiB", "MiB", "s", "s", "s", "(new base)", "(old)");
  for (const Workload *work : {&small, &large}) {
    // Each round turns the order, so that no side always runs on a cache
    // or a write-back the one before left.
    double best[3] = {1e300, 1e300, 1e300};
    for (int round = 0; round < rounds; ++round) {
      for (int k = 0; k < 3; ++k) {
        switch ((round + k) % 3) {
          case 0: best[0] = std::min(best[0], runner.Library(*work)); break;
          case 1: best[1] = std::min(best[1], runner.Zipfile(*work)); break;
          default: best[2] = std::min(best[2], runner.InfoZip(*work)); break;
        }
      }
    }
    std::printf("%-22s %7.1f %7.1f %9.3f %9.3f %9.3f %10.2fx %8.2fx\n", qPrintable(work->name),
                work->content / 1048576.0, work->bytes / 1048576.0, best[0], best[1], best[2], best[0] / best[1],
                best[0] / best[2]);
  }
  std::printf("(best of %d rounds) target: library within 1.10x of zipfile\n", rounds);
  library.unload();
  return 0;
}
