// The INI rules that menu files and descriptors in the field depend on.
#include "Sandbox.h"
#include "files/IniFile.h"
#include "platform/CodePage.h"

#include <QBuffer>
#include <QtTest>
#include <optional>

class TestIniFile : public QObject {
  Q_OBJECT

 private slots:
  void findValue_data();
  void findValue();
  void typedReads_data();
  void typedReads();
  void lastErrorRecord();
  void missingFileIsNotAnError();
  void longLineContinuesAsNewLine();
  void japaneseValueRoundTrip();
  void writeTextFile();
  void leadingInt_data();
  void leadingInt();
  void batchMatchesFreshScans_data();
  void batchMatchesFreshScans();
};

void TestIniFile::findValue_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QString>("section");
  QTest::addColumn<QString>("key");
  QTest::addColumn<QString>("expected");  // "<EOF>" for the not-found marker

  QTest::newRow("unquoted value loses its spaces") << QByteArray("[S]\nNAME = My App\n") << "S" << "NAME" << "MyApp";
  QTest::newRow("quoted value keeps its spaces") << QByteArray("[S]\nNAME = \"My App\"\n") << "S" << "NAME" << "My App";
  QTest::newRow("text after the closing quote stays") << QByteArray("[S]\nK = \"abc\" x\n") << "S" << "K" << "abc\" x";
  QTest::newRow("every trailing quote removed") << QByteArray("[S]\nK = \"abc\"\"\"\n") << "S" << "K" << "abc";
  QTest::newRow("two quotes read as empty") << QByteArray("[S]\nK = \"\"\n") << "S" << "K" << "";
  QTest::newRow("tabs are removed before matching") << QByteArray("[S]\nKEY\t=\tvalue\n") << "S" << "KEY" << "value";
  QTest::newRow("key matched as substring, value by length")
      << QByteArray("[S]\nMY_APP_NAME=x\n") << "S" << "APP_NAME" << "ME=x";
  QTest::newRow("key without space before equals") << QByteArray("[S]\nK=v\n") << "S" << "K" << "v";
  QTest::newRow("CR LF line ends") << QByteArray("[S]\r\nA = 1\r\nB = two\r\n") << "S" << "B" << "two";
  QTest::newRow("key after next header is not found") << QByteArray("[S]\nA = 1\n[T]\nK = v\n") << "S" << "K" << "";
  QTest::newRow("indented header does not end the section")
      << QByteArray("[S]\nA = 1\n  [T]\nK = v\n") << "S" << "K" << "v";
  QTest::newRow("header found anywhere in a line") << QByteArray("junk [S] junk\nK = v\n") << "S" << "K" << "v";
  QTest::newRow("header line itself is not searched") << QByteArray("[S] K = v\nX = 1\n") << "S" << "K" << "<EOF>";
  QTest::newRow("section prefix does not match longer header")
      << QByteArray("[APPLICATION_INFO1]\nK = a\n[APPLICATION_INFO]\nK = b\n") << "APPLICATION_INFO" << "K" << "b";
  QTest::newRow("INFO1 does not match INFO10")
      << QByteArray("[APPLICATION_INFO10]\nK = ten\n[APPLICATION_INFO1]\nK = one\n") << "APPLICATION_INFO1" << "K"
      << "one";
  QTest::newRow("first duplicate wins") << QByteArray("[S]\nK = 1\nK = 2\n") << "S" << "K" << "1";
  QTest::newRow("missing section") << QByteArray("[T]\nK = 1\n") << "S" << "K" << "<EOF>";
  QTest::newRow("empty file") << QByteArray() << "S" << "K" << "<EOF>";
  QTest::newRow("section matched case-sensitively") << QByteArray("[s]\nK = 1\n") << "S" << "K" << "<EOF>";
  QTest::newRow("NUL ends the line's text") << QByteArray("[S]\nK = ab\0cd\n", 14) << "S" << "K" << "ab";
  QTest::newRow("blank lines are skipped") << QByteArray("[S]\n\n\t\n\r\nK = v\n") << "S" << "K" << "v";
}

void TestIniFile::findValue() {
  QFETCH(QByteArray, file);
  QFETCH(QString, section);
  QFETCH(QString, key);
  QFETCH(QString, expected);
  QBuffer buffer(&file);
  QVERIFY(buffer.open(QIODevice::ReadOnly));
  const QString value = IniFile::FindIniValue(buffer, section, key);
  QCOMPARE(value, expected == "<EOF>" ? IniFile::NotFoundMarker() : expected);
}

void TestIniFile::typedReads_data() {
  QTest::addColumn<QByteArray>("line");
  QTest::addColumn<int>("asInt");
  QTest::addColumn<QString>("asString");
  QTest::addColumn<bool>("recorded");

  QTest::newRow("negative") << QByteArray("K = -5") << -5 << "-5" << false;
  QTest::newRow("plus sign") << QByteArray("K = +7") << 7 << "+7" << false;
  QTest::newRow("hex is not read") << QByteArray("K = 0x1F") << 0 << "0x1F" << false;
  QTest::newRow("digits then letters") << QByteArray("K = 12abc") << 12 << "12abc" << false;
  QTest::newRow("letters only") << QByteArray("K = abc") << 0 << "abc" << false;
  QTest::newRow("spaces inside digits") << QByteArray("K = 1 024") << 1024 << "1024" << false;
  QTest::newRow("empty value is missing") << QByteArray("K =") << 0 << "" << true;
  QTest::newRow("absent key is missing") << QByteArray("OTHER = 1") << 0 << "" << true;
}

void TestIniFile::typedReads() {
  QFETCH(QByteArray, line);
  QFETCH(int, asInt);
  QFETCH(QString, asString);
  QFETCH(bool, recorded);
  Sandbox box;
  box.write("\\DiskOnChip\\t.ini", "[S]\n" + line + "\n");
  IniFile ini;
  QCOMPARE(ini.ReadIniInt("\\DiskOnChip\\t.ini", "S", "K"), asInt);
  QCOMPARE(ini.errorKey.isEmpty(), !recorded);
  ini.ClearLastError();
  QCOMPARE(ini.ReadIniString("\\DiskOnChip\\t.ini", "S", "K"), asString);
  QCOMPARE(ini.errorKey.isEmpty(), !recorded);
  if (recorded) {
    QCOMPARE(ini.errorPath, QString("\\DiskOnChip\\t.ini"));
    QCOMPARE(ini.errorSection, QString("S"));
  }
}

void TestIniFile::lastErrorRecord() {
  Sandbox box;
  box.write("\\DiskOnChip\\t.ini", "[S]\nA = 1\n");
  IniFile ini;
  // Optional keys never enter the record.
  for (const char *key : {"SUBMENU_NAME_JAPANESE", "FOLDER_NAME", "SUBMENU_ICON", "SUBMENU_ICONPATH"}) {
    QCOMPARE(ini.ReadIniString("\\DiskOnChip\\t.ini", "S", key), QString());
    QVERIFY2(ini.errorKey.isEmpty(), key);
  }
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

void TestIniFile::missingFileIsNotAnError() {
  Sandbox box;
  box.mkdir("\\DiskOnChip\\folder.ini");
  IniFile ini;
  for (const char *path : {"\\DiskOnChip\\none.ini", "\\DiskOnChip\\folder.ini", "\\..\\etc\\passwd"}) {
    QCOMPARE(ini.ReadIniInt(path, "S", "K"), 0);
    QCOMPARE(ini.ReadIniString(path, "S", "K"), QString());
    QVERIFY2(ini.errorKey.isEmpty(), path);
  }
}

void TestIniFile::longLineContinuesAsNewLine() {
  // 511 bytes are one line; the rest of the physical line starts a new one,
  // so a key hidden after byte 511 is found as a line of its own.
  QByteArray file = "[S]\nPAD = " + QByteArray(511 - 6, 'x') + "K = tail\n";
  QBuffer buffer(&file);
  buffer.open(QIODevice::ReadOnly);
  QCOMPARE(IniFile::FindIniValue(buffer, "S", "K"), QString("tail"));
  // A continuation starting with "[" ends the section.
  QByteArray ended = "[S]\nPAD = " + QByteArray(511 - 6, 'x') + "[T]\nK = v\n";
  QBuffer second(&ended);
  second.open(QIODevice::ReadOnly);
  QCOMPARE(IniFile::FindIniValue(second, "S", "K"), QString(""));
}

void TestIniFile::japaneseValueRoundTrip() {
  Sandbox box;
  CodePage::SetName("CP932");
  const QString name = QString::fromUtf8("ツール 設定");
  QVERIFY(IniFile::WriteTextFile("\\DiskOnChip\\j.ini", "[MENU_INFO]\nSUBMENU_NAME_JAPANESE = \"" + name + "\"\n"));
  // Stored in CP932, not UTF-8.
  QVERIFY(box.read("\\DiskOnChip\\j.ini").contains(QByteArray("\x83\x63\x81\x5B\x83\x8B")));
  IniFile ini;
  QCOMPARE(ini.ReadIniString("\\DiskOnChip\\j.ini", "MENU_INFO", "SUBMENU_NAME_JAPANESE"), name);
}

void TestIniFile::writeTextFile() {
  Sandbox box;
  QVERIFY(IniFile::WriteTextFile("\\DiskOnChip\\empty.ini", QString()));
  QVERIFY(box.exists("\\DiskOnChip\\empty.ini"));
  QCOMPARE(box.read("\\DiskOnChip\\empty.ini"), QByteArray());
  // Exactly the characters given: LF stays LF, characters CP932 lacks become "?".
  QVERIFY(IniFile::WriteTextFile("\\DiskOnChip\\a.ini", QString::fromUtf8("A = \u00e9\u20ac\nB = 1\n")));
  QCOMPARE(box.read("\\DiskOnChip\\a.ini"), QByteArray("A = ??\nB = 1\n"));
  // Replaces an existing file whole; no folder, no file.
  QVERIFY(IniFile::WriteTextFile("\\DiskOnChip\\a.ini", "X"));
  QCOMPARE(box.read("\\DiskOnChip\\a.ini"), QByteArray("X"));
  QVERIFY(!IniFile::WriteTextFile("\\DiskOnChip\\missing\\a.ini", "X"));
}

void TestIniFile::leadingInt_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");
  QTest::newRow("overflow clamps") << "99999999999" << 2147483647;
  QTest::newRow("lowest") << "-2147483648" << int(-2147483647 - 1);
  QTest::newRow("sign alone") << "-" << 0;
  QTest::newRow("leading blank") << " 42" << 42;
}

void TestIniFile::leadingInt() {
  QFETCH(QString, text);
  QFETCH(int, value);
  QCOMPARE(ParseLeadingInt(text), value);
}

void TestIniFile::batchMatchesFreshScans_data() {
  findValue_data();
  QTest::newRow("line continued after 511 bytes") << "[S]\nPAD = " + QByteArray(505, 'x') + "K = tail\n" << "S" << "K"
                                                  << "tail";
  QTest::newRow("continuation opens a section") << "[S]\nP = " + QByteArray(507, 'x') + "[T]\nK = v\n" << "T" << "K"
                                                << "v";
}

void TestIniFile::batchMatchesFreshScans() {
  QFETCH(QByteArray, file);
  QFETCH(QString, section);
  QFETCH(QString, key);
  QFETCH(QString, expected);
  Sandbox box;
  const QString path = "\\DiskOnChip\\t.ini";
  box.write(path, file);
  IniFile fresh, kept;
  QCOMPARE(fresh.ReadIniString(path, section, key), expected == "<EOF>" ? "" : expected);
  std::optional<IniFile::Batch> batch(kept);
  // Twice and around another section, so that kept lines and remembered
  // headers answer too; a missing file stays unrecorded.
  for (const auto &[p, s, k] : {std::tuple{path, section, key}, {path, QString("T"), QString("K")}, {path, section, key},
                                {QString("\\DiskOnChip\\none.ini"), section, key}}) {
    QCOMPARE(kept.ReadIniString(p, s, k), fresh.ReadIniString(p, s, k));
    QCOMPARE(kept.ReadIniInt(p, s, k), fresh.ReadIniInt(p, s, k));
    QCOMPARE(kept.errorSection + kept.errorKey + kept.errorPath, fresh.errorSection + fresh.errorKey + fresh.errorPath);
  }
  // Once the operation ends, a changed file is read afresh.
  box.write(path, "[S]\nK = changed\n");
  QVERIFY(kept.ReadIniString(path, "S", "K") != "changed" || file.startsWith("[S]\nK = changed"));
  batch.reset();
  QCOMPARE(kept.ReadIniString(path, "S", "K"), QString("changed"));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "TestIniFile.moc"
