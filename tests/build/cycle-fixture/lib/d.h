// Outside the ring: includes it, but nothing includes this.
#pragma once
#include "lib/a.h"
