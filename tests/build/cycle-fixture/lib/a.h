// A fixture of the include-cycle check: a.h, b.cpp and c.h include each other in a ring.
#pragma once
#include "lib/b.h"
