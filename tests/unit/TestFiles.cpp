// The menu file and the packages on the medium, read and composed by pure
// functions over real files in a temporary device.
#include "Paths.h"
#include "Sandbox.h"
#include "files/MenuFile.h"
#include "files/NameRules.h"
#include "files/PackageFiles.h"
#include "platform/CodePage.h"

#include <QtTest>

// A menu file registering count applications, one section for each
// "name|line;line;": the lines come first, and as the reader takes the first
// of a key they replace the usual values.
static QByteArray Menu(int count, const QStringList &sections) {
  QString text = QString("[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = %1\n").arg(count);
  for (qsizetype i = 0; i < sections.size(); ++i)
    text += QString("\n[APPLICATION_INFO%1]\n%2APP_NAME = %3\nTOPMENU_ID = 2\nAPP_PATH = \"PP_APP\\%3\\%3.exe\"\nAPP_VER = 1.00\nNS_VER = N\n"
                    "FILE_SIZE = 100\nAPP_TYPE = T\nSYS_STATUS = 0x01\nAUTO_RUN = FALSE\nONE-TOUCH_RUN = FALSE\n")
                .arg(i + 1).arg(QString(sections[i].section('|', 1)).replace(';', '\n'), sections[i].section('|', 0, 0));
  return CodePage::Encode(text);
}

class TestFiles : public QObject {
  Q_OBJECT

 private slots:
  void readMenu_data() {
    QTest::addColumn<QByteArray>("file");
    // The result (0 read, 1 absent, 2 bad count, 3 format error, 4 missing
    // executable), the sections read and the key recorded | the end of the
    // menu file composed from the entries read.
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const QByteArray &file, const char *expected) { QTest::newRow(name) << file << expected; };
    row("values, names in table order but never POLISH",
        Menu(2, {"A", "B|SYS_STATUS = 12;AUTO_RUN = true;ONE-TOUCH_RUN = TRUE;SUBMENU_NAME_POLISH = P;SUBMENU_NAME_CZECH = C;SUBMENU_NAME_ENGLISH = E;"}),
        "0 A,B |0x0c\nAUTO_RUN = FALSE\nONE-TOUCH_RUN = TRUE\nSUBMENU_NAME_ENGLISH = \"E\"\nSUBMENU_NAME_CZECH = \"C\"\n");
    row("APP_NUM 33", Menu(33, {"A"}), "2  |");
    row("APP_NUM missing", Menu(1, {"A"}).replace("APP_NUM", "X"), "2  APP_NUM|");
    row("VERSION missing fails the first section", Menu(1, {"A"}).replace("VERSION", "X"), "3 A VERSION|");
    row("executable missing", Menu(2, {"A", "B|APP_PATH = \"PP_APP\\Gone\\B.exe\";"}), "4 A,B |");
    row("name with a path", Menu(2, {"A", "B|APP_NAME = ..\\..\\B;"}), "3 A APP_NAME|");
    row("folder with a path", Menu(2, {"A", "B|APP_PATH = \"PP_APP\\x\\y\\B.exe\";"}), "3 A,B APP_PATH|");
    // One application's files would replace another's, or land in a device.
    row("folder FAT takes for another's", Menu(2, {"A", "B|APP_PATH = \"PP_APP\\a. \\B.exe\";"}), "3 A,B APP_PATH|");
    row("folder named as a device", Menu(2, {"A", "B|APP_PATH = \"PP_APP\\Con\\B.exe\";"}), "3 A,B APP_PATH|");
  }
  void readMenu() {
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    Sandbox box;
    for (const char *exe : {"\\A\\A.exe", "\\B\\B.exe", "\\x\\y\\B.exe"}) box.write(kPendant + exe, "MZ");
    box.write(kPendantMenu, file);
    IniFile ini;
    const MenuFile::Reading read = MenuFile::Read(ini, kPendantMenu, "\\DiskOnChip\\");
    QCOMPARE(QString("%1 %2 %3").arg(int(read.result)).arg(read.sectionsRead.join(','), ini.errorKey), expected.section('|', 0, 0));
    QVERIFY(MenuFile::Compose(read.entries, "1.00").endsWith(expected.section('|', 1)));
  }

  void sumOfSizes_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");  // the sum (-1: none), the section recorded
    const QStringList sections = {"A|FILE_SIZE = 2147483647;", "B", "C|APP_NAME = \"\";", "D"};
    QTest::newRow("saturated, a section without a name") << Menu(4, sections) << "2147483647 APPLICATION_INFO3";
    QTest::newRow("damaged count, not read for ever") << Menu(2000000000, sections) << "2147483647 APPLICATION_INFO2000000000";
  }
  void sumOfSizes() {
    QFETCH(QByteArray, file);
    Sandbox box;
    box.write(kPendantMenu, file);
    IniFile ini;
    QTEST(QString::number(MenuFile::SumRegisteredFileSizes(ini, kPendantMenu).value_or(-1)) + ' ' + ini.errorSection, "expected");
  }

  // The bytes of a menu file in the code page. Marked Add: the package record
  // and its names. Still marked Remove: an empty record but the names. Not
  // registered: left out, without a gap in the numbers.
  void compose() {
    AppRecord record{3, "New", "PP_APP\\New\\Added.exe", "PP_APP\\New\\i", "1.20", "NS2.10", 120, 300, "EXE", 0, {}};
    record.subMenuNames[0] = {"JAPANESE", QString::fromUtf8("ツール")};
    const AppEntry added{AppEntry::Add, 1, "Added", {}, record, 1, 0}, stuck{AppEntry::Remove, 1, "Stuck", record, {}, 0, 0};
    QCOMPARE(CodePage::Encode(MenuFile::Compose({AppEntry(), added, stuck}, "1.00")),
             QByteArray("[APPLICATION_INFO]\nVERSION = 1.00\nAPP_NUM = 2\n\n[APPLICATION_INFO1]\nAPP_NAME = Added\nTOPMENU_ID = 3\n"
                        "APP_PATH = \"PP_APP\\New\\Added.exe\"\nSUBMENU_ICONPATH = \"PP_APP\\New\\i\"\nAPP_VER = 1.20\nNS_VER = NS2.10\n"
                        "FILE_SIZE = 120\nAPP_TYPE = EXE\nSYS_STATUS = 0x12c\nAUTO_RUN = TRUE\nONE-TOUCH_RUN = FALSE\n"
                        "SUBMENU_NAME_JAPANESE = \"\x83\x63\x81\x5b\x83\x8b\"\n\n[APPLICATION_INFO2]\nAPP_NAME = Stuck\nTOPMENU_ID = 0\n"
                        "APP_PATH = \"\"\nSUBMENU_ICONPATH = \"\"\nAPP_VER = \nNS_VER = \nFILE_SIZE = 0\nAPP_TYPE = \nSYS_STATUS = 0x00\n"
                        "AUTO_RUN = FALSE\nONE-TOUCH_RUN = FALSE\nSUBMENU_NAME_JAPANESE = \"\x83\x63\x81\x5b\x83\x8b\"\n"));
  }

  void medium_data() {
    // Lines before the usual values of the descriptor T.INI's [APPLICATION_INFO] | of its [MENU_INFO]
    QTest::addColumn<QString>("descriptor");
    QTest::addColumn<QString>("list");  // lines of PP_INSTALL.INI
    // The record: system version, auto-run, executable, icon, the key recorded | the names listed, the bad key
    QTest::addColumn<QString>("expected");
    QTest::newRow("only the first DS") << "SYS_VER = xDSyDS;" << "APP_NUM = 1;APP_NAME1 = T" << "xNSyDS 1 PP_APP\\T\\T.exe PP_APP\\T\\i :|T";
    QTest::newRow("NS_VER when SYS_VER is absent") << "SYS_VER =;NS_VER = NS3;" << "APP_NUM = 0" << "NS3 1 PP_APP\\T\\T.exe PP_APP\\T\\i :|";
    QTest::newRow("AUTO_RUN only TRUE, FOLDER_NAME") << "AUTO_RUN = true;FOLDER_NAME = F;" << "APP_NUM = 0" << "NS2 0 PP_APP\\F\\T.exe PP_APP\\F\\i :|";
    QTest::newRow("no version") << "SYS_VER =;" << "APP_NUM = 2;APP_NAME1 = T" << " 1 PP_APP\\T\\T.exe PP_APP\\T\\i APPLICATION_INFO:NS_VER|T APP_NAME2";
    QTest::newRow("name case differs") << "APP_NAME = t;" << "APP_NUM = 2;APP_NAME1 = T;APP_NAME2 = ..\\A" << "refused APPLICATION_INFO:APP_NAME|T APP_NAME2";
    QTest::newRow("folder climbs out") << "FOLDER_NAME = ..\\..;" << "APP_NUM = 0" << "refused APPLICATION_INFO:FOLDER_NAME|";
    QTest::newRow("folder of the installer's") << "FOLDER_NAME = pp_work;" << "APP_NUM = 0" << "refused APPLICATION_INFO:FOLDER_NAME|";
    QTest::newRow("icon with a path") << "|SUBMENU_ICON = \"..\\x.bmp\";" << "APP_NUM = 0" << "refused MENU_INFO:SUBMENU_ICON|";
  }
  void medium() {
    QFETCH(QString, descriptor);
    QFETCH(QString, list);
    Sandbox box;
    box.write(kMedium + "\\T.INI", QString("[APPLICATION_INFO]\n" + descriptor.section('|', 0, 0) + "APP_NAME = T\nAPP_VER = 2\nSYS_VER = DS2\n"
                                           "APP_TYPE = T\nAUTO_RUN = TRUE\nFILE_SIZE = 1\nSYS_STATUS = 3\n[MENU_INFO]\n" +
                                           descriptor.section('|', 1) + "TOPMENU_ID = 4\nSUBMENU_ICON = \"i\"\n").replace(';', '\n').toUtf8());
    box.write(kMedium + "\\PP_INSTALL.INI", "[DefaultSetting]\n" + list.replace(';', '\n').toUtf8());
    // The pendant's own files and descriptors without an archive are passed over.
    for (const QString file : {"T.ZIP", "B.INI", "c.ini", "C.zip", "PP_MENU.INI", "PP_MENU.ZIP", "pp_install.ini", "pp_install.ZIP", "PP_INSTALL.ZIP"})
      box.write(kMedium + '\\' + file, "x");
    const std::optional<QList<PackageFiles::Listed>> descriptors = PackageFiles::Descriptors(kMediumRoot);
    QString found;
    for (const auto &[index, name] : descriptors.value()) found += QString("%1:%2 ").arg(index).arg(name);
    QCOMPARE(found, QString("1:c 5:T "));
    IniFile ini;
    const PackageFiles::Descriptor read = PackageFiles::ReadDescriptor(ini, kMediumRoot, "T");
    // The list's names are read without touching the last-error record.
    const PackageFiles::InstallList listed = PackageFiles::ReadInstallList(ini, kMediumRoot);
    const AppRecord r = read.record.value_or(AppRecord());
    const QStringList got = {read.record ? QStringList{r.systemVersion, QString::number(r.autoRunCapable), r.appPath, r.iconPath}.join(' ') : "refused",
                             ini.errorSection + ':' + ini.errorKey + '|' + QStringList(listed.names + QStringList{listed.badKey}).join(' ').trimmed()};
    QTEST(got.join(' '), "expected");
  }

  void safeName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::addColumn<bool>("usable");  // as an application's own folder
    for (const char *name : {"Tool", "ツール", "a.b", "with space"}) QTest::newRow(name) << QString::fromUtf8(name) << true << true;
    for (const char *name : {"", " .", "PP_MENU.ini", "pp_work", "PP_WORK.FLG", ".hidden", "LPT1", "nul.txt"})
      QTest::newRow(name) << QString::fromUtf8(name) << true << false;
    for (const char *name : {"a\\b", "a/b", "C:x", "..", "x..y", ".", "a\x01", "a\x7f", "a\xc2\x85", "a*", "a?b", "a\"b", "a|b", "a<b"})
      QTest::newRow(name) << QString::fromUtf8(name) << false << false;
    QTest::newRow("65 characters") << QString(65, 'x') << false << false;
  }
  void safeName() {
    QFETCH(QString, name);
    QTEST(IsSafePathName(name), "safe");
    QTEST(IsUsableFolderName(name), "usable");
  }
};

QTEST_GUILESS_MAIN(TestFiles)
#include "TestFiles.moc"
