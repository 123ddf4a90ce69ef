// The parsing follows the desktop's profile reader closely, so that a file edited by hand
// reads back here as it would there. The document works on UTF-8 bytes: a line is an
// offset into the decoded file or into one buffer of written lines, and keys are found
// through one flat hash table, because a settings file of two full lists has 65,000
// lines, read and rewritten at every save.
#include "profiledocument.h"

#include "atomicfile.h"
#include "profiledecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace {

bool isBlankByte(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankByte(text[begin]))
        ++begin;
    while (end > begin && isBlankByte(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// FNV-1a over the name with ASCII letters folded, mixed with the section's index, and
// finished as MurmurHash3 does: the table takes the low bits, which FNV alone leaves in
// runs for names like time0, time1, ... and makes the probes cluster.
quint32 nameHash(int section, QByteArrayView name)
{
    quint32 h = 2166136261u ^ quint32(section + 1) * 0x9E3779B1u;
    for (const char c : name)
        h = (h ^ quint8(folded(c))) * 16777619u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (folded(a[i]) != folded(b[i]))
            return false;
    }
    return true;
}

// The section name of a header line, or false when the line is none.
bool sectionName(QByteArrayView line, QByteArrayView *name)
{
    line = trimmed(line);
    if (!line.startsWith('['))
        return false;
    const qsizetype close = line.indexOf(']');
    *name = trimmed(close < 0 ? line.sliced(1) : line.sliced(1, close - 1));
    return true;
}

bool keyName(QByteArrayView line, QByteArrayView *key)
{
    const void *equals = std::memchr(line.data(), '=', size_t(line.size()));
    if (!equals)
        return false;
    const qsizetype at = static_cast<const char *>(equals) - line.data();
    const QByteArrayView name = trimmed(line.first(at));
    if (name.startsWith(';')) // a comment, ";" first after any blanks
        return false;
    *key = name;
    return true;
}

QByteArrayView valueOf(QByteArrayView line)
{
    QByteArrayView v = trimmed(line.sliced(line.indexOf('=') + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.sliced(1, v.size() - 2);
    return v;
}

// Appends text as UTF-8; an unpaired surrogate becomes U+FFFD.
template<typename Bytes>
void appendUtf8(Bytes &out, QStringView text)
{
    const qsizetype old = out.size();
    out.resize(old + text.size() * 3);
    auto *p = reinterpret_cast<unsigned char *>(out.data()) + old;
    const char16_t *s = text.utf16();
    const char16_t *end = s + text.size();
    while (s < end) {
        char32_t c = *s++;
        if (c < 0x80) {
            *p++ = uchar(c);
            continue;
        }
        if (c < 0x800) {
            *p++ = uchar(0xC0 | (c >> 6));
            *p++ = uchar(0x80 | (c & 0x3F));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            if (c <= 0xDBFF && s < end && *s >= 0xDC00 && *s <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (*s++ - 0xDC00);
                *p++ = uchar(0xF0 | (c >> 18));
                *p++ = uchar(0x80 | ((c >> 12) & 0x3F));
                *p++ = uchar(0x80 | ((c >> 6) & 0x3F));
                *p++ = uchar(0x80 | (c & 0x3F));
                continue;
            }
            c = 0xFFFD;
        }
        *p++ = uchar(0xE0 | (c >> 12));
        *p++ = uchar(0x80 | ((c >> 6) & 0x3F));
        *p++ = uchar(0x80 | (c & 0x3F));
    }
    out.resize(p - reinterpret_cast<unsigned char *>(out.data()));
}

using Name = QVarLengthArray<char, 64>;

Name utf8Name(QStringView text)
{
    Name name;
    appendUtf8(name, text);
    return name;
}

// Blanks at either end, or a value that is itself quoted, would not read back unchanged
// unless the whole value is quoted.
bool needsQuotes(QStringView value)
{
    if (value.isEmpty())
        return false;
    const bool quoted = value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    return quoted || blank(value.front()) || blank(value.back());
}

} // namespace

QByteArrayView ProfileDocument::lineBytes(const Line &line) const
{
    return QByteArrayView((line.added ? m_added : m_text).constData() + line.offset, line.size);
}

QByteArrayView ProfileDocument::slotName(const Slot &slot) const
{
    QByteArrayView name;
    if (slot.section < 0)
        sectionName(lineBytes(m_sections[slot.line].lines.front()), &name);
    else
        keyName(lineBytes(m_sections[slot.section].lines[slot.line]), &name);
    return name;
}

int ProfileDocument::find(int section, QByteArrayView name, quint32 hash) const
{
    if (m_slots.empty())
        return -1;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot &slot = m_slots[i];
        if (slot.line < 0)
            return -1;
        if (slot.hash == hash && slot.section == section && sameName(slotName(slot), name))
            return int(i);
    }
}

void ProfileDocument::insert(int section, int line, quint32 hash)
{
    if (size_t(m_used + 1) * 2 > m_slots.size()) {
        std::vector<Slot> old(std::max<size_t>(64, m_slots.size() * 2));
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot &slot : old) {
            if (slot.line < 0)
                continue;
            size_t i = slot.hash & mask;
            while (m_slots[i].line >= 0)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }
    const size_t mask = m_slots.size() - 1;
    size_t i = hash & mask;
    while (m_slots[i].line >= 0)
        i = (i + 1) & mask;
    m_slots[i] = Slot {hash, section, line};
    ++m_used;
}

void ProfileDocument::indexLine(int section, int line)
{
    Section &s = m_sections[section];
    const QByteArrayView bytes = lineBytes(s.lines[line]);
    QByteArrayView key;
    if (keyName(bytes, &key)) {
        const quint32 hash = nameHash(section, key);
        if (find(section, key, hash) < 0) // the first key of a name counts
            insert(section, line, hash);
    }
    if (!trimmed(bytes).isEmpty())
        s.lastContentLine = line;
}

ProfileDocument ProfileDocument::fromDecoded(QByteArray text)
{
    ProfileDocument doc;
    doc.m_text = std::move(text);
    doc.m_sections.emplace_back();
    const char *data = doc.m_text.constData();
    const qsizetype size = doc.m_text.size();
    // Room for a key on every line, so that the table is sized once.
    const qsizetype lines = std::count(data, data + size, '\n') + std::count(data, data + size, '\r');
    doc.m_slots.resize(std::max<size_t>(64, qNextPowerOfTwo(quint64(lines) * 2)));
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        const Line line {start, end - start, false};
        start = end + 1;
        if (end + 1 < size && data[end] == '\r' && data[end + 1] == '\n')
            ++start;

        QByteArrayView name;
        if (sectionName(doc.lineBytes(line), &name)) {
            doc.m_sections.emplace_back();
            doc.m_sections.back().lines.push_back(line);
            const int index = int(doc.m_sections.size() - 1);
            const quint32 hash = nameHash(-1, name);
            if (doc.find(-1, name, hash) < 0) // the first section of a name counts
                doc.insert(-1, index, hash);
            continue;
        }
        Section &current = doc.m_sections.back();
        current.lines.push_back(line);
        doc.indexLine(int(doc.m_sections.size() - 1), int(current.lines.size() - 1));
    }
    return doc;
}

ProfileDocument ProfileDocument::fromText(const QString &text)
{
    QByteArray bytes;
    appendUtf8(bytes, text);
    return fromDecoded(std::move(bytes));
}

ProfileDocument ProfileDocument::fromBytes(const QByteArray &bytes)
{
    return fromDecoded(decodeProfileBytes(bytes));
}

std::optional<ProfileDocument> ProfileDocument::fromFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists())
        return ProfileDocument();
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QFileInfo(path).isDir() ? QStringLiteral("is a folder") : file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return fromBytes(bytes);
}

QString ProfileDocument::value(QStringView section, QStringView key, const QString &fallback) const
{
    const Name sectionBytes = utf8Name(section);
    const QByteArrayView sectionView(sectionBytes.constData(), sectionBytes.size());
    const int s = find(-1, sectionView, nameHash(-1, sectionView));
    if (s < 0)
        return fallback;
    const int sectionIndex = m_slots[s].line;
    const Name keyBytes = utf8Name(key);
    const QByteArrayView keyView(keyBytes.constData(), keyBytes.size());
    const int k = find(sectionIndex, keyView, nameHash(sectionIndex, keyView));
    if (k < 0)
        return fallback;
    const QByteArrayView v =
        valueOf(lineBytes(m_sections[sectionIndex].lines[m_slots[k].line]));
    return QString::fromUtf8(v);
}

int ProfileDocument::addSection(QByteArrayView name)
{
    if (m_sections.empty())
        m_sections.emplace_back();
    const qsizetype offset = m_added.size();
    m_added.append('[').append(name.data(), name.size()).append(']');
    m_sections.emplace_back();
    m_sections.back().lines.push_back(Line {offset, m_added.size() - offset, true});
    const int index = int(m_sections.size() - 1);
    insert(-1, index, nameHash(-1, name));
    return index;
}

ProfileDocument::Line ProfileDocument::appendLine(QByteArrayView key, QStringView value)
{
    // The value stops at a line break: what follows it would read back as a line of its own.
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\r' || value[i] == u'\n') {
            value = value.first(i);
            break;
        }
    }
    const bool quote = needsQuotes(value);
    if (m_added.isEmpty())
        m_added.reserve(m_text.size() + 4096); // a save rewrites about as much as it read
    const qsizetype offset = m_added.size();
    m_added.append(key.data(), key.size()).append('=');
    if (quote)
        m_added.append('"');
    appendUtf8(m_added, value);
    if (quote)
        m_added.append('"');
    return Line {offset, m_added.size() - offset, true};
}

void ProfileDocument::setValue(QStringView section, QStringView key, QStringView value)
{
    const Name sectionBytes = utf8Name(section);
    const QByteArrayView sectionView(sectionBytes.constData(), sectionBytes.size());
    const int s = find(-1, sectionView, nameHash(-1, sectionView));
    const int index = s < 0 ? addSection(sectionView) : m_slots[s].line;

    const Name keyBytes = utf8Name(key);
    const QByteArrayView keyView(keyBytes.constData(), keyBytes.size());
    const quint32 hash = nameHash(index, keyView);
    const int k = find(index, keyView, hash);
    if (k >= 0) {
        // The key keeps the spelling it has in the file; only its value changes.
        const int line = m_slots[k].line;
        QByteArrayView written;
        keyName(lineBytes(m_sections[index].lines[line]), &written);
        const Name spelling(written.begin(), written.end()); // m_added may move while appending
        m_sections[index].lines[line] = appendLine(QByteArrayView(spelling.constData(), spelling.size()), value);
        return;
    }
    const Line line = appendLine(keyView, value);
    Section &target = m_sections[index];
    // Only blank lines follow the last content line, so no key's line number moves.
    const int at = target.lastContentLine + 1;
    target.lines.insert(target.lines.begin() + at, line);
    target.lastContentLine = at;
    insert(index, at, hash);
}

QByteArray ProfileDocument::toUtf8() const
{
    qsizetype total = 0;
    for (const Section &s : m_sections) {
        for (const Line &line : s.lines)
            total += line.size + 2;
    }
    QByteArray bytes(total, Qt::Uninitialized);
    char *p = bytes.data();
    for (const Section &s : m_sections) {
        for (const Line &line : s.lines) {
            std::memcpy(p, lineBytes(line).data(), size_t(line.size));
            p += line.size;
            *p++ = '\r';
            *p++ = '\n';
        }
    }
    return bytes;
}

bool ProfileDocument::save(const QString &path, QString *error) const
{
    return replaceFileAtomically(path, toUtf8(), error);
}
