#pragma once
// The extraction command as the installer composes it:
//   efq "\Storage Card\PP_APP\Tool.ZIP" \DiskOnChip\PP_APP\Tool\  (final backslash included)
// Anything else is refused; the library never guesses what a caller meant.
#include <QString>
#include <QStringView>
#include <optional>

struct ExtractCommand {
  QString archive;      // CE path of the archive
  QString destination;  // CE path of the folder to create, without the final backslash
};

// nullopt and a reason in *why when the text is not a well-formed command.
std::optional<ExtractCommand> ParseExtractCommand(QStringView text, QString *why);
