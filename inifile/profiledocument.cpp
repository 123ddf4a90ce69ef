// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Why a table of its own and not a QHash or a scan per key: with 32,767 entries in each
// list, LoadSettings takes 11.6 ms and SaveSettings (which reads the file again) 13.9 ms,
// 0.35-0.42 ms per 1,000 entries at every size from 1,000 up (build/bench/tollwick_bench,
// "LoadSettings and SaveSettings", medians of 9). A scan of the section per key would make
// both quadratic; read the benchmark before replacing the table.
//
// The parsing follows the desktop's profile reader closely, so that a file edited by hand
// reads back here as it would there. The document works on UTF-8 bytes: a line is an
// offset into the decoded file or into one buffer of written lines, because a settings
// file of two full lists has 65,000 lines, read and rewritten at every save.
//
// Keys are found through one small open-addressing table per section. A name ending in a
// number (time0, time1, ...) starts its probe at the slot after its predecessor's, so that
// reading or writing a list in order walks its table and its lines front to back instead
// of jumping through memory: cache misses, not arithmetic, were the cost at full size.
// Each name probes on with a stride of its own, so such runs do not pile up.
#include "profiledocument.h"

#include "atomicfile.h"
#include "profiledecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
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

quint32 finish(quint32 h)
{
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Where a name's probe starts: FNV-1a over the name with ASCII letters folded, finished
// as MurmurHash3 does. A name ending in a decimal number without leading zeros starts at
// the hash of the rest plus the number.
quint32 nameHash(QByteArrayView name)
{
    qsizetype digits = 0;
    while (digits < name.size() && isDigit(name[name.size() - 1 - digits]))
        ++digits;
    const bool numbered =
        digits >= 1 && digits <= 9 && (digits == 1 || name[name.size() - digits] != '0');
    const qsizetype hashed = numbered ? name.size() - digits : name.size();
    quint32 h = 2166136261u;
    for (qsizetype i = 0; i < hashed; ++i)
        h = (h ^ quint8(folded(name[i]))) * 16777619u;
    quint32 number = 0;
    for (qsizetype i = hashed; i < name.size(); ++i)
        number = number * 10 + quint32(name[i] - '0');
    return finish(h) + number;
}

// Probes table (of line or section numbers) for a name; holds(number) tells whether an
// entry is the name's. Returns the entry's position, or the empty one where it would go.
template <typename Holds> size_t probe(const std::vector<qint32> &table, quint32 home, Holds holds)
{
    const size_t mask = table.size() - 1;
    size_t i = home & mask;
    if (table[i] < 0 || holds(table[i]))
        return i;
    // Odd, so that every entry is reached, and scattered, so that a run of numbered names
    // that meets another name does not pile up behind it.
    const size_t stride = finish(home ^ 0x9E3779B9u) | 1;
    do
        i = (i + stride) & mask;
    while (table[i] >= 0 && !holds(table[i]));
    return i;
}

// A table at most two thirds full for names entries.
size_t tableSize(int names)
{
    return qNextPowerOfTwo(quint32(std::max(names, 2)) * 3 / 2);
}

// Grows table before one more name goes in; nameOf(number) reads a name back.
template <typename NameOf> void reserveFor(std::vector<qint32> &table, int used, NameOf nameOf)
{
    if (!table.empty() && size_t(used + 1) * 3 <= table.size() * 2)
        return;
    std::vector<qint32> old(tableSize((used + 1) * 2), -1);
    old.swap(table);
    for (const qint32 number : old) {
        if (number >= 0)
            table[probe(table, nameHash(nameOf(number)), [](qint32) { return false; })] = number;
    }
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
bool headerName(QByteArrayView line, QByteArrayView *name)
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
    qsizetype at = 0; // a plain loop: key lines are too short for memchr to pay
    while (at < line.size() && line[at] != '=')
        ++at;
    if (at == line.size())
        return false;
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
template <typename Bytes> void appendUtf8(Bytes &out, QStringView text)
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

// QString::fromUtf8 drops a byte order mark at the start, which in a value is text.
QString valueText(QByteArrayView bytes)
{
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return utf8(bytes);
}

using Name = QVarLengthArray<char, 64>;

Name utf8Name(QStringView text)
{
    Name name(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.utf16()[i];
        if (c >= 0x80) { // names are nearly always ASCII
            name.clear();
            appendUtf8(name, text);
            break;
        }
        name[i] = char(c);
    }
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

ProfileDocument::Line &ProfileDocument::line(Section &section, int number)
{
    return number < section.count ? m_lines[section.first + number]
                                  : section.added[number - section.count];
}

const ProfileDocument::Line &ProfileDocument::line(const Section &section, int number) const
{
    return number < section.count ? m_lines[section.first + number]
                                  : section.added[number - section.count];
}

QByteArrayView ProfileDocument::keyOf(const Section &section, int number) const
{
    QByteArrayView key;
    keyName(lineBytes(line(section, number)), &key);
    return key;
}

QByteArrayView ProfileDocument::sectionName(int section) const
{
    return lineBytes(m_sections[section].name);
}

int ProfileDocument::findSection(QByteArrayView name) const
{
    if (m_lastSection >= 0 && sameName(sectionName(m_lastSection), name))
        return m_lastSection;
    if (m_sectionTable.empty())
        return -1;
    const size_t i = probe(m_sectionTable, nameHash(name),
                           [&](qint32 section) { return sameName(sectionName(section), name); });
    if (m_sectionTable[i] >= 0)
        m_lastSection = m_sectionTable[i];
    return m_sectionTable[i];
}

int ProfileDocument::findKey(const Section &section, QByteArrayView name) const
{
    if (section.table.empty())
        return -1;
    const size_t i = probe(section.table, nameHash(name),
                           [&](qint32 number) { return sameName(keyOf(section, number), name); });
    return section.table[i];
}

void ProfileDocument::indexKey(Section &section, int number, QByteArrayView name)
{
    reserveFor(section.table, section.keys, [&](qint32 other) { return keyOf(section, other); });
    const size_t i = probe(section.table, nameHash(name),
                           [&](qint32 other) { return sameName(keyOf(section, other), name); });
    if (section.table[i] >= 0)
        return; // the first key of a name counts
    section.table[i] = number;
    ++section.keys;
}

void ProfileDocument::indexSection(int section)
{
    const QByteArrayView name = sectionName(section);
    reserveFor(m_sectionTable, m_namedSections,
               [this](qint32 other) { return sectionName(other); });
    const size_t i = probe(m_sectionTable, nameHash(name),
                           [&](qint32 other) { return sameName(sectionName(other), name); });
    if (m_sectionTable[i] >= 0)
        return; // the first section of a name counts
    m_sectionTable[i] = section;
    ++m_namedSections;
}

ProfileDocument ProfileDocument::fromDecoded(QByteArray text)
{
    ProfileDocument doc;
    doc.m_text = std::move(text);
    const char *data = doc.m_text.constData();
    const qsizetype size = doc.m_text.size();
    doc.m_lines.reserve(size_t(std::count(data, data + size, '\n') + 1));
    doc.m_sections.emplace_back();
    // The lines first, so that each section's table is sized once from its key count.
    qsizetype start = 0;
    while (start < size) {
        qsizetype end = start;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        const Line line {quint32(start), quint32(end - start), 0};
        start = end + 1;
        if (end + 1 < size && data[end] == '\r' && data[end + 1] == '\n')
            ++start;
        const QByteArrayView bytes = doc.lineBytes(line);
        QByteArrayView name;
        if (headerName(bytes, &name)) {
            doc.m_sections.emplace_back();
            doc.m_sections.back().name =
                Line {quint32(name.data() - data), quint32(name.size()), 0};
            doc.m_sections.back().first = qsizetype(doc.m_lines.size());
        } else if (keyName(bytes, &name)) {
            ++doc.m_sections.back().keys;
        }
        if (!trimmed(bytes).isEmpty())
            doc.m_sections.back().insertAt = doc.m_sections.back().count + 1;
        ++doc.m_sections.back().count;
        doc.m_lines.push_back(line);
    }
    for (size_t s = 0; s < doc.m_sections.size(); ++s) {
        Section &section = doc.m_sections[s];
        if (s > 0)
            doc.indexSection(int(s));
        section.table.assign(tableSize(section.keys), -1);
        section.keys = 0;
        for (int i = s > 0 ? 1 : 0; i < section.count; ++i) {
            QByteArrayView key;
            if (keyName(doc.lineBytes(doc.m_lines[section.first + i]), &key))
                doc.indexKey(section, i, key);
        }
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
    const QFileInfo info(path);
    if (!info.exists()) // a link to a missing file too
        return ProfileDocument();
    // Lines are kept as 32-bit offsets; no settings file comes near this.
    if (info.size() > qint64(1) << 30) {
        if (error)
            *error = QStringLiteral("larger than 1 GiB");
        return std::nullopt;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = info.isDir() ? QStringLiteral("is a folder") : file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
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
    const int s = findSection(QByteArrayView(sectionBytes.constData(), sectionBytes.size()));
    if (s < 0)
        return fallback;
    const Section &found = m_sections[s];
    const Name keyBytes = utf8Name(key);
    const int number = findKey(found, QByteArrayView(keyBytes.constData(), keyBytes.size()));
    return number < 0 ? fallback : valueText(valueOf(lineBytes(line(found, number))));
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
    // Put together apart and appended in one go: most lines are a few bytes.
    Name text(key.begin(), key.end());
    text.append('=');
    if (quote)
        text.append('"');
    appendUtf8(text, value);
    if (quote)
        text.append('"');
    if (m_added.isEmpty())
        m_added.reserve(m_text.size() + 4096); // a save rewrites about as much as it read
    const qsizetype offset = m_added.size();
    m_added.append(text.constData(), text.size());
    return Line {quint32(offset), quint32(text.size()), 1};
}

void ProfileDocument::setValue(QStringView section, QStringView key, QStringView value)
{
    if (m_sections.empty())
        m_sections.emplace_back();
    const Name sectionBytes = utf8Name(section);
    const QByteArrayView sectionView(sectionBytes.constData(), sectionBytes.size());
    int s = findSection(sectionView);
    if (s < 0) {
        const qsizetype offset = m_added.size();
        m_added.append('[').append(sectionView.data(), sectionView.size()).append(']');
        Section added;
        added.name = Line {quint32(offset + 1), quint32(sectionView.size()), 1};
        added.first = qsizetype(m_lines.size());
        added.count = added.insertAt = 1;
        m_lines.push_back(Line {quint32(offset), quint32(m_added.size() - offset), 1});
        m_sections.push_back(std::move(added));
        s = int(m_sections.size() - 1);
        indexSection(s);
    }
    Section &target = m_sections[s];
    const Name keyBytes = utf8Name(key);
    const QByteArrayView keyView(keyBytes.constData(), keyBytes.size());
    const int number = findKey(target, keyView);
    if (number >= 0) {
        // The key keeps the spelling it has in the file; only its value changes.
        const QByteArrayView written = keyOf(target, number);
        const Name spelling(written.begin(), written.end()); // m_added may move while appending
        line(target, number) =
            appendLine(QByteArrayView(spelling.constData(), spelling.size()), value);
        return;
    }
    target.added.push_back(appendLine(keyView, value));
    indexKey(target, target.count + int(target.added.size()) - 1, keyView);
}

template <typename Visit> void ProfileDocument::forEachLine(Visit visit) const
{
    for (const Section &s : m_sections) {
        for (int i = 0; i < s.insertAt; ++i)
            visit(lineBytes(m_lines[s.first + i]));
        for (const Line &line : s.added)
            visit(lineBytes(line));
        for (int i = s.insertAt; i < s.count; ++i)
            visit(lineBytes(m_lines[s.first + i]));
    }
}

// Written in pieces through one small buffer rather than as one text: a full file is a
// megabyte to allocate and fill, which costs more than the writes.
bool ProfileDocument::writeLines(const ContentWriter &write) const
{
    constexpr qsizetype kPiece = 64 * 1024;
    std::vector<char> buffer(kPiece);
    qsizetype used = 0;
    bool ok = true;
    forEachLine([&](QByteArrayView line) {
        if (!ok)
            return;
        if (used + line.size() + 2 > kPiece) {
            ok = write(QByteArrayView(buffer.data(), used));
            used = 0;
            if (ok && line.size() + 2 > kPiece) { // a line longer than the buffer
                ok = write(line) && write("\r\n");
                return;
            }
        }
        std::memcpy(buffer.data() + used, line.data(), size_t(line.size()));
        used += line.size();
        buffer[used++] = '\r';
        buffer[used++] = '\n';
    });
    return ok && write(QByteArrayView(buffer.data(), used));
}

QByteArray ProfileDocument::toUtf8() const
{
    QByteArray bytes;
    writeLines([&](QByteArrayView piece) {
        bytes.append(piece);
        return true;
    });
    return bytes;
}

bool ProfileDocument::save(const QString &path, QString *error) const
{
    return replaceFileAtomically(
        path, [this](const ContentWriter &write) { return writeLines(write); }, error);
}
