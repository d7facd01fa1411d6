// [Package] of a component: R_pkg, L_pkg and C_pkg.
#pragma once

#include <optional>

#include "IbisParser/engine/check.h"
#include "IbisParser/text/typminmax.h"

struct PackageData {
    std::optional<TypMinMax> resistance;   // R_pkg
    std::optional<TypMinMax> inductance;   // L_pkg
    std::optional<TypMinMax> capacitance;  // C_pkg
};

int PackageCreate(PackageData** package);
void PackageLine(PackageData* package, const char* line);
void PackageFinalCheck(const PackageData* package, const char* componentName);
void PackageFree(PackageData** package);

// The [Package] check: its lines, and its values when the component ends.
extern const KeywordCheck kPackageCheck;
