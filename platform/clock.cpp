// The real clock.
#include "clock.h"

#include <QDateTime>

qint64 SystemClock::currentMSecsSinceEpoch() const
{
    return QDateTime::currentMSecsSinceEpoch();
}
