// libFuzzer target for the INI reader and writer: any bytes must parse, look up, take a
// write and serialise without a crash, and a written value must read back unchanged.
#include "profiledocument.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    ProfileDocument doc = ProfileDocument::fromBytes(bytes);
    doc.value(QStringLiteral("time"), QStringLiteral("count"), QStringLiteral("not"));
    const QString value = QString::fromUtf8(bytes.left(40)).remove(u'\n').remove(u'\r');
    doc.setValue(QStringLiteral("time2"), QStringLiteral("time0"), value);
    const ProfileDocument again = ProfileDocument::fromBytes(doc.toUtf8());
    if (again.value(QStringLiteral("time2"), QStringLiteral("time0"), QString()) != value)
        std::abort();
    return 0;
}
