#pragma once
// A temporary device root for one test: DiskOnChip, a CF card and a USB
// memory as host folders, with helpers to lay out and inspect files by their
// CE paths.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class Sandbox {
 public:
  Sandbox();  // creates the root and makes it the device root
  ~Sandbox();

  bool isValid() const { return m_dir.isValid(); }
  QString root() const { return m_dir.path(); }
  // Host path of a CE path (created folders keep the case given here).
  QString host(const QString &cePath) const;

  void mkdir(const QString &cePath) const;
  void write(const QString &cePath, const QByteArray &bytes) const;  // creates parent folders
  QByteArray read(const QString &cePath) const;
  bool exists(const QString &cePath) const;
  // Every file below a CE folder, as relative paths with "/" (sorted).
  QStringList tree(const QString &cePath) const;

 private:
  QTemporaryDir m_dir;
};
