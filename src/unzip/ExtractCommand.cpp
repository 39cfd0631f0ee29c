#include "ExtractCommand.h"

namespace {
constexpr QStringView kVerb = u"efq";
}

std::optional<ExtractCommand> ParseExtractCommand(QStringView text, QString *why) {
  auto refuse = [why](const char *reason) -> std::optional<ExtractCommand> {
    *why = QString::fromLatin1(reason);
    return std::nullopt;
  };
  if (!text.startsWith(kVerb) || text.size() < kVerb.size() + 2 || text[kVerb.size()] != u' ')
    return refuse("the command does not start with 'efq '");
  QStringView rest = text.mid(kVerb.size() + 1);
  if (!rest.startsWith(u'"')) return refuse("the archive path is not in double quotes");
  const qsizetype close = rest.indexOf(u'"', 1);
  if (close < 0) return refuse("the archive path has no closing double quote");
  ExtractCommand command;
  command.archive = rest.mid(1, close - 1).toString();
  if (command.archive.trimmed().isEmpty()) return refuse("the archive path is empty");
  rest = rest.mid(close + 1);
  if (!rest.startsWith(u' ')) return refuse("no blank between the archive path and the destination");
  rest = rest.mid(1);
  if (rest.isEmpty()) return refuse("the destination folder is missing");
  if (!rest.endsWith(u'\\')) return refuse("the destination folder does not end in a backslash");
  if (rest.contains(u'"')) return refuse("the destination folder contains a double quote");
  rest.chop(1);
  if (rest.trimmed().isEmpty()) return refuse("the destination folder is missing");
  command.destination = rest.toString();
  return command;
}
