// Reading the pendant's menu file PP_MENU.INI into the list model.
#include "app/InstallerEngine.h"
#include "app/StringTable.h"
#include "files/NameRules.h"
#include "platform/Device.h"

#include <QRegularExpression>

#include <new>

namespace {

const QString kInfoSection = QStringLiteral("APPLICATION_INFO");

QString NumberedSection(int number) { return kInfoSection + QString::number(number); }

// SYS_STATUS is written as "0x%02x"; a value in that form is hexadecimal,
// anything else decimal. Taken as 32 bits, so that every value written reads
// back as itself.
int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

int ParseStatusValue(const QString &text) {
  if (!text.startsWith(QStringLiteral("0x"))) return ParseLeadingInt(text);
  quint64 value = 0;
  for (qsizetype i = 2; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = qMin<quint64>(value * 16 + static_cast<quint64>(digit), 0xFFFFFFFFu);
  }
  return static_cast<int>(static_cast<quint32>(value));
}

// The folder of an application from its executable's path, by counting as
// the menu file's other readers do: the characters after the pendant folder
// and before "\name.exe". A count that is not positive gives no folder.
QString FolderFromAppPath(const QString &fullPath, const QString &pendantFolder, const QString &name) {
  const qsizetype relLength = fullPath.size() - (pendantFolder.size() + 1);
  const QString rel = relLength > 0 ? fullPath.right(relLength) : QString();
  const qsizetype folderLength = rel.size() - (name.size() + 4) - 1;
  return folderLength > 0 ? rel.left(folderLength) : QString();
}

}  // namespace

int InstallerEngine::ReadSubmenuNames(const QString &path, const QString &section,
                                      std::array<SubMenuName, kSubMenuPairs> &pairs) {
  size_t next = 0;
  for (int i = 0; i < kSubMenuPairs; ++i) {
    const QString language = QString::fromUtf16(kLanguageNames[i]);
    const QString value = m_ini.ReadIniString(path, section, QStringLiteral("SUBMENU_NAME_") + language);
    if (value.isEmpty()) continue;
    while (next < pairs.size() && !pairs[next].language.isEmpty()) ++next;
    if (next == pairs.size()) break;
    pairs[next++] = {language, value};
  }
  return 1;
}

int InstallerEngine::ReadMenuFile() {
  ClearEntries();
  m_ini.ClearLastError();
  m_strDetail.clear();

  const QString path = PendantMenuPath();
  if (!Device::Exists(path)) {
    m_strStatus = LoadString(3024);
    ShowStatus(2, m_strStatus);
    return 1;
  }

  IniFile::Batch batch(m_ini);
  // Every failure below means a damaged installation: say so, empty the list
  // and wipe the application folders on both sides.
  auto damaged = [&](int alertId) {
    batch.End();
    m_alert.ShowAlert(alertId, m_strDetail);
    ClearEntries();
    RemoveAllAppFiles();
    return 0;
  };
  auto formatFailure = [&]() {
    m_strStatus = LoadString(3008);
    ShowStatus(0, m_strStatus);
    m_strDetail = QStringLiteral("error file :(%1)").arg(path);
    return damaged(2008);
  };

  // Its value is not checked, but a missing VERSION fails the first section.
  m_ini.ReadIniString(path, kInfoSection, QStringLiteral("VERSION"));
  const int count = m_ini.ReadIniInt(path, kInfoSection, QStringLiteral("APP_NUM"));
  if (count < 1 || count > 32) {
    m_strDetail = LoadString(3024);
    ShowStatus(2, m_strDetail);
    return damaged(2001);
  }

  for (int i = 1; i <= count; ++i) {
    const QString section = NumberedSection(i);
    const QString name = m_ini.ReadIniString(path, section, QStringLiteral("APP_NAME"));
    if (name.isEmpty() || !IsSafePathName(name)) {
      m_ini.SetLastError(path, section, QStringLiteral("APP_NAME"));
      return formatFailure();
    }
    ShowStatus(3, QStringLiteral("%1 section read.").arg(name));

    const QString appPath = m_ini.ReadIniString(path, section, QStringLiteral("APP_PATH"));
    const QString fullPath = m_strDiskRoot + appPath;
    const QString folder = FolderFromAppPath(fullPath, m_strAppFolder, name);
    // The folder is removed and extracted into later: a path-like one is a
    // format error of the file, never a path.
    if (!IsSafePathName(folder)) {
      m_ini.SetLastError(path, section, QStringLiteral("APP_PATH"));
      return formatFailure();
    }
    // Like every other damage this fails the read, so that the read stage
    // does not go on as if the pendant's applications were known.
    if (!Device::Exists(fullPath)) {
      m_strDetail = LoadString(3018);
      ShowStatus(0, m_strDetail);
      return damaged(2001);
    }

    AppEntry *entry = new (std::nothrow) AppEntry;
    if (!entry) {
      m_strStatus = LoadString(3014);
      ShowStatus(0, m_strStatus);
      m_strDetail = QStringLiteral("error file :(%1)").arg(path);
      return damaged(2014);
    }
    entry->operation = AppEntry::None;
    entry->registered = 1;
    entry->name = name;

    AppRecord &record = entry->installed;
    record.topMenuId = m_ini.ReadIniInt(path, section, QStringLiteral("TOPMENU_ID"));
    record.folder = folder;
    record.appPath = appPath;
    record.iconPath = m_ini.ReadIniString(path, section, QStringLiteral("SUBMENU_ICONPATH"));
    record.appVersion = m_ini.ReadIniString(path, section, QStringLiteral("APP_VER"));
    record.systemVersion = m_ini.ReadIniString(path, section, QStringLiteral("NS_VER"));
    record.fileSize = m_ini.ReadIniInt(path, section, QStringLiteral("FILE_SIZE"));
    record.sysStatus = ParseStatusValue(m_ini.ReadIniString(path, section, QStringLiteral("SYS_STATUS")));
    record.appType = m_ini.ReadIniString(path, section, QStringLiteral("APP_TYPE"));
    entry->autoRun = m_ini.ReadIniString(path, section, QStringLiteral("AUTO_RUN")) == u"TRUE" ? 1 : 0;
    entry->oneTouch = m_ini.ReadIniString(path, section, QStringLiteral("ONE-TOUCH_RUN")) == u"TRUE" ? 1 : 0;
    ReadSubmenuNames(path, section, record.subMenuNames);

    // A required key of this section or an earlier one was missing or empty.
    if (!m_ini.errorKey.isEmpty()) {
      delete entry;
      return formatFailure();
    }
    AppendEntry(entry);
  }
  return 1;
}

int InstallerEngine::SumRegisteredFileSizes(const QString &path) {
  IniFile::Batch batch(m_ini);
  const int count = m_ini.ReadIniInt(path, kInfoSection, QStringLiteral("APP_NUM"));
  if (count < 1) {
    ShowStatus(2, QStringLiteral("FILE_SIZE_TAG_KEY error."));
    return 0;
  }
  // A damaged count (APP_NUM = 2000000000) must not keep the pendant reading
  // for hours: sections numbered above every header in the file are all
  // missing, so only the record their last read would leave is set.
  int highest = 0;
  QByteArray bytes;
  const bool readable = Device::ReadFile(path, &bytes);
  if (readable) {
    // Tabs and line ends are dropped before a header is looked for.
    bytes.removeIf([](char c) { return c == '\t' || c == '\r' || c == '\n'; });
    static const QRegularExpression header(QStringLiteral("\\[APPLICATION_INFO([1-9][0-9]{0,9})\\]"));
    auto matches = header.globalMatch(QString::fromLatin1(bytes));
    while (matches.hasNext()) highest = qMax(highest, ParseLeadingInt(matches.next().captured(1)));
  }
  qint64 total = 0;
  for (int i = 1; i <= count; ++i) {
    if (i > highest) {
      if (readable) m_ini.SetLastError(path, NumberedSection(count), QStringLiteral("APP_NAME"));
      break;
    }
    const QString section = NumberedSection(i);
    if (!m_ini.ReadIniString(path, section, QStringLiteral("APP_NAME")).isEmpty())
      total += m_ini.ReadIniInt(path, section, QStringLiteral("FILE_SIZE"));
  }
  return SaturatedKiB(total);
}
