#include "MenuFile.h"

#include "files/NameRules.h"
#include "platform/Device.h"

#include <QRegularExpression>
#include <algorithm>

namespace MenuFile {
namespace {

const QString kInfoSection = QStringLiteral("APPLICATION_INFO");
// What stands before the folder in APP_PATH: "PP_APP\".
constexpr qsizetype kAppPathPrefix = 7;

QString NumberedSection(int number) { return kInfoSection + QString::number(number); }

int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9') return u - u'0';
  if (u >= u'a' && u <= u'f') return u - u'a' + 10;
  if (u >= u'A' && u <= u'F') return u - u'A' + 10;
  return -1;
}

// One registered application from its section, or nullopt with the failure.
std::optional<AppEntry> ReadSection(IniFile &ini, const QString &path, const QString &diskRoot, int number,
                                    Reading &reading) {
  const QString section = NumberedSection(number);
  const QString name = ini.ReadIniString(path, section, QStringLiteral("APP_NAME"));
  if (name.isEmpty() || !IsSafePathName(name)) {
    ini.SetLastError(path, section, QStringLiteral("APP_NAME"));
    reading.result = Reading::Result::FormatError;
    return std::nullopt;
  }
  reading.sectionsRead.append(name);

  const QString appPath = ini.ReadIniString(path, section, QStringLiteral("APP_PATH"));
  const QString folder = FolderFromAppPath(appPath, name);
  // The folder is removed and extracted into later: a path-like one is a
  // format error of the file, never a path.
  const bool pathLike = !IsSafePathName(folder);
  if (pathLike && !reading.leaveOut) {
    ini.SetLastError(path, section, QStringLiteral("APP_PATH"));
    reading.result = Reading::Result::FormatError;
    return std::nullopt;
  }
  // A folder that is no folder of its own, or that another application
  // already claims, would have one application's files replace another's.
  // An application directly in the application folder has nothing of its own
  // to delete; nothing can be unpacked for it either.
  const bool shared = std::any_of(reading.entries.begin(), reading.entries.end(), [&folder](const AppEntry &other) {
    return !folder.isEmpty() && FatKey(other.installed.folder) == FatKey(folder);
  });
  const bool unusable = pathLike || ((!folder.isEmpty() || reading.leaveOut) && (!IsUsableFolderName(folder) || shared));
  if (unusable || !Device::Exists(diskRoot + appPath)) {
    if (reading.leaveOut) {
      reading.leftOut.append(name);
      return AppEntry{};
    }
    if (unusable) ini.SetLastError(path, section, QStringLiteral("APP_PATH"));
    reading.result = unusable ? Reading::Result::FormatError : Reading::Result::MissingExecutable;
    return std::nullopt;
  }

  AppEntry entry;
  entry.registered = 1;
  entry.name = name;
  AppRecord &record = entry.installed;
  record.topMenuId = ini.ReadIniInt(path, section, QStringLiteral("TOPMENU_ID"));
  record.folder = folder;
  record.appPath = appPath;
  record.iconPath = ini.ReadIniString(path, section, QStringLiteral("SUBMENU_ICONPATH"));
  record.appVersion = ini.ReadIniString(path, section, QStringLiteral("APP_VER"));
  record.systemVersion = ini.ReadIniString(path, section, QStringLiteral("NS_VER"));
  record.fileSize = ini.ReadIniInt(path, section, QStringLiteral("FILE_SIZE"));
  record.sysStatus = ParseStatusValue(ini.ReadIniString(path, section, QStringLiteral("SYS_STATUS")));
  record.appType = ini.ReadIniString(path, section, QStringLiteral("APP_TYPE"));
  entry.autoRun = ini.ReadIniString(path, section, QStringLiteral("AUTO_RUN")) == u"TRUE" ? 1 : 0;
  entry.oneTouch = ini.ReadIniString(path, section, QStringLiteral("ONE-TOUCH_RUN")) == u"TRUE" ? 1 : 0;
  ReadSubmenuNames(ini, path, section, record.subMenuNames);

  // A required key of this section or an earlier one was missing or empty.
  if (!ini.errorKey.isEmpty()) {
    reading.result = Reading::Result::FormatError;
    return std::nullopt;
  }
  return entry;
}

void AppendSection(QString &text, int number, const AppEntry &entry) {
  static const AppRecord kEmpty;
  // The values, and the record that gives the language pairs.
  const AppRecord *values = &entry.installed;
  const AppRecord *names = &entry.installed;
  if (entry.operation == AppEntry::Add) values = names = &entry.package;
  if (entry.operation == AppEntry::Remove) values = &kEmpty;
  const AppRecord &r = *values;
  auto line = [&text](const char *key, const QString &value) {
    text += QLatin1String(key) + QStringLiteral(" = ") + value + u'\n';
  };
  auto quoted = [](const QString &value) { return u'"' + value + u'"'; };
  text += QStringLiteral("\n[APPLICATION_INFO%1]\n").arg(number);
  line("APP_NAME", entry.name);
  line("TOPMENU_ID", QString::number(r.topMenuId));
  line("APP_PATH", quoted(r.appPath));
  line("SUBMENU_ICONPATH", quoted(r.iconPath));
  line("APP_VER", r.appVersion);
  line("NS_VER", r.systemVersion);
  line("FILE_SIZE", QString::number(r.fileSize));
  line("APP_TYPE", r.appType);
  line("SYS_STATUS", QString::asprintf("0x%02x", static_cast<unsigned>(r.sysStatus)));
  line("AUTO_RUN", entry.autoRun ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
  line("ONE-TOUCH_RUN", entry.oneTouch ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
  for (const SubMenuName &pair : names->subMenuNames) {
    if (pair.language.isEmpty()) continue;
    text += QStringLiteral("SUBMENU_NAME_") + pair.language + QStringLiteral(" = ") + quoted(pair.name) + u'\n';
  }
}

}  // namespace

Reading Read(IniFile &ini, const QString &path, const QString &diskRoot, bool leaveOut) {
  Reading reading;
  reading.leaveOut = leaveOut;
  if (!Device::Exists(path)) {
    reading.result = Reading::Result::Absent;
    return reading;
  }
  IniFile::Batch batch(ini);
  // Its value is not checked, but a missing VERSION fails the first section.
  ini.ReadIniString(path, kInfoSection, QStringLiteral("VERSION"));
  const int count = ini.ReadIniInt(path, kInfoSection, QStringLiteral("APP_NUM"));
  if (count < 1 || count > kMaxApplications) {
    reading.result = Reading::Result::BadCount;
    return reading;
  }
  for (int i = 1; i <= count; ++i) {
    std::optional<AppEntry> entry = ReadSection(ini, path, diskRoot, i, reading);
    if (!entry) {
      reading.entries.clear();
      return reading;
    }
    if (!entry->name.isEmpty()) reading.entries.push_back(std::move(*entry));
  }
  return reading;
}

QString Compose(const std::vector<AppEntry> &entries, const QString &version) {
  const auto registered = std::count_if(entries.begin(), entries.end(), [](const AppEntry &e) { return e.registered; });
  QString text = QStringLiteral("[APPLICATION_INFO]\n");
  text += QStringLiteral("VERSION = %1\n").arg(version);
  text += QStringLiteral("APP_NUM = %1\n").arg(registered);
  int number = 1;
  for (const AppEntry &entry : entries) {
    if (entry.registered) AppendSection(text, number++, entry);
  }
  return text;
}

std::optional<int> SumRegisteredFileSizes(IniFile &ini, const QString &path) {
  IniFile::Batch batch(ini);
  const int count = ini.ReadIniInt(path, kInfoSection, QStringLiteral("APP_NUM"));
  if (count < 1) return std::nullopt;
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
      if (readable) ini.SetLastError(path, NumberedSection(count), QStringLiteral("APP_NAME"));
      break;
    }
    const QString section = NumberedSection(i);
    if (!ini.ReadIniString(path, section, QStringLiteral("APP_NAME")).isEmpty())
      total += ini.ReadIniInt(path, section, QStringLiteral("FILE_SIZE"));
  }
  return SaturatedKiB(total);
}

QList<Registration> Registrations(IniFile &ini, const QString &path) {
  IniFile::Batch batch(ini);
  QList<Registration> found;
  const int count = ini.ReadIniInt(path, kInfoSection, QStringLiteral("APP_NUM"));
  for (int k = 1; k <= count; ++k) {
    const QString section = NumberedSection(k);
    const QString name = ini.ReadIniString(path, section, QStringLiteral("APP_NAME"));
    if (name.isEmpty()) break;
    found.append({name, FolderFromAppPath(ini.ReadIniString(path, section, QStringLiteral("APP_PATH")), name)});
  }
  return found;
}

QString FolderFromAppPath(const QString &appPath, const QString &name) {
  const QString rest = appPath.mid(kAppPathPrefix);
  const qsizetype folderLength = rest.size() - (name.size() + 4) - 1;
  return folderLength > 0 ? rest.left(folderLength) : QString();
}

int ParseStatusValue(const QString &text) {
  if (!text.startsWith(QStringLiteral("0x"))) return ParseLeadingInt(text);
  // Taken as 32 bits, so that every value written reads back as itself.
  quint64 value = 0;
  for (qsizetype i = 2; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0) break;
    value = qMin<quint64>(value * 16 + static_cast<quint64>(digit), 0xFFFFFFFFu);
  }
  return static_cast<int>(static_cast<quint32>(value));
}

void ReadSubmenuNames(IniFile &ini, const QString &path, const QString &section, SubMenuNames &pairs) {
  size_t next = 0;
  for (int i = 0; i < kSubMenuPairs; ++i) {
    const QString language = QString::fromUtf16(kLanguageNames[i]);
    const QString value = ini.ReadIniString(path, section, QStringLiteral("SUBMENU_NAME_") + language);
    if (value.isEmpty()) continue;
    while (next < pairs.size() && !pairs[next].language.isEmpty()) ++next;
    if (next == pairs.size()) break;
    pairs[next++] = {language, value};
  }
}

}  // namespace MenuFile
