// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// libFuzzer target for the INI reader and writer: any bytes must parse, look up, take a
// write and serialise without a crash, a written value must read back unchanged (up to a
// line break), and a saved text must read and save back to the same bytes.
#include "profiledocument.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ProfileDocument doc = ProfileDocument::fromBytes(bytes);
    doc.value(QStringLiteral("time"), QStringLiteral("count"), QStringLiteral("not"));
    const QString written = QString::fromUtf8(bytes.left(40));
    doc.setValue(QStringLiteral("time2"), QStringLiteral("time0"), written);
    const QByteArray saved = doc.toUtf8();
    const ProfileDocument again = ProfileDocument::fromBytes(saved);
    const QString value = written.section(u'\n', 0, 0).section(u'\r', 0, 0);
    if (again.value(QStringLiteral("time2"), QStringLiteral("time0"), QString()) != value)
        std::abort();
    if (again.toUtf8() != saved)
        std::abort();
    return 0;
}
