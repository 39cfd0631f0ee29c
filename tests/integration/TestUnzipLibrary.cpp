// The extraction library as the installer meets it: loaded from
// \DiskOnChip\unzip.dll of a device, called with the installer's command
// text, on real archives, including hostile and damaged ones.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <QDirIterator>
#include <QLibrary>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtEndian>
#include <QtTest>
#include <vector>

#include "Sandbox.h"
#include "UnzipLibrary.h"
#include "platform/CodePage.h"
#include "platform/Device.h"
#include "unzip/UnzipApi.h"

namespace {

// One entry of an archive made by the test. Names are the stored bytes.
enum EntryFlag { Utf8 = 1 /* general purpose bit 11 */, Folder = 2, Stored = 4, Symlink = 8 /* data: the target */ };
struct Entry {
  QByteArray name;
  QByteArray data;
  int flags = 0;
};

Entry File(const QByteArray &name, const QByteArray &data = "data") { return Entry{name, data}; }

QByteArray Cp932(const QString &text) {
  const QByteArray bytes = CodePage::Encode(text);
  Q_ASSERT(!bytes.contains('?'));
  return bytes;
}

// A ZIP made by libzip, names stored exactly as given.
QByteArray Zip(const QList<Entry> &entries) {
  QTemporaryDir dir;
  QFile file(dir.filePath(QStringLiteral("a.zip")));
  zip_t *archive = zip_open(QFile::encodeName(file.fileName()).constData(), ZIP_CREATE, nullptr);
  if (!archive) return {};
  for (const Entry &entry : entries) {
    const zip_flags_t encoding = entry.flags & Utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437;
    // The entries' bytes outlive zip_close, which is when libzip reads them.
    zip_source_t *source = zip_source_buffer(archive, entry.data.constData(), zip_uint64_t(entry.data.size()), 0);
    const zip_int64_t index = entry.flags & Folder ? zip_dir_add(archive, entry.name.constData(), encoding)
                                                   : zip_file_add(archive, entry.name.constData(), source, encoding);
    if (index < 0 || entry.flags & Folder) zip_source_free(source);
    const zip_int32_t method = entry.flags & Stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    if (index < 0 || zip_set_file_compression(archive, zip_uint64_t(index), method, 0) ||
        (entry.flags & Symlink &&
         zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16))) {
      zip_discard(archive);
      return {};
    }
  }
  return zip_close(archive) == 0 && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray RandomBytes(qsizetype size, quint32 seed) {
  QByteArray bytes(size, Qt::Uninitialized);
  QRandomGenerator generator(seed);
  for (char &c : bytes) c = char(generator.generate());
  return bytes;
}

// Every entry below a host folder with its contents (a folder reads as
// "folder"): any write, creation or removal shows.
QMap<QString, QByteArray> Snapshot(const QString &folder) {
  QMap<QString, QByteArray> tree;
  QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile file(it.next());
    const bool readable = !it.fileInfo().isDir() && file.open(QIODevice::ReadOnly);
    tree.insert(file.fileName(), readable ? file.readAll() : QByteArray("folder"));
  }
  return tree;
}

const QString kArchive = QStringLiteral("\\Storage Card\\PP_APP\\Tool.ZIP");
const QString kCommand = QStringLiteral("efq \"%1\" \\DiskOnChip\\PP_APP\\Tool\\").arg(kArchive);

struct Call {
  int result = -1;
  QByteArray report;      // up to the first NUL within the buffer
  bool inBounds = false;  // terminated inside the buffer, nothing written past it
};

// As the installer does it: load by the device path, both entry points, the
// version first, then the command with the installer's buffer size (or this one).
Call CallUnzip(const QString &command, unsigned size = UnzipApi::kOutputSize) {
  Call call;
  QLibrary library(*Device::MapPath(QStringLiteral("\\DiskOnChip\\unzip.dll")));
  auto version = reinterpret_cast<UnZipGetVersionProc>(library.resolve(UnzipApi::kGetVersionSymbol));
  auto unzip = reinterpret_cast<UnZipProc>(library.resolve(UnzipApi::kUnZipSymbol));
  if (!version || !unzip) {
    call.report = "not loaded: " + library.errorString().toUtf8();
    return call;
  }
  version();
  constexpr int kGuard = 64;
  std::vector<char> buffer(size + kGuard, '\x7f');
  call.result = unzip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), buffer.data(), size);
  const qsizetype length = qstrnlen(buffer.data(), size);
  call.report = QByteArray(buffer.data(), length);
  call.inBounds = length < qsizetype(size) && std::count(buffer.begin() + size, buffer.end(), '\x7f') == kGuard;
  library.unload();
  return call;
}

// One refusal: the archive's bytes, part of the report, the command, a file
// laid out first and the free space to claim (-1: as the volume says).
void Row(const char *name, const QByteArray &archive, const char *reason, const QString &command = kCommand,
         const char *existing = "", qint64 freeBytes = -1) {
  QTest::newRow(name) << archive << QByteArray(reason) << command << QString::fromUtf8(existing) << freeBytes;
}

}  // namespace

class TestUnzipLibrary : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(m_outside.isValid());
    QVERIFY(CodePage::SetName("CP932"));
  }

  void extractsFoldersAndJapaneseNames() {
    Sandbox box;
    const QByteArray text = QByteArray("line of a compressible text file\r\n").repeated(4000);
    const QByteArray noise = RandomBytes(300 * 1024, 7);
    // "ソ" and "表" end in the byte of "\": only the real backslash separates.
    const QString japanese = QStringLiteral("ソフト表示\\表示設定.txt");
    QVERIFY(InstallUnzipLibrary(box));
    box.write(kArchive, Zip({
                            Entry{"bin/", {}, Folder},
                            File("bin/run.exe", noise),
                            Entry{"data/deep/er/noise.bin", noise, Stored},
                            File("data/text.txt", text),
                            File("empty.txt", {}),
                            File(Cp932(japanese), "cp932"),
                            Entry{"説明/✓読んで.txt", "utf-8", Utf8},
                            // FAT holds one folder for both spellings.
                            File("Docs/a.txt", "a"),
                            File("DOCS/b.txt", "b"),
                        }));
    // Exactly the unpacked size is free; a byte less is refused (see refusesWithoutATrace).
    Device::SetFreeBytesOverride(2 * noise.size() + text.size() + 5 + 5 + 1 + 1);

    const Call call = CallUnzip(kCommand);
    QCOMPARE(call.result, 0);
    QVERIFY2(call.report.startsWith("unzip: "), call.report);

    QCOMPARE(box.tree("\\DiskOnChip\\PP_APP\\Tool"),
             QStringList({"Docs/a.txt", "Docs/b.txt", "bin/run.exe", "data/deep/er/noise.bin", "data/text.txt",
                          "empty.txt", "ソフト表示/表示設定.txt", "説明/✓読んで.txt"}));
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\bin\\run.exe"), noise);
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\data\\deep\\er\\noise.bin"), noise);
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\data\\text.txt"), text);
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\ソフト表示\\表示設定.txt"), QByteArray("cp932"));
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\説明\\✓読んで.txt"), QByteArray("utf-8"));
    // Readable like any folder made there (a private temporary folder renamed
    // into place would not be).
    QVERIFY(QDir().mkdir(box.host("\\DiskOnChip\\Other")));
    QCOMPARE(QFileInfo(box.host("\\DiskOnChip\\PP_APP\\Tool")).permissions(),
             QFileInfo(box.host("\\DiskOnChip\\Other")).permissions());
    // The missing application folder was made; nothing but the destination is in it.
    QCOMPARE(QDir(box.host("\\DiskOnChip\\PP_APP")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList({"Tool"}));
  }

  void extractsWindowsArchiveMadeByZipTool() {
    const QString zip = QStandardPaths::findExecutable(QStringLiteral("zip"));
    if (zip.isEmpty()) QSKIP("the zip tool is not installed");
    Sandbox box;
    QVERIFY(InstallUnzipLibrary(box));
    // A tree whose names are CP932 bytes, as on the Windows machine that packs
    // an application: the tool stores them as they are, without the UTF-8 flag.
    QTemporaryDir work;
    const QByteArray folder = QFile::encodeName(work.path()) + "/" + Cp932(QStringLiteral("ソフト"));
    const QByteArray file = folder + "/" + Cp932(QStringLiteral("表示.ini"));
    QCOMPARE(::mkdir(folder.constData(), 0755), 0);
    const int fd = ::open(file.constData(), O_CREAT | O_WRONLY, 0644);
    QCOMPARE(::write(fd, "[Menu]\r\n", 8), ssize_t(8));
    ::close(fd);
    QDir().mkpath(QFileInfo(box.host(kArchive)).absolutePath());
    QProcess process;
    process.setWorkingDirectory(work.path());
    process.start(zip, {"-r", "-q", box.host(kArchive), "."});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    ::unlink(file.constData());  // names Qt could not remove
    ::rmdir(folder.constData());

    const Call call = CallUnzip(kCommand);
    QVERIFY2(call.result == 0, call.report);
    QCOMPARE(box.tree("\\DiskOnChip\\PP_APP\\Tool"), QStringList({"ソフト/表示.ini"}));
    QCOMPARE(box.read("\\DiskOnChip\\PP_APP\\Tool\\ソフト\\表示.ini"), QByteArray("[Menu]\r\n"));
  }

  void refusesWithoutATrace_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QByteArray>("reason");  // part of the report
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("existing");  // a file laid out first
    QTest::addColumn<qint64>("freeBytes");  // -1: as the volume says
    // A harmless entry comes first, so that a library writing as it goes would
    // leave something behind.
    const Entry first = File("good.txt", "good");
    // Hostile archives; a plain "../x" is among the fuzz seeds.
    Row("a\\..\\..\\x", Zip({first, File("a\\..\\..\\x")}), "leaves");
    Row("\\abs", Zip({first, File("\\DiskOnChip\\x")}), "absolute");
    Row("C:x", Zip({first, File("C:x")}), "drive");
    Row("control character", Zip({first, File("a\nb.txt")}), "character");
    // Followed, the link would take the next entry out of the device.
    Row("symlink, then through it",
        Zip({Entry{"dir", QFile::encodeName(m_outside.path()), Symlink}, File("dir/victim.txt")}),
        "symbolic link");
    Row("case duplicates, CP932 and UTF-8",
        Zip({first, File(Cp932(QStringLiteral("設定Ａ.ini"))), Entry{"設定Ａ.INI", "x", Utf8}}), "only in case");
    Row("file where a folder goes", Zip({File("Data", "file"), File("data/x.txt")}), "needs a folder");

    // Damaged archives: a stored entry to flip a byte of, and one that inflates far.
    const QByteArray marker = "stored content whose CRC is recorded ";
    const QByteArray sample = Zip({first, Entry{"stored.txt", marker.repeated(100), Stored},
                                   File("zeros.bin", QByteArray(4 << 20, '\0'))});
    QByteArray crc = sample;
    crc[crc.indexOf(marker) + 5] ^= 0x20;
    Row("CRC mismatch", crc, "CRC");
    Row("truncated", sample.left(sample.size() * 3 / 5), "cannot read the archive");
    // zeros.bin claims 100 bytes in both headers, which also pass the space check.
    QByteArray bomb = sample;
    for (qsizetype at = bomb.indexOf("zeros.bin"); at >= 0; at = bomb.indexOf("zeros.bin", at + 1)) {
      if (bomb.mid(at - 30, 4) == "PK\x03\x04") qToLittleEndian<quint32>(100, bomb.data() + at - 30 + 22);
      if (bomb.mid(at - 46, 4) == "PK\x01\x02") qToLittleEndian<quint32>(100, bomb.data() + at - 46 + 24);
    }
    Row("size understated", bomb, "more data", kCommand, "", 1 << 20);
    // Room is counted by the unpacked size; deflated, the text takes far less.
    const QByteArray spaced = Zip({File("a.bin", RandomBytes(100000, 1)), File("d.txt", QByteArray(1234, 'd'))});
    Row("one byte short of free space", spaced, "101234 bytes needed", kCommand, "", 100000 + 1234 - 1);

    // Commands the library must not carry out.
    const QByteArray plain = Zip({File("a.txt")});
    Row("no closing quote", plain, "closing", "efq \"\\Storage Card\\PP_APP\\Tool.ZIP \\DiskOnChip\\PP_APP\\Tool\\");
    Row("no final backslash", plain, "backslash", kCommand.chopped(1));
    Row("other verb", plain, "does not start", "abc" + kCommand.mid(3));
    Row("destination exists in another case", plain, "already exists", kCommand, "\\DiskOnChip\\PP_APP\\TOOL\\old.txt");
  }

  void refusesWithoutATrace() {
    QFETCH(QByteArray, archive);
    QFETCH(QByteArray, reason);
    QFETCH(QString, command);
    QFETCH(QString, existing);
    QFETCH(qint64, freeBytes);
    QVERIFY(!archive.isEmpty());
    Sandbox box;
    QVERIFY(InstallUnzipLibrary(box));
    box.write(kArchive, archive);
    if (!existing.isEmpty()) box.write(existing, "old");
    if (freeBytes >= 0) Device::SetFreeBytesOverride(freeBytes);
    const auto before = Snapshot(box.root());
    const auto outsideBefore = Snapshot(m_outside.path());

    const Call call = CallUnzip(command);
    QVERIFY2(call.result != 0, call.report);
    QVERIFY2(call.report.contains(reason), call.report);
    // Not even the application folder it would have created is left.
    QCOMPARE(Snapshot(box.root()), before);
    QCOMPARE(Snapshot(m_outside.path()), outsideBefore);
  }

  void reportStaysInsideTheBuffer() {
    Sandbox box;
    QVERIFY(InstallUnzipLibrary(box));
    // A report with non-ASCII text, cut at every length a short buffer allows.
    const QString command = QStringLiteral("efq \"\\Storage Card\\ツール.ZIP\" \\DiskOnChip\\ツール\\");
    for (unsigned size = 1; size <= 48; ++size) {
      const Call call = CallUnzip(command, size);
      QVERIFY(call.result != 0);
      QVERIFY2(call.inBounds, qPrintable(QString::number(size)));
      QCOMPARE(QString::fromUtf8(call.report).toUtf8(), call.report);  // whole characters only
    }
  }

  void exportsOnlyTheEntryPoints() {
    // The device layer inside must stay private: exported, it could bind to
    // the loading program's own copy.
    const QString nm = QStandardPaths::findExecutable(QStringLiteral("nm"));
    if (nm.isEmpty()) QSKIP("nm is not installed");
    for (const auto &[variant, symbols] : {std::pair{UnzipVariant::Complete, QStringList{"UnZip", "UnZipGetVersion"}},
                                           std::pair{UnzipVariant::WithoutVersion, QStringList{"UnZip"}}}) {
      QProcess process;
      process.start(nm, {"-D", "--defined-only", "--format=just-symbols", BuiltUnzipLibrary(variant)});
      QVERIFY(process.waitForFinished(30000));
      QStringList exported = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
      exported.sort();
      QCOMPARE(exported, symbols);
    }
  }

 private:
  // A place beside the device root that an escaping entry would reach.
  QTemporaryDir m_outside;
};

QTEST_GUILESS_MAIN(TestUnzipLibrary)
#include "TestUnzipLibrary.moc"
