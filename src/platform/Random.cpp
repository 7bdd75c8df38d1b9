#include "platform/Random.h"

#include <QRandomGenerator>

namespace platform {
quint32 random32() {
    return QRandomGenerator::system()->generate();
}

quint32 randomUniform(quint32 upperBound) {
    if (upperBound == 0)
        return 0;
    return QRandomGenerator::system()->bounded(upperBound);
}
}  // namespace platform
