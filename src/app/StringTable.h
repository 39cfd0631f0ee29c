#pragma once
// The program's string table: the message catalogue (alerts 2001-2026, status
// texts 3001-3026), the button captions and the settings (1, 2, 4001-4012).
#include <QString>

// The text of a string id; an unknown id gives an empty text.
QString LoadString(int id);
