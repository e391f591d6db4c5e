#include "cli/filenamecodec.h"

namespace {

constexpr char16_t escapeBase = 0xDC00;

/// Length of the well-formed UTF-8 sequence at the start of the bytes (RFC 3629: no overlong
/// forms, no surrogates, nothing past U+10FFFF); 0 when there is none.
int sequenceLength(const uchar* bytes, int available)
{
    const uchar lead = bytes[0];
    if (lead < 0x80)
        return 1;
    int length = 0;
    uchar low = 0x80;
    uchar high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (available < length || bytes[1] < low || bytes[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if (bytes[i] < 0x80 || bytes[i] > 0xBF)
            return 0;
    }
    return length;
}

bool isEscapedByte(const QChar* in, int i)
{
    const char16_t code = in[i].unicode();
    return code >= escapeBase + 0x80 && code <= escapeBase + 0xFF && (i == 0 || !in[i - 1].isHighSurrogate());
}

} // namespace

void FileNameCodec::install()
{
    QTextCodec* locale = QTextCodec::codecForLocale();
    if (locale && locale->mibEnum() == 106) // UTF-8
        QTextCodec::setCodecForLocale(new FileNameCodec(locale)); // Qt owns and deletes every codec
}

QByteArray FileNameCodec::name() const
{
    return QByteArrayLiteral("UTF-8 with escaped bytes");
}

int FileNameCodec::mibEnum() const
{
    return 3106; // private: lookups by the UTF-8 number still find the plain codec
}

QString FileNameCodec::convertToUnicode(const char* in, int length, ConverterState*) const
{
    const auto* bytes = reinterpret_cast<const uchar*>(in);
    QString text;
    text.reserve(length);
    int start = 0; // of the valid run not yet appended
    for (int i = 0; i < length;) {
        const int valid = sequenceLength(bytes + i, length - i);
        if (valid > 0) {
            i += valid;
            continue;
        }
        text.append(QString::fromUtf8(in + start, i - start));
        text.append(QChar(escapeBase + bytes[i]));
        start = ++i;
    }
    text.append(QString::fromUtf8(in + start, length - start));
    return text;
}

QByteArray FileNameCodec::convertFromUnicode(const QChar* in, int length, ConverterState* state) const
{
    QByteArray bytes;
    int start = 0; // of the run the UTF-8 codec encodes
    for (int i = 0; i < length; ++i) {
        if (!isEscapedByte(in, i) || (i == 0 && state && state->remainingChars))
            continue;
        bytes.append(m_utf8->fromUnicode(in + start, i - start, state));
        bytes.append(char(in[i].unicode() - escapeBase));
        start = i + 1;
    }
    bytes.append(m_utf8->fromUnicode(in + start, length - start, state));
    return bytes;
}
