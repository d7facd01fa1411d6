// [Package] of a component: R_pkg, L_pkg and C_pkg.
#pragma once

#include "IbisParser/engine/check.h"
#include "IbisParser/text/typminmax.h"

struct PackageData {
    TypMinMax* resistance;   // R_pkg
    TypMinMax* inductance;   // L_pkg
    TypMinMax* capacitance;  // C_pkg
};

int PackageCreate(PackageData** package);
void PackageLine(PackageData* package, const char* line);
void PackageFinalCheck(const PackageData* package, const char* componentName);
void PackageFree(PackageData** package);

// The [Package] check: its lines, and its values when the component ends.
extern const KeywordCheck kPackageCheck;
