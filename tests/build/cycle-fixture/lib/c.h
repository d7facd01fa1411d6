// Closes the ring of the include-cycle fixture.
#pragma once
#include "lib/a.h"
