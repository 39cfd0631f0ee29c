// The extraction library as the installer meets it: loaded from
// \DiskOnChip\unzip.dll of a device, called with the installer's command
// text, on real archives. The hostile archives and commands at large are
// the fuzz corpus', replayed by TestFuzzRegressions.
#include "MediumBuilder.h"
#include "Sandbox.h"
#include "platform/CodePage.h"
#include "platform/Device.h"
#include "unzip/UnzipApi.h"

#include <QLibrary>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>
#include <stdexcept>
#include <vector>

namespace {

const QString kArchive = QStringLiteral("\\Storage Card\\PP_APP\\Tool.ZIP");
const QString kCommand = QStringLiteral("efq \"%1\" \\DiskOnChip\\PP_APP\\Tool\\").arg(kArchive);

struct Call {
  int result = -1;
  QByteArray report;      // up to the first NUL within the buffer
  bool inBounds = false;  // terminated inside the buffer, nothing written past it
};

// What a progress sink heard; it throws at every report when told to.
struct Heard {
  std::vector<std::pair<long long, long long>> reports;
  bool raise = false;
};
void Hear(void *context, long long done, long long total) {
  auto *heard = static_cast<Heard *>(context);
  heard->reports.emplace_back(done, total);
  if (heard->raise) throw std::runtime_error("a sink that throws");
}

// As the installer does it: load by the device path, both entry points, the
// version first, then the command with the installer's buffer size (or this one).
Call CallUnzip(const QString &command, unsigned size = UnzipApi::kOutputSize, Heard *heard = nullptr) {
  QLibrary library(*Device::MapPath(QStringLiteral("\\DiskOnChip\\unzip.dll")));
  auto version = reinterpret_cast<UnZipGetVersionProc>(library.resolve(UnzipApi::kGetVersionSymbol));
  auto unzip = reinterpret_cast<UnZipProc>(library.resolve(UnzipApi::kUnZipSymbol));
  if (!version || !unzip) return {-1, "not loaded: " + library.errorString().toUtf8()};
  version();
  std::vector<char> buffer(size + 64, '\x7f');  // 64 guard bytes: a write past the end shows
  UnZipProgressSink sink{&Hear, heard};
  const int result =
      unzip(heard ? &sink : nullptr, reinterpret_cast<const char16_t *>(command.utf16()), buffer.data(), size);
  const QByteArray report(buffer.data(), qstrnlen(buffer.data(), size));
  return {result, report,
          report.size() < qsizetype(size) && std::count(buffer.begin() + size, buffer.end(), '\x7f') == 64};
}

void Row(const char *name, const QByteArray &archive, const char *reason, const QString &command = kCommand) {
  QTest::newRow(name) << archive << command << QByteArray(reason);
}

}  // namespace

class TestUnzipLibrary : public QObject {
  Q_OBJECT

  // A place away from the device root that an escaping entry would reach.
  QTemporaryDir m_outside;

 private slots:
  void extractsFoldersAndJapaneseNames() {
    Sandbox box;
    QVERIFY(box.installUnzip());
    const QByteArray text = QByteArray("line of a compressible text file\r\n").repeated(4000);
    QByteArray noise(300 * 1024, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    // "ソ" and "表" end in the byte of "\": only the real backslash separates.
    const QByteArray cp932 = CodePage::Encode(QStringLiteral("ソフト表示\\表示設定.txt"));
    box.write(kArchive, MakeZip(QList<ZipEntry>{{"data/", {}, ZipEntry::Folder}, {"data/text.txt", text},
                                                {"data/deep/er/noise.bin", noise, ZipEntry::Stored}, {"empty.txt", {}},
                                                {cp932, "cp932"}, {"説明/✓読んで.txt", "utf-8", ZipEntry::Utf8},
                                                // FAT holds one folder for both spellings.
                                                {"Docs/a.txt", "a"}, {"DOCS/b.txt", "b"}}));
    Device::SetFreeBytesOverride(noise.size() + text.size() + 5 + 5 + 1 + 1);  // exactly the unpacked size
    // What an extraction killed by a power loss left beside the destination.
    box.write("\\DiskOnChip\\PP_APP\\|unzip|Tool.x\\half.txt", "half");

    const Call call = CallUnzip(kCommand);
    QVERIFY2(call.result == UnzipApi::kSuccess && call.inBounds, call.report);
    // The application folder holds nothing but the destination.
    QCOMPARE(Snapshot(box.host("\\DiskOnChip\\PP_APP"), true),
             (QMap<QString, QByteArray>{{"Tool/Docs/a.txt", "a"}, {"Tool/Docs/b.txt", "b"}, {"Tool/empty.txt", {}},
                                        {"Tool/data/deep/er/noise.bin", noise}, {"Tool/data/text.txt", text},
                                        {"Tool/ソフト表示/表示設定.txt", "cp932"}, {"Tool/説明/✓読んで.txt", "utf-8"}}));
    // As readable as any folder made there: a private temporary folder renamed into place would not be.
    QCOMPARE(QFile::permissions(box.host("\\DiskOnChip\\PP_APP\\Tool")), QFile::permissions(box.host("\\DiskOnChip")));
  }

  // The sink hears the bytes written: 0 first, a report at least every
  // 512 KiB, and the total once, last, when the folder is in place. Nothing
  // a sink does changes the outcome.
  void reportsProgress() {
    Sandbox box;
    QVERIFY(box.installUnzip());
    // Larger than the library inflates whole in memory: it streams.
    const QByteArray text = QByteArray("a line of a long text file\r\n").repeated(340000);
    QByteArray noise(700 * 1024, Qt::Uninitialized);
    QRandomGenerator(5).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    const QMap<QString, QByteArray> files{{"big.txt", text}, {"bin/noise.bin", noise}, {"small.txt", "small"}};
    box.write(kArchive, MakeZip(files));
    const long long total = text.size() + noise.size() + 5;
    for (bool raise : {false, true}) {
      Heard heard{{}, raise};
      const Call call = CallUnzip(kCommand, UnzipApi::kOutputSize, &heard);
      QVERIFY2(call.result == UnzipApi::kSuccess, call.report);
      QCOMPARE(Snapshot(box.host("\\DiskOnChip\\PP_APP\\Tool"), true), files);
      QVERIFY(heard.reports.size() > 2);
      QCOMPARE(heard.reports.front(), std::make_pair(0LL, total));
      QCOMPARE(heard.reports.back(), std::make_pair(total, total));
      for (size_t i = 1; i < heard.reports.size(); ++i) {
        QCOMPARE(heard.reports[i].second, total);
        QVERIFY(heard.reports[i].first > heard.reports[i - 1].first);
        QVERIFY(heard.reports[i].first - heard.reports[i - 1].first <= 512 * 1024);
      }
      QVERIFY(QDir(box.host("\\DiskOnChip\\PP_APP\\Tool")).removeRecursively());
    }
    // Damaged after 700 KiB were written: never the total, nothing left.
    QByteArray damaged = MakeZip(QList<ZipEntry>{{"bin/noise.bin", noise, ZipEntry::Stored}, {"small.txt", "small"}});
    damaged[damaged.indexOf("small.txt") - 40] ^= 1;  // the noise's last bytes
    box.write(kArchive, damaged);
    const auto before = Snapshot(box.root());
    Heard heard{{}, true};
    const Call call = CallUnzip(kCommand, UnzipApi::kOutputSize, &heard);
    QVERIFY2(call.result != UnzipApi::kSuccess && call.report.contains("CRC"), call.report);
    QVERIFY(!heard.reports.empty() && heard.reports.back().first < heard.reports.back().second);
    QCOMPARE(Snapshot(box.root()), before);
  }

  void wholeOrNothing_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("reason");  // part of the report; empty: extracts
    // A harmless entry comes first, so that a library writing as it goes
    // would leave something behind.
    const ZipEntry first{"good.txt", "good"};
    Row("backslashes leaving the destination", MakeZip({first, {"a\\..\\..\\x"}}), "leaves");
    // Followed, the link would take the next entry out of the device.
    // FAT drops trailing dots and blanks: each pair is one file there.
    Row("trailing dot", MakeZip({first, {"Good.txt."}}), "would land on \"good.txt\"");
    Row("folder with trailing blanks", MakeZip({{"res/a"}, {"RES  /b"}, {"res. /a"}}), "would land on \"res/a\"");
    Row("dots and blanks leaving", MakeZip({first, {".. /x"}}), "dots and blanks only");
    Row("symlink, then through it",
        MakeZip({{"link", QFile::encodeName(m_outside.path()), ZipEntry::Symlink}, {"link/x.txt"}}), "symbolic link");

    // Damaged only where the data is, found while extracting.
    const QByteArray marker = "stored content whose CRC is recorded ";
    QByteArray crc = MakeZip({first, {"stored.txt", marker.repeated(100), ZipEntry::Stored}});
    crc[crc.indexOf(marker) + 5] ^= 0x20;
    Row("CRC mismatch", crc, "CRC");
    // zeros.bin claims 100 bytes in both headers, which pass the space check.
    QByteArray bomb = MakeZip({first, {"zeros.bin", QByteArray(4 << 20, '\0')}});
    // The name follows the local header's size field by 8 bytes, the central one's by 22.
    for (qsizetype at = bomb.indexOf("zeros.bin"); at >= 0; at = bomb.indexOf("zeros.bin", at + 1))
      qToLittleEndian<quint32>(100, bomb.data() + at - (bomb.mid(at - 30, 4) == "PK\x03\x04" ? 8 : 22));
    Row("size understated", bomb, "more data");
    // Room is counted by the unpacked size; deflated, these take far less.
    Row("one byte short of free space",
        MakeZip(QList<ZipEntry>{{"a.txt", QByteArray(100000, 'a')}, {"d.txt", QByteArray(1234, 'd')}}),
        "101234 bytes needed, 101233 free");

    // Valid however their makers ended them; the comment's length is the last field.
    QByteArray commented = MakeZip(QList<ZipEntry>{first});
    qToLittleEndian<quint16>(7, commented.data() + commented.size() - 2);
    Row("a stray byte after the comment", commented + "comment!", "");
    Row("comment shorter than declared", commented + "comm", "");
    Row("junk after the end record", MakeZip(QList<ZipEntry>{first}) + QByteArray(100, '\0') + "junk", "");

    const QByteArray plain = MakeZip(QList<ZipEntry>{{"a.txt"}});
    Row("no closing quote", plain, "closing", "efq \"\\Storage Card\\PP_APP\\Tool.ZIP \\DiskOnChip\\PP_APP\\Tool\\");
    Row("no final backslash", plain, "backslash", kCommand.chopped(1));
    // The report names both paths: a short buffer cuts it inside a character.
    Row("archive missing", plain, "does not exist", "efq \"\\Storage Card\\ツール.ZIP\" \\DiskOnChip\\ツール\\");
    Row("destination exists in another case", plain, "already exists",
        "efq \"\\Storage Card\\PP_APP\\Tool.ZIP\" \\storage card\\pp_app\\");
  }

  void wholeOrNothing() {
    QFETCH(QByteArray, archive);
    QFETCH(QString, command);
    QFETCH(QByteArray, reason);
    Sandbox box;
    QVERIFY(box.installUnzip());
    box.write(kArchive, archive);
    Device::SetFreeBytesOverride(101233);  // all a row needs but the one short of space
    const auto before = Snapshot(box.root());

    const Call call = CallUnzip(command);
    if (reason.isEmpty()) {  // extracted whole
      QVERIFY2(call.result == UnzipApi::kSuccess && call.inBounds, call.report);
      QCOMPARE(Snapshot(box.host("\\DiskOnChip\\PP_APP\\Tool")), (QMap<QString, QByteArray>{{"good.txt", "good"}}));
      return;
    }
    QVERIFY2(call.result != UnzipApi::kSuccess && call.inBounds && call.report.contains(reason), call.report);
    // In a short buffer the same report, cut after the last whole character that fits.
    for (unsigned size = 1; size <= 48; ++size) {
      const Call cut = CallUnzip(command, size);
      QVERIFY2(cut.inBounds && call.report.startsWith(cut.report) && cut.report.size() + 3 >= qsizetype(size) &&
                   QString::fromUtf8(cut.report).toUtf8() == cut.report,
               qPrintable(QString::number(size) + u' ' + cut.report));
    }
    // Not even the application folder it would have created is left.
    QCOMPARE(Snapshot(box.root()), before);
    QVERIFY(Snapshot(m_outside.path()).isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestUnzipLibrary)
#include "TestUnzipLibrary.moc"
