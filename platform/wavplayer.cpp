// Finds the sound module beside the program as installed, or in the build tree.
#include "wavplayer.h"

#include "soundbackend.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

WavPlayer::WavPlayer(QObject *parent)
    : QObject(parent)
{
}

WavPlayer::~WavPlayer()
{
    m_backend.reset(); // before the module that holds its code is unloaded
}

bool WavPlayer::isPlaying() const
{
    return m_backend && m_backend->isPlaying();
}

bool WavPlayer::loadBackend()
{
    if (m_triedLoading)
        return m_backend != nullptr;
    m_triedLoading = true;
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        qEnvironmentVariable("TOLLWICK_SOUND_MODULE"),
        appDir + QStringLiteral("/" TOLLWICK_SOUND_MODULE_RELATIVE),
        QStringLiteral(TOLLWICK_SOUND_MODULE_BUILT),
    };
    for (const QString &candidate : candidates) {
        if (candidate.isEmpty() || !QFileInfo::exists(candidate))
            continue;
        m_module.setFileName(candidate);
        const auto create =
            reinterpret_cast<CreateSoundBackend>(m_module.resolve(TOLLWICK_SOUND_BACKEND_SYMBOL));
        if (!create)
            continue;
        m_backend.reset(create());
        return true;
    }
    std::fprintf(stderr, "tollwick: the sound module was not found; sounds stay silent\n");
    return false;
}

void WavPlayer::play(const QString &path)
{
    Q_EMIT requested(path);
    if (loadBackend())
        m_backend->play(path);
}
