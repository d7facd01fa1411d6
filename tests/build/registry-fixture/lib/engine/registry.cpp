#include "lib/content/a.h"
#include "lib/content/b.h"
// kB's row is missing.
const KeywordCheck* const kChecks[] = {
    &kA,
};
