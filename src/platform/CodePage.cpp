#include "CodePage.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <array>
#include <memory>

namespace CodePage {
namespace {

constexpr const char *kVariable = "PP_CODEPAGE";

// One converter pair per code page, built once: opening a converter costs far
// more than converting one INI line.
struct Converter {
  explicit Converter(const QByteArray &codePage)
      : name(codePage),
        decoder(codePage.constData(), QStringConverter::Flag::Stateless),
        encoder(codePage.constData(), QStringConverter::Flag::Stateless) {
    // Some converters swap control characters in 0x00-0x7F (0x1A, 0x1C, 0x7F
    // in the IBM tables); the pendant's conversion maps that range to itself.
    for (char16_t i = 0; i < 128; ++i) fromConverter[i] = i;
    QByteArray ascii;
    for (int i = 0; i < 128; ++i) ascii.append(char(i));
    const QString decoded = decoder.decode(ascii);
    // What the converter writes for a character it lacks (ICU's table
    // substitute, not always flagged as an error).
    substitute = QStringEncoder(codePage.constData(), QStringConverter::Flag::Stateless).encode(QString(QChar(0xFFFF)));
    if (decoded.size() == 128) {
      for (int i = 0; i < 128; ++i) {
        const char16_t unit = decoded[i].unicode();
        if (unit < 128) fromConverter[unit] = char16_t(i);
      }
    }
  }

  QByteArray name;
  QStringDecoder decoder;
  QStringEncoder encoder;
  std::array<char16_t, 128> fromConverter{};
  QByteArray substitute;
};

Converter &Current() {
  static std::unique_ptr<Converter> converter;
  const QByteArray name = Name();
  if (!converter || converter->name != name) converter = std::make_unique<Converter>(name);
  return *converter;
}

bool IsAscii(const QByteArray &bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool IsAscii(QStringView text) {
  for (QChar c : text)
    if (c.unicode() >= 0x80) return false;
  return true;
}

}  // namespace

bool IsKnown(const QByteArray &name) {
  return !name.isEmpty() && QStringEncoder(name.constData()).isValid() && QStringDecoder(name.constData()).isValid();
}

bool SetName(const QByteArray &name) {
  if (!IsKnown(name)) return false;
  qputenv(kVariable, name);
  return true;
}

QByteArray Name() {
  const QByteArray configured = qgetenv(kVariable);
  return configured.isEmpty() ? QByteArray(kDefault) : configured;
}

QByteArray Encode(const QString &text) {
  if (IsAscii(text)) return text.toLatin1();
  Converter &converter = Current();
  // Encode piece by piece: ASCII as itself, every other character alone, so
  // that each character the code page lacks becomes one "?".
  QByteArray bytes;
  bytes.reserve(text.size() * 2);
  for (qsizetype i = 0; i < text.size();) {
    const QChar c = text[i];
    if (c.unicode() < 0x80) {
      bytes.append(char(c.unicode()));
      ++i;
      continue;
    }
    const qsizetype width = (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
    const QByteArray piece = converter.encoder.encode(QStringView(text).mid(i, width));
    const bool failed = converter.encoder.hasError() || piece.isEmpty() || piece == converter.substitute;
    bytes += failed ? QByteArray("?") : piece;
    // The error mark is sticky and resetting an ICU converter closes it, so
    // a converter that failed once is replaced by a fresh one.
    if (converter.encoder.hasError())
      converter.encoder = QStringEncoder(converter.name.constData(), QStringConverter::Flag::Stateless);
    i += width;
  }
  return bytes;
}

QString Decode(const QByteArray &bytes) {
  if (IsAscii(bytes)) return QString::fromLatin1(bytes);
  Converter &converter = Current();
  QString text = converter.decoder.decode(bytes);
  for (QChar &c : text)
    if (c.unicode() < 128) c = QChar(converter.fromConverter[c.unicode()]);
  return text;
}

}  // namespace CodePage
