// The parsing follows the desktop's profile reader closely, so that a file edited by hand
// reads back here as it would there.
#include "profiledocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

QStringView trimBlanks(QStringView text)
{
    while (!text.isEmpty() && (text.front() == u' ' || text.front() == u'\t'))
        text = text.mid(1);
    while (!text.isEmpty() && (text.back() == u' ' || text.back() == u'\t'))
        text.chop(1);
    return text;
}

// The section name of a header line, or a null string when the line is none.
QString sectionName(QStringView line)
{
    line = trimBlanks(line);
    if (!line.startsWith(u'['))
        return {};
    const qsizetype close = line.indexOf(u']');
    const QStringView inner = close < 0 ? line.mid(1) : line.mid(1, close - 1);
    QString name = trimBlanks(inner).toString();
    if (name.isNull())
        name = QStringLiteral("");
    return name;
}

bool isKeyLine(QStringView line, QString *key, QString *value)
{
    const QStringView trimmed = trimBlanks(line);
    if (trimmed.startsWith(u';'))
        return false;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return false;
    *key = trimBlanks(line.left(equals)).toString().toLower();
    QStringView v = trimBlanks(line.mid(equals + 1));
    if (v.size() >= 2 && v.front() == u'"' && v.back() == u'"')
        v = v.mid(1, v.size() - 2);
    *value = v.toString();
    return true;
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
    return QString::fromUtf8(bytes); // undecodable bytes become U+FFFD, nothing is lost twice
}

} // namespace

ProfileDocument ProfileDocument::fromText(const QString &text)
{
    ProfileDocument doc;
    doc.m_sections.emplace_back();
    Section *current = &doc.m_sections.back();
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        if (end < 0)
            end = all.size();
        QStringView line = all.mid(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        start = end + 1;

        const QString name = sectionName(line);
        if (!name.isNull()) {
            doc.m_sections.emplace_back();
            current = &doc.m_sections.back();
            const QString lower = name.toLower();
            if (!doc.m_sectionIndex.contains(lower))
                doc.m_sectionIndex.insert(lower, int(doc.m_sections.size() - 1));
            current->lines.push_back(line.toString());
            continue;
        }
        const int index = int(current->lines.size());
        current->lines.push_back(line.toString());
        QString key, value;
        if (isKeyLine(line, &key, &value) && !current->keys.contains(key))
            current->keys.insert(key, Key{index, value});
        if (!trimBlanks(line).isEmpty())
            current->lastContentLine = index;
    }
    return doc;
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

ProfileDocument ProfileDocument::fromBytes(const QByteArray &bytes)
{
    return fromText(decode(bytes));
}

ProfileDocument::Section *ProfileDocument::findSection(const QString &name)
{
    const auto it = m_sectionIndex.constFind(name.toLower());
    return it == m_sectionIndex.constEnd() ? nullptr : &m_sections[*it];
}

const ProfileDocument::Section *ProfileDocument::findSection(const QString &name) const
{
    const auto it = m_sectionIndex.constFind(name.toLower());
    return it == m_sectionIndex.constEnd() ? nullptr : &m_sections[*it];
}

QString ProfileDocument::value(const QString &section, const QString &key,
                               const QString &fallback) const
{
    const Section *s = findSection(section);
    if (!s)
        return fallback;
    const auto it = s->keys.constFind(key.toLower());
    return it == s->keys.constEnd() ? fallback : it->value;
}

void ProfileDocument::addLine(Section &section, const QString &line)
{
    const int at = section.lastContentLine + 1;
    section.lines.insert(section.lines.begin() + at, line);
    // Only blank lines can follow the last content line, so no key index moves.
    section.lastContentLine = at;
}

namespace {

// Blanks at either end, or a value that is itself quoted, would not read back unchanged
// unless the whole value is quoted.
QString quotedIfNeeded(const QString &value)
{
    if (value.isEmpty())
        return value;
    const bool blankEnd = value.front() == u' ' || value.front() == u'\t'
                          || value.back() == u' ' || value.back() == u'\t';
    const bool quoted = value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
    return blankEnd || quoted ? u'"' + value + u'"' : value;
}

} // namespace

void ProfileDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    if (m_sections.empty())
        m_sections.emplace_back();
    Section *s = findSection(section);
    if (!s) {
        m_sections.emplace_back();
        s = &m_sections.back();
        s->lines.push_back(QLatin1Char('[') + section + QLatin1Char(']'));
        m_sectionIndex.insert(section.toLower(), int(m_sections.size() - 1));
    }
    const QString lower = key.toLower();
    const auto it = s->keys.find(lower);
    if (it != s->keys.end()) {
        // The key keeps the spelling it has in the file; only its value changes.
        QString &line = s->lines[it->line];
        const QString written = trimBlanks(QStringView(line).left(line.indexOf(u'='))).toString();
        line = written + QLatin1Char('=') + quotedIfNeeded(value);
        it->value = value;
        return;
    }
    addLine(*s, key + QLatin1Char('=') + quotedIfNeeded(value));
    s->keys.insert(lower, Key{s->lastContentLine, value});
}

QByteArray ProfileDocument::toUtf8() const
{
    QString text;
    for (const Section &s : m_sections) {
        for (const QString &line : s.lines) {
            text += line;
            text += QLatin1String("\r\n");
        }
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
    const QByteArray bytes = toUtf8();
    if (file.write(bytes) != bytes.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
