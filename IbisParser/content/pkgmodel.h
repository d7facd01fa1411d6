// Package models ([Define Package Model] in .pkg and .ibs files): the pin
// count against [Pin Numbers], the matrix types, the [Row] names, the length
// of Full_matrix rows and the width of Banded_matrix rows, positive diagonal
// terms, and the inductance and capacitance matrices that every model needs.
#pragma once

#include "IbisParser/engine/check.h"
#include "IbisParser/engine/keywordcodes.h"

void PackageModelLine(const KeywordLine& line);
// The package model's group closes: its end checks.
void PackageModelEnd();

// The check of package models.
extern const KeywordCheck kPackageModelCheck;
