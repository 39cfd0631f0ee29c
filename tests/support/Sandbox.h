#pragma once
// A temporary device root for one test: DiskOnChip and a CF card as host
// folders, with helpers to lay out and inspect files by their CE paths.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class Sandbox {
 public:
  Sandbox();  // creates the root and makes it the device root
  ~Sandbox();

  QString root() const { return m_dir.path(); }
  // Host path of a CE path (created folders keep the case given here).
  QString host(const QString &cePath) const;

  void mkdir(const QString &cePath) const;
  void write(const QString &cePath, const QByteArray &bytes) const;  // creates parent folders
  QByteArray read(const QString &cePath) const;
  bool exists(const QString &cePath) const;
  // Every file below a CE folder, as relative paths with "/" (sorted).
  QStringList tree(const QString &cePath) const;
  // Puts the extraction library built here at \DiskOnChip\unzip.dll, or the
  // one that lacks UnZipGetVersion, as a broken or foreign library would.
  bool installUnzip(bool withVersion = true) const;

 private:
  QTemporaryDir m_dir;
};

// Everything below a host folder, relative path -> contents; a folder reads
// as "<folder>" unless only files are asked for.
QMap<QString, QByteArray> Snapshot(const QString &hostFolder, bool filesOnly = false);
