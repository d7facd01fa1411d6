#include "IbisParser/pkg.h"

#include <initializer_list>
#include <strings.h>

#include "IbisParser/cmn.h"
#include "IbisParser/lineitems.h"
#include "IbisParser/report.h"

int PackageCreate(PackageData** package) {
    PackageData* p = nullptr;
    if (!CheckAlloc(&p, sizeof(PackageData))) {
        ReportErrorAtLine(1200);
        return 0;
    }
    *package = p;
    return 1;
}

void PackageLine(PackageData* package, const char* line) {
    const char* p = line;
    if (IsBlank(*p)) {
        ReportErrorAtLine(1201);
        SkipBlanks(&p);
    }
    LineItems items{};
    if (!SplitLineItems(p, 4, 0, &items)) return;
    if (items.totalCount != 4) {
        ReportErrorAtLine(1202, 4, items.totalCount);
        FreeLineItems(&items);
        return;
    }
    static const struct {
        const char* name;
        std::int32_t duplicate;
    } rows[] = {{"R_pkg", 1203}, {"L_pkg", 1204}, {"C_pkg", 1205}};
    TypMinMax** slots[] = {&package->resistance, &package->inductance, &package->capacitance};
    int which = -1;
    for (int i = 0; i < 3; ++i)
        if (strcasecmp(ItemAt(items, 0), rows[i].name) == 0) which = i;
    if (which < 0) {
        ReportErrorAtLine(1206);
    } else if (*slots[which]) {
        ReportErrorAtLine(rows[which].duplicate);
    } else {
        // The rest of the line after the name.
        const char* rest = p;
        while (*rest && !IsBlank(*rest)) ++rest;
        TypMinMax* record = nullptr;
        if (!ReadTypMinMax(rest, ItemAt(items, 0), &record)) {
            ReportErrorAtLine(1207, ItemAt(items, 0));
            if (record) CheckFree(&record);
        } else {
            *slots[which] = record;
            if (record->typicalKind != kValueNumber) ReportErrorAtLine(1209);
            if (record->minimumKind == kValueAbsent) ReportErrorAtLine(1210);
            if (record->maximumKind == kValueAbsent) ReportErrorAtLine(1211);
        }
    }
    FreeLineItems(&items);
}

void PackageFinalCheck(const PackageData* package, const char* componentName) {
    const char* name = componentName ? componentName : "";
    if (!package || !package->resistance) ReportError(1213, name);
    if (!package || !package->inductance) ReportError(1215, name);
    if (!package || !package->capacitance) ReportError(1217, name);
}

void PackageFree(PackageData** package) {
    if (!package || !*package) return;
    for (TypMinMax** r : {&(*package)->resistance, &(*package)->inductance, &(*package)->capacitance})
        if (*r) CheckFree(r);
    CheckFree(package);
}
