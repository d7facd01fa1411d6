// The file header as a registered check: each [IBIS Ver] starts a header
// record, which the file's structure keeps, and the header's keywords fill it.
#pragma once

#include "IbisParser/engine/check.h"

extern const KeywordCheck kHeaderCheck;
