#pragma once
// The nine columns of the application list and the texts of one row, shared
// by the Qt list and pp-install's --list.
#include <QString>
#include <QStringList>
#include <Qt>
#include <array>

struct AppEntry;

struct ListColumn {
  const char16_t *header;
  Qt::Alignment alignment;
  int width;  // pixels
};

extern const std::array<ListColumn, 9> kListColumns;

// Column texts of the entry shown in row `index` (0-based).
QStringList ListRowTexts(const AppEntry &entry, int index);
QString OperationText(int operation);
