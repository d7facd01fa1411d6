#pragma once
#include "lib/engine/check.h"
extern const KeywordCheck kA;
