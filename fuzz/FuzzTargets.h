#pragma once
// The bodies of the fuzz targets, shared by the libFuzzer executables
// (FuzzMain.cpp) and by the unit test that replays the committed inputs
// without libFuzzer. Each runs one input against a throw-away device root and
// returns an empty text when every promise it checks held, otherwise what
// was broken.
#include <QByteArray>
#include <QString>

namespace FuzzTargets {

// fuzz_ini: the bytes as an INI file, looked up with the sections and keys
// of its first lines. A read inside a batch gives what a fresh read gives,
// value and last-error record alike.
QString IniInput(const QByteArray &bytes);

// fuzz_menu: the bytes as the pendant's PP_MENU.INI beside a few executables.
// A read that succeeds agrees with the sum of sizes, and when its values
// survive the reader's rules (see Plain), the menu file composed from it
// reads back as entries that compose to the same text.
QString MenuInput(const QByteArray &bytes);

// fuzz_descriptors: the bytes split at lines "%%" into the descriptor
// Tool.INI, the install list PP_INSTALL.INI and the descriptor Beta.INI on
// the medium. A descriptor read gives a safe folder of its own; then, beside
// a registered Tool, each package is marked in turn and one more package to
// add never needs less room, as a sum that wrapped round would.
QString DescriptorsInput(const QByteArray &bytes);

// fuzz_unzip: bytes beginning "efq" are an extraction command (UTF-8)
// against a device holding a real archive; any bytes are also an archive on
// the medium, which the usual command extracts into the pendant's
// application folder. Through UnZip: the report fits the buffer, a failure
// changes nothing in or beside the device root, a success only the
// destination and the folders made to hold it.
QString UnzipInput(const QByteArray &bytes);

}  // namespace FuzzTargets
