// An initialisation file read into memory, looked up and changed by key, and written back.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <optional>
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
    // regard to the case of ASCII letters, blanks around names and the "=" ignored, a
    // value's trailing blanks cut and one pair of enclosing double quotes removed, ";" at
    // a line's start a comment, lines without "=" no key, the first key of a name and the
    // first section of a name the ones that count. CR LF, LF and CR alone each end a line.
    // Any text parses; nothing fails.
    static ProfileDocument fromText(const QString &text);

    // Decodes a file's bytes (see decodeProfileBytes), then parses them.
    static ProfileDocument fromBytes(const QByteArray &bytes);

    // Reads, decodes and parses a file. A missing file gives an empty document. Returns
    // nullopt, with the reason in error, when the path exists but cannot be read (a
    // folder, no permission, an I/O error).
    static std::optional<ProfileDocument> fromFile(const QString &path, QString *error = nullptr);

    // The value, or fallback when the section or the key is missing.
    QString value(QStringView section, QStringView key, const QString &fallback) const;

    // Replaces the value where the key stands, adds a missing key after the last
    // non-blank line of its section and a missing section at the end of the document.
    // Every other line is kept as it stands. A value with blanks at either end, or one
    // enclosed in double quotes, is written in double quotes so that it reads back
    // unchanged. A value is written only up to its first CR or LF, so that no value
    // breaks the file's lines.
    void setValue(QStringView section, QStringView key, QStringView value);

    // Every line as UTF-8 followed by CR LF. Lines that setValue did not write keep their
    // bytes as decoded; bytes that no decoding could read stay as they came.
    QByteArray toUtf8() const;

    // Replaces the file with toUtf8() by replaceFileAtomically(): on failure the old file
    // is kept as it was and false is returned with the reason in error.
    bool save(const QString &path, QString *error) const;

private:
    struct Line {
        qsizetype offset; // into m_text, or into m_added when added
        qsizetype size;
        bool added;
    };
    struct Section {
        std::vector<Line> lines; // the header first, unless it is the preamble
        int lastContentLine = 0; // a new key goes after it
    };
    // One open-addressing table for sections and keys: a slot names a section (section
    // -1, line the section's index) or a key line of one. Key text is read from the line.
    struct Slot {
        quint32 hash = 0;
        qint32 section = 0;
        qint32 line = -1; // -1: empty
    };

    static ProfileDocument fromDecoded(QByteArray text);
    QByteArrayView lineBytes(const Line &line) const;
    QByteArrayView slotName(const Slot &slot) const;
    int find(int section, QByteArrayView name, quint32 hash) const; // slot index or -1
    void insert(int section, int line, quint32 hash);
    void indexLine(int section, int line);
    int addSection(QByteArrayView name);
    Line appendLine(QByteArrayView key, QStringView value);

    QByteArray m_text; // the decoded file, UTF-8
    QByteArray m_added; // every line that setValue wrote
    std::vector<Section> m_sections; // [0] holds the lines before the first section
    std::vector<Slot> m_slots; // size a power of two, at most half full
    qsizetype m_used = 0;
};
