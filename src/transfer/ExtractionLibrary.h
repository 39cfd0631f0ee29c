#pragma once
// The pendant's extraction library "\DiskOnChip\unzip.dll", loaded for one
// operation and unloaded when it goes out of scope.
#include "platform/Outcome.h"
#include "unzip/UnzipApi.h"

#include <QLibrary>
#include <QString>
#include <functional>

class ExtractionLibrary {
 public:
  static const QString kPath;

  ExtractionLibrary() = default;
  ~ExtractionLibrary();
  ExtractionLibrary(const ExtractionLibrary &) = delete;
  ExtractionLibrary &operator=(const ExtractionLibrary &) = delete;

  // Loads exactly that file (no search path, no added prefix or suffix) and
  // looks up its entry points. A library without UnZip fails silently.
  Outcome Load();
  // Runs one extraction command; the library's one-line report of what it
  // did, or why not, goes to *report. progress, when given, is told the bytes
  // written of the archive's unpacked total as the library goes.
  using Progress = std::function<void(qint64 done, qint64 total)>;
  bool Extract(const QString &command, QString *report, const Progress &progress = {});

  // The command that unpacks an archive into folder\name\ (created there).
  static QString Command(const QString &archive, const QString &folder, const QString &name);

 private:
  QLibrary m_library;
  UnZipProc m_unzip = nullptr;
};
