#pragma once

#include <QTextCodec>

/// UTF-8 that keeps every byte: a byte that is not part of valid UTF-8 becomes the lone
/// surrogate U+DC00 + byte and turns back into that byte, so that a file name which is not valid
/// UTF-8 survives QFile::decodeName and QFile::encodeName (folder listings, the command line,
/// the plugin's fopen) instead of being lost to U+FFFD. TerminalText shows such bytes as "\xff".
class FileNameCodec : public QTextCodec
{
public:
    /// Makes it the locale codec when the locale's own is UTF-8; any other is left alone.
    static void install();

    QByteArray name() const override;
    int mibEnum() const override;

protected:
    QString convertToUnicode(const char* in, int length, ConverterState* state) const override;
    QByteArray convertFromUnicode(const QChar* in, int length, ConverterState* state) const override;

private:
    explicit FileNameCodec(QTextCodec* utf8) : m_utf8(utf8) {}

    QTextCodec* m_utf8;
};
