// The INI rules that menu files and descriptors in the field depend on.
#include "Sandbox.h"
#include "files/IniFile.h"

#include <QBuffer>
#include <QtTest>
#include <optional>

class TestIniFile : public QObject {
  Q_OBJECT

 private slots:
  void read_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");  // "<EOF>" for the not-found marker
    QTest::addColumn<int>("asInt");
    const auto row = [](const char *name, const QByteArray &file, const QString &value, int asInt = 0,
                        const QString &section = "S", const QString &key = "K") {
      QTest::newRow(name) << file << section << key << value << asInt;
    };
    const QByteArray pad = "[S]\nPAD = " + QByteArray(505, 'x');  // 511 bytes after the header line

    row("unquoted value loses its spaces", "[S]\nK = 1 024\n", "1024", 1024);
    row("quoted value keeps its spaces", "[S]\nK = \"My App\"\n", "My App");
    row("text after the closing quote stays", "[S]\nK = \"abc\" x\n", "abc\" x");
    row("every trailing quote removed", "[S]\nK = \"abc\"\"\"\n", "abc");
    row("tabs are removed before matching", "[S]\nK\t=\t7\n", "7", 7);
    row("key matched as substring, value by length", "[S]\nMY_APP_NAME=x\n", "ME=x", 0, "S", "APP_NAME");
    row("CR LF line ends", "[S]\r\nA = 1\r\nK = two\r\n", "two");
    row("key after next header is not found", "[S]\nA = 1\n[T]\nK = v\n", "");
    row("indented header does not end the section", "[S]\nA = 1\n  [T]\nK = v\n", "v");
    row("header found anywhere in a line", "junk [S] junk\nK = v\n", "v");
    row("header line itself is not searched", "[S] K = v\nX = 1\n", "<EOF>");
    row("INFO1 does not match INFO10", "[INFO10]\nK = 10\n[INFO1]\nK = 1\n", "1", 1, "INFO1");
    row("first duplicate wins", "[S]\nK = 1\nK = 2\n", "1", 1);
    row("missing section", "[T]\nK = 1\n", "<EOF>");
    row("section matched case-sensitively", "[s]\nK = 1\n", "<EOF>");
    row("NUL ends the line's text", QByteArray("[S]\nK = ab\0cd\n", 14), "ab");
    row("empty value", "[S]\nK =\n", "");
    row("text in the device's code page", "[S]\nK = \"\x83\x63\x81\x5B\x83\x8B 1\"\n", QString::fromUtf8("ツール 1"));
    // At most 511 bytes are one line; the rest of the physical line is a line of its own.
    row("line continued after 511 bytes", pad + "K = tail\n", "tail");
    row("continuation at [ ends the section", pad + "[T]\nK = v\n", "");
    row("continuation opens a section", pad + "[T]\nK = v\n", "v", 0, "T");
    // Numbers as the C runtime converts them.
    row("plus sign", "[S]\nK = +7\n", "+7", 7);
    row("sign alone", "[S]\nK = -\n", "-", 0);
    row("hex is not read", "[S]\nK = 0x1F\n", "0x1F", 0);
    row("digits then letters", "[S]\nK = 12abc\n", "12abc", 12);
    row("overflow clamps", "[S]\nK = 99999999999\n", "99999999999", 2147483647);
    row("lowest", "[S]\nK = -2147483648\n", "-2147483648", int(-2147483647 - 1));
  }

  // The stream scan, a fresh read of the file and a read inside a batch (which
  // keeps lines and header places) all give the same answers; a required key
  // found missing or empty is recorded.
  void read() {
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QBuffer buffer(&file);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(IniFile::FindIniValue(buffer, section, key), value == "<EOF>" ? IniFile::NotFoundMarker() : value);

    Sandbox box;
    const QString path = "\\DiskOnChip\\t.ini";
    box.write(path, file);
    IniFile fresh, kept;
    QCOMPARE(fresh.ReadIniString(path, section, key), value == "<EOF>" ? "" : value);
    const bool missing = value.isEmpty() || value == "<EOF>";
    QCOMPARE(fresh.errorPath + '|' + fresh.errorSection + '|' + fresh.errorKey,
             missing ? QString(path + '|' + section + '|' + key) : QString("||"));
    fresh.ClearLastError();
    QTEST(fresh.ReadIniInt(path, section, key), "asInt");
    QCOMPARE(fresh.errorKey.isEmpty(), !missing);
    std::optional<IniFile::Batch> batch(kept);
    // Twice, around another section, and for files that cannot be read.
    for (const auto &[p, s, k] : {std::tuple{path, section, key}, {path, QString("T"), QString("K")}, {path, section, key},
                                  {QString("\\DiskOnChip\\none.ini"), section, key}, {QString("\\DiskOnChip"), section, key},
                                  {QString("\\..\\etc\\passwd"), section, key}}) {
      QCOMPARE(kept.ReadIniString(p, s, k), fresh.ReadIniString(p, s, k));
      QCOMPARE(kept.ReadIniInt(p, s, k), fresh.ReadIniInt(p, s, k));
      QCOMPARE(kept.errorSection + kept.errorKey + kept.errorPath, fresh.errorSection + fresh.errorKey + fresh.errorPath);
    }
    // The batch really keeps the file; once it ends, a changed file is read afresh.
    box.write(path, "[S]\nK = changed\n");
    QVERIFY(kept.ReadIniString(path, "S", "K") != "changed");
    batch.reset();
    QCOMPARE(kept.ReadIniString(path, "S", "K"), QString("changed"));
  }

  void lastErrorRecord() {
    Sandbox box;
    box.write("\\DiskOnChip\\t.ini", "[S]\nA = 1\n");
    IniFile ini;
    // Optional keys never enter the record, nor does a file that cannot be read.
    for (const char *key : {"SUBMENU_NAME_JAPANESE", "FOLDER_NAME", "SUBMENU_ICONPATH"})
      QCOMPARE(ini.ReadIniString("\\DiskOnChip\\t.ini", "S", key), QString());
    QCOMPARE(ini.ReadIniInt("\\DiskOnChip\\none.ini", "S", "K"), 0);
    QVERIFY(ini.errorKey.isEmpty());
    // The last missing key replaces the earlier one; a later hit does not clear it.
    ini.ReadIniString("\\DiskOnChip\\t.ini", "S", "FIRST");
    ini.ReadIniInt("\\DiskOnChip\\t.ini", "S", "SECOND");
    QCOMPARE(ini.ReadIniInt("\\DiskOnChip\\t.ini", "S", "A"), 1);
    QCOMPARE(ini.errorKey, QString("SECOND"));
    // An empty section or key is not a lookup at all.
    ini.ClearLastError();
    QCOMPARE(ini.ReadIniInt("\\DiskOnChip\\t.ini", "", "A"), 0);
    QCOMPARE(ini.ReadIniString("\\DiskOnChip\\t.ini", "S", ""), QString());
    QVERIFY(ini.errorKey.isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "TestIniFile.moc"
