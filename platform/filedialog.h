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
    // the user cancels or the dialog cannot be shown.
    virtual std::optional<QString> showOpen(QWidget *parent) = 0;
};

class QtFileDialog final : public FileDialog
{
public:
    std::optional<QString> showOpen(QWidget *parent) override;

private:
    QString m_lastPath; // shared by both panels, never cleared
};
