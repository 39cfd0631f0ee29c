#include "FuzzTargets.h"

#include "../tests/support/MediumBuilder.h"
#include "../tests/support/Paths.h"
#include "../tests/support/Sandbox.h"
#include "app/EntryList.h"
#include "files/MenuFile.h"
#include "files/NameRules.h"
#include "files/PackageFiles.h"
#include "platform/CodePage.h"
#include "platform/Device.h"
#include "unzip/ExtractCommand.h"

#include <QDir>
#include <QRegularExpression>
#include <vector>

// Designated initializers leave the other members at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

extern "C" int UnZip(void *window, const char16_t *command, char *output, unsigned int outputSize);

namespace FuzzTargets {

// A composed menu file that the reader's rules give back as it is: held by
// the code page, and every value short, without a quote, "=" or "[" (a key or
// a header would be found in it), and without a blank unless it is quoted.
static bool Plain(const QString &text) {
  static const QRegularExpression line(QStringLiteral(R"(^(\[.*\]|[A-Z_-]+ = ("[^"=\[\n]{0,99}"|[^" =\[\n]{0,99}))?$)"),
                                       QRegularExpression::MultilineOption);
  return CodePage::Decode(CodePage::Encode(text)) == text && QString(text).remove(line).remove(u'\n').isEmpty();
}

QString IniInput(const QByteArray &bytes) {
  Sandbox box;
  box.write(kPendantMenu, bytes);
  IniFile fresh, kept;
  const IniFile::Batch batch(kept);
  // The keys of the first lines, each in the section whose header came last.
  QString section;
  for (const QString &line : CodePage::Decode(bytes).split(u'\n').mid(0, 16)) {
    if (line.startsWith(u'[')) section = line.mid(1).section(u']', 0, 0);
    const QString key = line.section(u'=', 0, 0).trimmed();
    if (kept.ReadIniString(kPendantMenu, section, key) != fresh.ReadIniString(kPendantMenu, section, key) ||
        kept.errorKey + kept.errorSection != fresh.errorKey + fresh.errorSection)
      return QStringLiteral("[%1] %2: a batched read differs from a fresh one").arg(section, key);
  }
  return {};
}

QString MenuInput(const QByteArray &bytes) {
  Sandbox box;
  for (const char *exe : {"\\Tool\\Tool.exe", "\\Alpha\\Alpha.exe", "\\Beta\\Beta.exe", "\\ConvTrack\\Conveyor.exe"})
    box.write(kPendant + exe, "MZ");
  box.write(kPendantMenu, bytes);
  IniFile ini, again;
  const MenuFile::Reading first = MenuFile::Read(ini, kPendantMenu, "\\DiskOnChip\\");
  if (first.result != MenuFile::Reading::Result::Read) return first.entries.empty() ? QString() : QStringLiteral("a failed read kept entries");
  qint64 total = 0;
  for (const AppEntry &entry : first.entries) {
    if (!IsSafePathName(entry.name) || !IsSafePathName(entry.installed.folder)) return QStringLiteral("read: ") + entry.name;
    total += entry.installed.fileSize;
  }
  if (MenuFile::SumRegisteredFileSizes(ini, kPendantMenu) != SaturatedKiB(total)) return QStringLiteral("another sum of sizes");
  const QString text = MenuFile::Compose(first.entries, QStringLiteral("1.00"));
  if (!Plain(text) || !IniFile::WriteTextFile(kPendantMenu, text)) return {};
  const MenuFile::Reading second = MenuFile::Read(again, kPendantMenu, "\\DiskOnChip\\");
  if (second.result != MenuFile::Reading::Result::Read || MenuFile::Compose(second.entries, QStringLiteral("1.00")) != text)
    return QStringLiteral("a composed menu file reads back as another:\n") + text;
  return {};
}

QString DescriptorsInput(const QByteArray &bytes) {
  Sandbox box;
  // Latin-1 holds every byte as it is.
  const QStringList parts = QString::fromLatin1(bytes).split(QStringLiteral("\n%%\n"));
  const QStringList files = {QStringLiteral("Tool.INI"), QStringLiteral("PP_INSTALL.INI"), QStringLiteral("Beta.INI")};
  for (qsizetype i = 0; i < parts.size() && i < files.size(); ++i) box.write(kMedium + u'\\' + files[i], parts[i].toLatin1());
  for (const char *archive : {"\\Tool.ZIP", "\\Beta.ZIP"}) box.write(kMedium + QLatin1String(archive), "PK");
  IniFile ini;
  PackageFiles::ReadInstallList(ini, kMediumRoot);
  EntryList entries;
  entries.Append({.registered = 1, .name = QStringLiteral("Tool"), .installed = {.appVersion = QStringLiteral("1.00")}});
  for (const PackageFiles::Listed &listed : PackageFiles::Descriptors(kMediumRoot).value_or(QList<PackageFiles::Listed>())) {
    const std::optional<AppRecord> record = PackageFiles::ReadDescriptor(ini, kMediumRoot, listed.name).record;
    if (record && (record->folder.isEmpty() || !IsSafePathName(record->folder))) return QStringLiteral("the folder ") + record->folder;
    if (record && listed.name == entries.At(0)->name) entries.At(0)->package = *record;
    else if (record) entries.Append({.name = listed.name, .package = *record});
  }
  for (int i = 0, before = 0; i < entries.Count(); ++i) {
    before = entries.RequiredSpace(true);
    entries.SetOperation(i, AppEntry::Add);
    if (const AppEntry &entry = *entries.At(i); entry.operation == AppEntry::Add && !entry.registered && entry.package.fileSize >= 0 &&
                                                entries.RequiredSpace(true) < before)
      return QStringLiteral("adding %1 made the required space %2 from %3").arg(entry.name).arg(entries.RequiredSpace(true)).arg(before);
  }
  return {};
}

QString UnzipInput(const QByteArray &bytes) {
  Sandbox box;
  // The device root is a folder in the sandbox, so that a write beside it
  // shows too; little room, so that an archive claiming much is refused.
  Device::SetRoot(box.host(QStringLiteral("d")));
  Device::SetFreeBytesOverride(1 << 20);
  box.write(QStringLiteral("d") + kMedium + QStringLiteral("\\Tool.ZIP"), MakeZip(QMap<QString, QByteArray>{{"Tool.exe", "MZ"}, {"a/b", "c"}}));
  box.write(QStringLiteral("d") + kMedium + QStringLiteral("\\Input.ZIP"), bytes);
  box.mkdir(QStringLiteral("d") + kPendant);
  // As a C caller hands it over: up to the first NUL.
  QString why, command = QString::fromUtf8(bytes.startsWith("efq") ? bytes : "efq \"\\Storage Card\\PP_APP\\Input.ZIP\" \\DiskOnChip\\PP_APP\\Input\\")
                             .section(QChar(0), 0, 0);
  QMap<QString, QByteArray> before = Snapshot(box.root());
  // A short buffer for some inputs: the report is cut, never overrun.
  std::vector<char> output(bytes.size() % 2 ? 96 : 4096);
  const int result = UnZip(nullptr, reinterpret_cast<const char16_t *>(command.utf16()), output.data(), output.size());
  if (std::find(output.begin(), output.end(), '\0') == output.end() || QString::fromUtf8(output.data()).toUtf8() != output.data())
    return QStringLiteral("the report is no terminated UTF-8 text");
  const auto parsed = result == 0 ? ParseExtractCommand(command, &why) : std::nullopt;
  const QString destination =
      parsed ? QDir(box.root()).relativeFilePath(Device::MapPath(parsed->destination).value_or(box.root())) : QString();
  QMap<QString, QByteArray> after = Snapshot(box.root());
  if (result == 0 && after.value(destination) != "<folder>") return QStringLiteral("success without the destination");
  // A success may write below the destination and make the folders that hold
  // it; nothing else changes.
  for (QMap<QString, QByteArray> *tree : {&before, &after})
    tree->removeIf([&](auto it) {
      return !destination.isEmpty() && ((it.key() + '/').startsWith(destination + '/') || (destination + '/').startsWith(it.key() + '/'));
    });
  if (after != before) return QStringLiteral("%1 changed the device: %2").arg(command, output.data());
  return {};
}

}  // namespace FuzzTargets
