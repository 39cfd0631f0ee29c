#pragma once
// The pendant's unpacked copy of the applications on its flash disk: removing
// folders, the space left, and the marker that tells an interrupted change.
#include <QString>
#include <vector>

namespace PendantFolder {

// What a removal did, step by step, in the order it happened: every file
// before its folder, subfolders before their parent.
struct RemovalStep {
  enum Kind { FileRemoved, FolderRemoved, FolderKept };
  Kind kind;
  QString path;  // CE path
};
struct TreeRemoval {
  bool removed = true;  // the folder itself is gone (or was never there)
  std::vector<RemovalStep> steps;
};
// Deletes a folder and everything below it. A subfolder left behind shows as
// the failure of its parent.
TreeRemoval RemoveTree(const QString &cePath);

// Whole KiB free on the volume that holds the path, held to the int range. A
// volume that cannot be asked counts as full, so that nothing is installed
// onto a disk whose space is unknown.
int FreeSpaceKiB(const QString &cePath);

// While applications are unpacked into the folder and its PP_MENU.INI does
// not describe them yet, a marker file there says so. The scope writes it
// (flushed, when the folder exists) and, at its end, flushes the volume and
// removes it again: only an interruption (a power loss) leaves it behind, and
// the next start then rebuilds the folder instead of trusting a menu file.
class Change {
 public:
  explicit Change(const QString &appFolder);
  ~Change();
  Change(const Change &) = delete;
  Change &operator=(const Change &) = delete;

  static bool Interrupted(const QString &appFolder);

 private:
  QString m_folder;
};

}  // namespace PendantFolder
