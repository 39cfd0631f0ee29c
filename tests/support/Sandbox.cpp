#include "Sandbox.h"

#include "platform/Device.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

Sandbox::Sandbox() {
  Device::SetRoot(m_dir.path());
  Device::SetFreeBytesOverride(-1);
  for (const char *volume : {"DiskOnChip", "Storage Card"}) QDir(m_dir.path()).mkdir(QString::fromLatin1(volume));
}

Sandbox::~Sandbox() { Device::SetFreeBytesOverride(-1); }

QString Sandbox::host(const QString &cePath) const {
  QString relative = cePath;
  relative.replace(u'\\', u'/');
  while (relative.startsWith(u'/')) relative.remove(0, 1);
  return QDir::cleanPath(m_dir.path() + u'/' + relative);
}

void Sandbox::mkdir(const QString &cePath) const { QDir().mkpath(host(cePath)); }

void Sandbox::write(const QString &cePath, const QByteArray &bytes) const {
  const QString path = host(cePath);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

QByteArray Sandbox::read(const QString &cePath) const {
  QFile file(host(cePath));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Sandbox::exists(const QString &cePath) const { return QFileInfo::exists(host(cePath)); }

QStringList Sandbox::tree(const QString &cePath) const { return Snapshot(host(cePath), true).keys(); }

bool Sandbox::installUnzip(bool withVersion) const {
  const QString target = host(QStringLiteral("\\DiskOnChip\\unzip.dll"));
  QFile::remove(target);
  return QFile::copy(QString::fromUtf8(withVersion ? PP_UNZIP_LIBRARY : PP_UNZIP_NOVERSION_LIBRARY), target);
}

QMap<QString, QByteArray> Snapshot(const QString &hostFolder, bool filesOnly) {
  QMap<QString, QByteArray> tree;
  QDirIterator it(hostFolder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile file(it.next());
    const bool folder = it.fileInfo().isDir() && !it.fileInfo().isSymLink();
    if (folder && filesOnly) continue;
    const QString relative = QDir(hostFolder).relativeFilePath(file.fileName());
    tree.insert(relative, !folder && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<folder>"));
  }
  return tree;
}
