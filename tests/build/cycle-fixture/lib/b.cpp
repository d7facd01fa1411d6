// Part of the ring of the include-cycle fixture.
#include "lib/b.h"
#include "lib/c.h"
