#include "IbisParser/keywords/pkg.h"

#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"
#include "IbisParser/text/columns.h"
#include "IbisParser/text/typminmax.h"
#include "IbisParser/text/words.h"

int PackageCreate(PackageData** package) {
    PackageData* p = new (std::nothrow) PackageData;
    if (!p) {
        ReportErrorAtLine(MSG_PKG_CREATE_FAILED);
        return 0;
    }
    *package = p;
    return 1;
}

void PackageLine(PackageData* package, const char* line) {
    const char* p = line;
    if (IsBlank(*p)) {
        ReportErrorAtLine(MSG_PKG_NOT_IN_COLUMN_1);
        SkipBlanks(&p);
    }
    const std::vector<std::string_view> items = Items(p);
    if (items.size() != 4) {
        ReportErrorAtLine(MSG_PKG_COLUMN_COUNT, 4, static_cast<int>(items.size()));
        return;
    }
    const std::string name(items[0]);
    const TypMinMaxRow row = ReadTypMinMaxRow(items, 1);
    static const struct {
        const char* name;
        MessageOf<Severity::kError> duplicate;
    } rows[] = {
        {"R_pkg", MSG_PKG_DUPLICATE_R_PKG}, {"L_pkg", MSG_PKG_DUPLICATE_L_PKG}, {"C_pkg", MSG_PKG_DUPLICATE_C_PKG}};
    std::optional<TypMinMax>* slots[] = {&package->resistance, &package->inductance, &package->capacitance};
    int which = -1;
    for (int i = 0; i < 3; ++i)
        if (SameIgnoringCase(name, rows[i].name)) which = i;
    if (which < 0) {
        ReportErrorAtLine(MSG_PKG_UNKNOWN_SUB_PARAMETER);
    } else if (*slots[which]) {
        ReportErrorAtLine(rows[which].duplicate);
    } else {
        TypMinMax values{};
        if (!ReportTypMinMax(row, name.c_str(), &values)) {
            ReportErrorAtLine(MSG_PKG_UNPARSABLE, name.c_str());
        } else {
            *slots[which] = values;
            if (values.typicalKind != kValueNumber) ReportErrorAtLine(MSG_PKG_TYPICAL_MISSING);
            if (values.minimumKind == kValueAbsent) ReportErrorAtLine(MSG_PKG_MINIMUM_MISSING);
            if (values.maximumKind == kValueAbsent) ReportErrorAtLine(MSG_PKG_MAXIMUM_MISSING);
        }
    }
    CheckRowMinimumBelowMaximum(name.c_str(), row);
}

void PackageFinalCheck(const PackageData* package, const char* componentName) {
    const char* name = componentName ? componentName : "";
    if (!package || !package->resistance) ReportError(MSG_PKG_R_PKG_MISSING, name);
    if (!package || !package->inductance) ReportError(MSG_PKG_L_PKG_MISSING, name);
    if (!package || !package->capacitance) ReportError(MSG_PKG_C_PKG_MISSING, name);
}

void PackageFree(PackageData** package) {
    if (!package || !*package) return;
    delete *package;
    *package = nullptr;
}

namespace {

// The open component's [Package] (null until its keyword).
struct PackageCheck {
    PackageData* package = nullptr;
};

PackageData*& OpenPackage() { return Context().Slot<PackageCheck>().package; }

void PackageCheckLine(const KeywordLine& l) {
    if (l.group != kGroupComponent) return;
    PackageData*& package = OpenPackage();
    if (l.lineClass == kLineKeyword) {
        if (!package) PackageCreate(&package);
    } else if (package) {
        PackageLine(package, l.line);
    }
}

void PackageCheckClose(const GroupEvent& e) {
    if (e.group != kGroupComponent) return;
    PackageData*& package = OpenPackage();
    if (package) PackageFinalCheck(package, e.name);
    PackageFree(&package);
}

void PackageCheckForget() { PackageFree(&OpenPackage()); }

constexpr std::int32_t kPackageKeywords[] = {KW_PACKAGE};

}  // namespace

const KeywordCheck kPackageCheck{
    .name = "package",
    .keywords = kPackageKeywords,
    .onFileStart = PackageCheckForget,
    .onLine = PackageCheckLine,
    .onGroupClose = PackageCheckClose,
    .onFileEnd = PackageCheckForget,
};
