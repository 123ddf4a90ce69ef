// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Qt's own file dialog, not the desktop's: its name filter ignores case, so that
// alarm.wav is listed under "*.WAV" on a case-sensitive file system.
#include "filedialog.h"

#include <QFileDialog>
#include <QFileInfo>

std::optional<QString> FileDialog::showOpen(QWidget *parent)
{
    std::optional<QString> path = choose(parent);
    if (path && (path->contains(u'\n') || path->contains(u'\r')))
        return std::nullopt; // refused as a cancel is: the box keeps its text
    return path;
}

std::optional<QString> QtFileDialog::choose(QWidget *parent)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QStringLiteral("WAVファイル (*.WAV)"));
    if (!m_lastPath.isEmpty()) {
        const QFileInfo last(m_lastPath);
        dialog.setDirectory(last.absolutePath());
        dialog.selectFile(last.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    m_lastPath = dialog.selectedFiles().constFirst();
    return m_lastPath;
}
