#include "cli/terminaltext.h"

namespace TerminalText {

namespace {

bool isBidiControl(char16_t code)
{
    return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

QString escaped(char16_t code)
{
    return code < 0x100 ? QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'))
                        : QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
}

} // namespace

QString printable(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            shown.append(c).append(text.at(++i));
        else if (code >= 0xDC80 && code <= 0xDCFF)
            shown.append(escaped(code - 0xDC00));
        else if (c.category() == QChar::Other_Control || c.isSurrogate() || isBidiControl(code))
            shown.append(escaped(code));
        else
            shown.append(c);
    }
    return shown;
}

} // namespace TerminalText
