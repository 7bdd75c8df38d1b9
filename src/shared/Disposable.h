#pragma once
// The observation token lives in the bottom layer, where the notification centres use it.
#include "platform/Disposable.h"
