// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Decoding is per line for 8-bit files because a file may mix encodings: one carried over
// from the Windows version is in code page 932, a save here writes UTF-8, and a hand edit
// may add a line in neither. Only lines that are not UTF-8 pay for a conversion.
#include "profiledecoding.h"

#include <QStringDecoder>

namespace {

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// One line of an 8-bit file that is not UTF-8, appended to out as UTF-8 when code page
// 932 reads it without error, as its own bytes otherwise.
void appendNonUtf8Line(QByteArray &out, const char *data, qsizetype size)
{
    if (QByteArrayView(data, size).isValidUtf8()) {
        out.append(data, size);
        return;
    }
    // Stateless, so that a lead byte at the line's end counts as an error rather than
    // being held back for the next call.
    QStringDecoder sjis("windows-31j", QStringDecoder::Flag::Stateless);
    if (sjis.isValid()) {
        const QString text = sjis(QByteArrayView(data, size));
        if (!sjis.hasError()) {
            out.append(text.toUtf8());
            return;
        }
    }
    out.append(data, size);
}

QByteArray decodeUtf16(QByteArrayView bytes, QStringDecoder::Encoding encoding)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    return QString(decoder(bytes)).toUtf8();
}

// Byte order marks repeated at the start are all dropped, as a UTF-8 file's are, so that
// the saved text reads back the same.
QByteArray withoutLeadingBoms(QByteArray utf8)
{
    qsizetype n = 0;
    while (QByteArrayView(utf8).sliced(n).startsWith("\xEF\xBB\xBF"))
        n += 3;
    return n ? utf8.sliced(n) : utf8;
}

} // namespace

QByteArray decodeProfileBytes(const QByteArray &bytes)
{
    const QByteArrayView all(bytes);
    if (all.startsWith("\xFF\xFE"))
        return withoutLeadingBoms(decodeUtf16(all.sliced(2), QStringDecoder::Utf16LE));
    if (all.startsWith("\xFE\xFF"))
        return withoutLeadingBoms(decodeUtf16(all.sliced(2), QStringDecoder::Utf16BE));
    if (all.startsWith("\xEF\xBB\xBF"))
        return decodeProfileBytes(bytes.sliced(3));
    if (all.isValidUtf8())
        return bytes;

    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 2);
    const char *data = bytes.constData();
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = start;
        while (end < bytes.size() && !isLineEnd(data[end]))
            ++end;
        appendNonUtf8Line(out, data + start, end - start);
        qsizetype next = end;
        while (next < bytes.size() && isLineEnd(data[next]))
            ++next;
        out.append(data + end, next - end);
        start = next;
    }
    return out;
}
