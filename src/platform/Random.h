#pragma once
#include <QtGlobal>

namespace platform {
// The system's cryptographically strong random source (in place of arc4random).
quint32 random32();
// Uniform in [0, upperBound); 0 when upperBound is 0.
quint32 randomUniform(quint32 upperBound);
}  // namespace platform
