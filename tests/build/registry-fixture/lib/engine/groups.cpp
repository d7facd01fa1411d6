// Names a check: the engine may tell only the registry.
#include "lib/content/a.h"
void Close() {}
