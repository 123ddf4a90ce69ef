// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The open-file dialog for sound files, replaceable by a scripted one in tests.
#pragma once

#include <QString>
#include <optional>

class QWidget;

class FileDialog
{
public:
    virtual ~FileDialog() = default;
    // Shows a modal open-file dialog with the one filter "WAVファイル (*.WAV)", starting
    // from the path chosen last. Returns the full path of the chosen file, or nullopt when
    // the user cancels, the dialog cannot be shown, or the path holds a line break (CR or
    // LF), which no settings file line could keep.
    std::optional<QString> showOpen(QWidget *parent);

protected:
    // The path the user chose, or nullopt; showOpen checks it.
    virtual std::optional<QString> choose(QWidget *parent) = 0;
};

class QtFileDialog final : public FileDialog
{
protected:
    std::optional<QString> choose(QWidget *parent) override;

private:
    QString m_lastPath; // shared by both panels, never cleared
};
