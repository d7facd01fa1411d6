#include "lib/content/b.h"
const KeywordCheck kB{.name = "b"};
