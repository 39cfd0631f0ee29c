// An application folder packed by the installer and unpacked by the pendant's
// own extraction library comes back byte for byte; a pack that cannot finish
// leaves nothing new under the archive's name and no half-written file.
#include "Sandbox.h"
#include "transfer/ExtractionLibrary.h"
#include "transfer/FolderArchive.h"

#include <QtTest>

class TestFolderArchive : public QObject {
  Q_OBJECT

 private slots:
  void packsWhatUnpacksAgain_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("archive");
    QTest::addColumn<bool>("packs");
    const QString alpha = QStringLiteral("\\DiskOnChip\\PP_APP\\Alpha"), old = "\\Storage Card\\PP_APP\\TEMP\\Alpha.ZIP";
    QTest::newRow("replaces the old archive") << alpha << old << true;
    QTest::newRow("no such folder") << "\\DiskOnChip\\PP_APP\\Beta" << old << false;
    QTest::newRow("target folder missing") << alpha << "\\Storage Card\\NONE\\Alpha.ZIP" << false;
    QTest::newRow("a folder has the archive's name") << alpha << "\\Storage Card\\PP_APP\\TEMP" << false;
  }
  void packsWhatUnpacksAgain() {
    QFETCH(QString, folder);
    QFETCH(QString, archive);
    QFETCH(bool, packs);
    Sandbox box;
    const QString app = QStringLiteral("\\DiskOnChip\\PP_APP\\Alpha\\"), old = "\\Storage Card\\PP_APP\\TEMP\\Alpha.ZIP";
    box.write(app + "Alpha.exe", QByteArray::fromHex("004d5a0d0a1aff0d80").repeated(20011));
    box.write(app + "res\\deep\\a.txt", QByteArray("text\r\n").repeated(500));
    box.write(app + QStringLiteral("res\\日本語.txt"), "cp932");
    box.mkdir(app + "empty");
    box.write(old, "old");
    box.write("\\Storage Card\\PP_APP\\TEMP\\|pack|killed", "what a power loss left");
    const QMap<QString, QByteArray> expected = Snapshot(box.host(app));
    // Links to what lies outside the folder are neither packed nor followed.
    QVERIFY(QFile::link(box.host(old), box.host(app + "link.txt")) && QFile::link(box.root(), box.host(app + "res\\root")));

    QCOMPARE(FolderArchive::Pack(folder, archive).ok, packs);
    // Nothing half-written left beside the target, and a failure keeps the old archive.
    QVERIFY(QFileInfo(box.host(archive)).absoluteDir().entryList({"|*"}, QDir::Files).isEmpty() && (packs || box.read(old) == "old"));
    if (!packs) return;
    // Deflated, and the Japanese name in CP932 (the pendant's code page), as the medium's archives come.
    QVERIFY(box.read(archive).mid(8, 2) == QByteArray("\x08\0", 2) && box.read(archive).contains("\x93\xfa\x96\x7b\x8c\xea"));
    ExtractionLibrary library;
    QString report;
    const QString back = ExtractionLibrary::Command(archive, "\\DiskOnChip\\BACK", "Alpha");
    QVERIFY2(box.installUnzip() && library.Load() && library.Extract(back, &report), qPrintable(report));
    QCOMPARE(Snapshot(box.host("\\DiskOnChip\\BACK\\Alpha")), expected);
  }
};

QTEST_GUILESS_MAIN(TestFolderArchive)
#include "TestFolderArchive.moc"
