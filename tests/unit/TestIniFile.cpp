// The INI rules that menu files and descriptors in the field depend on.
#include "Paths.h"
#include "Sandbox.h"
#include "files/IniFile.h"

#include <QtTest>

class TestIniFile : public QObject {
  Q_OBJECT

 private slots:
  void read_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("lookup");  // section and key
    QTest::addColumn<QString>("expected");  // the text (empty: missing, and recorded) and the number read
    const auto row = [](const char *name, const QByteArray &file, const char *expected, const char *lookup = "S K") {
      QTest::newRow(name) << file << lookup << expected;
    };
    const QByteArray pad = "[S]\nPAD = " + QByteArray(505, 'x');  // 511 bytes after the header line
    row("unquoted value loses its spaces", "[S]\nK = 1 024\n", "1024 1024");
    row("quoted: blanks kept, text after the quote too, trailing quotes gone", "[S]\nK = \"a\" b\"\"\n", "a\" b 0");
    row("key matched as substring, value by length", "[S]\nMY_APP_NAME=x\n", "ME=x 0", "S APP_NAME");
    row("first duplicate wins", "[S]\nK = 1\nK = 2\n", "1 1");
    row("key after the next header is not found", "[S]\nA = 1\n[T]\nK = v\n", " 0");
    row("indented header does not end the section", "[S]\nA = 1\n  [T]\nK = v\n", "v 0");
    row("header found anywhere in a line", "junk [S] junk\nK = v\n", "v 0");
    row("INFO1 does not match INFO10", "[INFO10]\nK = 10\n[INFO1]\nK = 1\n", "1 1", "INFO1 K");
    row("text in the device's code page", "[S]\nK = \"\x83\x63\x81\x5B\x83\x8B\"\n", "ツール 0");
    // At most 511 bytes are one line; the rest of the physical line is a line of its own.
    row("line continued after 511 bytes", pad + "K = 5\n", "5 5");
    row("continuation at [ ends the section", pad + "[T]\nK = v\n", " 0");
    // Numbers as the C runtime converts them.
    row("overflow clamps", "[S]\nK = -99999999999\n", "-99999999999 -2147483648");
  }
  // A fresh read and a read inside a batch (which keeps lines and header
  // places) give the same answers and last-error records.
  void read() {
    QFETCH(QByteArray, file);
    QFETCH(QString, lookup);
    const QString section = lookup.section(' ', 0, 0), key = lookup.section(' ', 1);
    Sandbox box;
    box.write(kPendantMenu, file);
    IniFile fresh, kept;
    IniFile::Batch batch(kept);
    for (IniFile *ini : {&fresh, &kept}) {
      const QString value = ini->ReadIniString(kPendantMenu, section, key);
      QTEST(value + ' ' + QString::number(ini->ReadIniInt(kPendantMenu, section, key)), "expected");
      QCOMPARE(ini->errorPath + ini->errorSection + ini->errorKey, value.isEmpty() ? kPendantMenu + section + key : "");
    }
    box.write(kPendantMenu, "[S]\nK = changed\n");
    batch.End();  // then a changed file is read afresh
    QCOMPARE(kept.ReadIniString(kPendantMenu, "S", "K"), QString("changed"));
  }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "TestIniFile.moc"
