// The parsing follows the desktop's profile reader closely, so that a file edited by hand
// reads back here as it would there. Lines are views into one text, not strings of their
// own: a settings file of two full lists has 65,000 lines, read and written in one go.
#include "profiledocument.h"

#include "numbertext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

bool hasUpper(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80 || (c >= u'A' && c <= u'Z'))
            return true;
    }
    return false;
}

// The section name of a header line, or false when the line is none.
bool sectionName(QStringView line, QStringView *name)
{
    line = trimmedBlanks(line);
    if (!line.startsWith(u'['))
        return false;
    const qsizetype close = line.indexOf(u']');
    *name = trimmedBlanks(close < 0 ? line.mid(1) : line.mid(1, close - 1));
    return true;
}

bool isKeyLine(QStringView line, QStringView *key, QStringView *value)
{
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0 || trimmedBlanks(line).startsWith(u';'))
        return false;
    *key = trimmedBlanks(line.left(equals));
    QStringView v = trimmedBlanks(line.mid(equals + 1));
    if (v.size() >= 2 && v.front() == u'"' && v.back() == u'"')
        v = v.mid(1, v.size() - 2);
    *value = v;
    return true;
}

// Blanks at either end, or a value that is itself quoted, would not read back unchanged
// unless the whole value is quoted.
bool needsQuotes(QStringView value)
{
    if (value.isEmpty())
        return false;
    const bool quoted = value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
    return quoted || isBlank(value.front()) || isBlank(value.back());
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // A file carried over from the Windows version is in code page 932.
    QStringDecoder sjis("windows-31j");
    if (sjis.isValid()) {
        text = sjis(bytes);
        if (!sjis.hasError())
            return text;
    }
    return QString::fromUtf8(bytes); // undecodable bytes become U+FFFD
}

} // namespace

QStringView ProfileDocument::own(QString text)
{
    m_owned.push_back(std::move(text));
    return m_owned.back();
}

QStringView ProfileDocument::lowerKey(QStringView key)
{
    return hasUpper(key) ? own(key.toString().toLower()) : key;
}

void ProfileDocument::indexLine(Section &section, int index)
{
    const QStringView line = section.lines[index];
    QStringView key, value;
    if (isKeyLine(line, &key, &value)) {
        const QStringView lower = lowerKey(key);
        if (!section.keys.contains(lower))
            section.keys.insert(lower, Key {index, value});
    }
    if (!trimmedBlanks(line).isEmpty())
        section.lastContentLine = index;
}

ProfileDocument ProfileDocument::fromText(QString text)
{
    ProfileDocument doc;
    doc.m_text = std::move(text);
    doc.m_sections.emplace_back();
    const QStringView all(doc.m_text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        if (end < 0)
            end = all.size();
        QStringView line = all.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        start = end + 1;

        QStringView name;
        if (sectionName(line, &name)) {
            doc.m_sections.emplace_back();
            const QStringView lower = doc.lowerKey(name);
            if (!doc.m_sectionIndex.contains(lower))
                doc.m_sectionIndex.insert(lower, int(doc.m_sections.size() - 1));
            doc.m_sections.back().lines.push_back(line);
            continue;
        }
        Section &current = doc.m_sections.back();
        current.lines.push_back(line);
        doc.indexLine(current, int(current.lines.size() - 1));
    }
    return doc;
}

ProfileDocument ProfileDocument::fromBytes(const QByteArray &bytes)
{
    return fromText(decode(bytes));
}

ProfileDocument ProfileDocument::fromFile(const QString &path, bool *ok)
{
    QFile file(path);
    const bool readable = QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
    if (ok)
        *ok = readable;
    if (!readable)
        return ProfileDocument();
    return fromBytes(file.readAll());
}

int ProfileDocument::findSection(QStringView name) const
{
    const auto it = hasUpper(name) ? m_sectionIndex.constFind(name.toString().toLower())
                                   : m_sectionIndex.constFind(name);
    return it == m_sectionIndex.constEnd() ? -1 : *it;
}

QString ProfileDocument::value(QStringView section, QStringView key, const QString &fallback) const
{
    const int index = findSection(section);
    if (index < 0)
        return fallback;
    const Section *s = &m_sections[index];
    const auto it =
        hasUpper(key) ? s->keys.constFind(key.toString().toLower()) : s->keys.constFind(key);
    return it == s->keys.constEnd() ? fallback : it->value.toString();
}

void ProfileDocument::setValue(QStringView section, QStringView key, QStringView value)
{
    if (m_sections.empty())
        m_sections.emplace_back();
    int index = findSection(section);
    if (index < 0) {
        const QStringView header = own(u'[' + section.toString() + u']');
        m_sections.emplace_back();
        m_sections.back().lines.push_back(header);
        index = int(m_sections.size() - 1);
        m_sectionIndex.insert(lowerKey(header.mid(1, section.size())), index);
    }
    Section *s = &m_sections[index];
    const bool quote = needsQuotes(value);
    const QString lower = key.toString().toLower();
    const auto it = s->keys.find(lower);
    // The key keeps the spelling it has in the file; only its value changes.
    const QStringView written = it != s->keys.end()
        ? trimmedBlanks(s->lines[it->line].left(s->lines[it->line].indexOf(u'=')))
        : key;
    QString line;
    line.reserve(written.size() + value.size() + 3);
    line.append(written).append(u'=');
    if (quote)
        line.append(u'"');
    line.append(value);
    if (quote)
        line.append(u'"');
    const QStringView stored = own(std::move(line));
    const QStringView storedValue = stored.mid(written.size() + 1 + (quote ? 1 : 0), value.size());
    if (it != s->keys.end()) {
        s->lines[it->line] = stored;
        it->value = storedValue;
        return;
    }
    // Only blank lines follow the last content line, so no key's line number moves.
    const int at = s->lastContentLine + 1;
    s->lines.insert(s->lines.begin() + at, stored);
    s->lastContentLine = at;
    s->keys.insert(lowerKey(stored.left(written.size())), Key {at, storedValue});
}

QByteArray ProfileDocument::toUtf8() const
{
    qsizetype total = 0;
    for (const Section &s : m_sections) {
        for (const QStringView line : s.lines)
            total += line.size() + 2;
    }
    QString text;
    text.reserve(total);
    for (const Section &s : m_sections) {
        for (const QStringView line : s.lines)
            text.append(line).append(QLatin1String("\r\n"));
    }
    return text.toUtf8();
}

bool ProfileDocument::save(const QString &path, QString *error) const
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    // commit() alone does not notice a short write (a full disk), so the count is checked.
    const QByteArray bytes = toUtf8();
    if (file.write(bytes) != bytes.size()) {
        *error = QStringLiteral("write failed: ") + file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
