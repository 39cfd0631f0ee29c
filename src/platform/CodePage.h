#pragma once
// The device's ANSI code page (CP_ACP of the pendant): CP932 unless
// configured otherwise. INI files, the menu comparison, the one-touch byte
// length and ZIP entry names without the UTF-8 flag all go through it.
// Kept in the process environment (PP_CODEPAGE) for the extraction library.

#include <QByteArray>
#include <QString>

namespace CodePage {

inline constexpr const char *kDefault = "CP932";

bool IsKnown(const QByteArray &name);
// False (and nothing changed) when the name is not a code page we can convert.
bool SetName(const QByteArray &name);
QByteArray Name();

// Characters the code page cannot hold become "?", as the platform's
// conversion without a default character does.
QByteArray Encode(const QString &text);
// Bytes that are not valid in the code page become a replacement character.
QString Decode(const QByteArray &bytes);

}  // namespace CodePage
