#include "lib/content/a.h"
const KeywordCheck kA{.name = "a"};
