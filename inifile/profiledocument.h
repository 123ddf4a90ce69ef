// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// An initialisation file read into memory, looked up and changed by key, and written back.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <functional>
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
    // folder, no permission, an I/O error, larger than 1 GiB).
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
        quint32 offset; // into m_text, or into m_added when added
        quint32 size : 31;
        quint32 added : 1;
    };
    // A section's own lines stand together in m_lines; keys that setValue adds are kept
    // apart and written after the section's last non-blank line, so no line ever moves.
    // A key's number is its own line's index, or count plus its index among the added.
    struct Section {
        Line name {0, 0, 0}; // the name between the header's brackets
        qsizetype first = 0;
        int count = 0; // the header included, unless this is the preamble
        int insertAt = 0; // added keys go before own line insertAt
        std::vector<Line> added;
        std::vector<qint32> table; // open addressing: key numbers, -1 empty
        int keys = 0;
    };

    static ProfileDocument fromDecoded(QByteArray text);
    // Gives toUtf8() to write in pieces; false as soon as write fails.
    bool writeLines(const std::function<bool(QByteArrayView)> &write) const;
    template <typename Visit> void forEachLine(Visit visit) const; // in file order
    QByteArrayView lineBytes(const Line &line) const;
    Line &line(Section &section, int number);
    const Line &line(const Section &section, int number) const;
    QByteArrayView keyOf(const Section &section, int number) const;
    QByteArrayView sectionName(int section) const;
    int findSection(QByteArrayView name) const; // -1 when missing
    int findKey(const Section &section, QByteArrayView name) const; // key number, or -1
    void indexKey(Section &section, int number, QByteArrayView name);
    void indexSection(int section);
    Line appendLine(QByteArrayView key, QStringView value);

    QByteArray m_text; // the decoded file, UTF-8
    QByteArray m_added; // every line that setValue wrote
    std::vector<Line> m_lines;
    std::vector<Section> m_sections; // [0] holds the lines before the first section
    std::vector<qint32> m_sectionTable; // the first section of each name, -1 empty
    int m_namedSections = 0;
    mutable int m_lastSection = -1; // lists are read and written one section at a time
};
