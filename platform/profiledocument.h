// An initialisation file read once into memory, looked up by index and written once.
#pragma once

#include <QHash>
#include <QString>
#include <QStringView>
#include <deque>
#include <vector>

class ProfileDocument
{
public:
    // An empty document (as for a missing file).
    ProfileDocument() = default;
    ProfileDocument(ProfileDocument &&) noexcept = default;
    ProfileDocument &operator=(ProfileDocument &&) noexcept = default;
    ProfileDocument(const ProfileDocument &) = delete;
    ProfileDocument &operator=(const ProfileDocument &) = delete;

    // Parses text as the desktop's profile functions read it: sections and keys without
    // regard to case, blanks around names and the "=" ignored, a value's trailing blanks
    // cut and one pair of enclosing double quotes removed, ";" at a line's start a
    // comment, lines without "=" no key, the first key of a name and the first section
    // of a name the ones that count. Any text parses; nothing fails.
    static ProfileDocument fromText(QString text);

    // Decodes bytes as a file's content is decoded, then parses them.
    static ProfileDocument fromBytes(const QByteArray &bytes);

    // Reads and decodes a file: UTF-8, or code page 932 when the bytes are not valid
    // UTF-8. A missing or unreadable file gives an empty document; ok is then false.
    static ProfileDocument fromFile(const QString &path, bool *ok = nullptr);

    // The value, or fallback when the section or the key is missing.
    QString value(QStringView section, QStringView key, const QString &fallback) const;

    // Replaces the value where the key stands, adds a missing key at the end of its
    // section and a missing section at the end of the document. Every other line is
    // kept as it stands. A value with blanks at either end, or one enclosed in double
    // quotes, is written in double quotes so that it reads back unchanged.
    void setValue(QStringView section, QStringView key, QStringView value);

    // Every line followed by CR LF.
    QByteArray toUtf8() const;

    // Writes the document atomically: the file holds either its old or its new text.
    // Returns false, with a reason in error, when the folder cannot be made or written.
    bool save(const QString &path, QString *error) const;

private:
    struct Key {
        int line;
        QStringView value;
    };
    struct Section {
        std::vector<QStringView> lines; // the header first, unless it is the preamble
        QHash<QStringView, Key> keys; // by lower-case name; first occurrence only
        int lastContentLine = 0; // a new key goes after it
    };

    int findSection(QStringView name) const; // -1 when missing
    QStringView own(QString text);
    QStringView lowerKey(QStringView key);
    void indexLine(Section &section, int index);

    // Every line is a view into the text read or into a string this document made; the
    // strings' data never moves, so the views stay valid.
    QString m_text;
    std::deque<QString> m_owned;
    std::vector<Section> m_sections; // [0] holds the lines before the first section
    QHash<QStringView, int> m_sectionIndex; // by lower-case name; first occurrence only
};
