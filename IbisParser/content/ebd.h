// Board descriptions (.ebd): per [Begin Board Description], the pins of [Pin
// List] against [Number Of Pins], the paths of [Path Description] (Pin first,
// segments, Fork/Endfork, Node references), the reference designators of the
// Nodes against [Reference Designator Map], and the files that the map names.
#pragma once

#include "IbisParser/engine/check.h"
#include "IbisParser/engine/keywordcodes.h"

// A keyword or data line of a board description keyword.
void BoardLine(const KeywordLine& line);
// The board description's group closes (its end keyword or any other group):
// the cross-checks of its pins, paths and reference designators.
void BoardEnd();
// Forgets the board names (a new file).
void BoardReset();

// The check of board descriptions.
extern const KeywordCheck kBoardCheck;
