#pragma once
// The pendant's unpacked copy of the applications on its flash disk: removing
// folders and the space left.
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

// Bytes in the files below a folder.
qint64 TreeBytes(const QString &cePath);

// Whole KiB free on the volume that holds the path, held to the int range. A
// volume that cannot be asked counts as full, so that nothing is installed
// onto a disk whose space is unknown.
int FreeSpaceKiB(const QString &cePath);

}  // namespace PendantFolder
