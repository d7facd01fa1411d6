#include "IbisParser/registry.h"

#include "IbisParser/algmod.h"
#include "IbisParser/amicheck.h"
#include "IbisParser/ebd.h"
#include "IbisParser/hdrcheck.h"
#include "IbisParser/mdl.h"
#include "IbisParser/namedrows.h"
#include "IbisParser/pkg.h"
#include "IbisParser/pkgmodel.h"
#include "IbisParser/ramp.h"
#include "IbisParser/rampslope.h"
#include "IbisParser/tables.h"
#include "IbisParser/xref.h"

namespace {

// The order is the order of the findings when a group closes: a model's ramp
// is checked before its tables end, the ramp against the waveforms before the
// model's required keywords, the executables last; a component's package
// before its pin references. The reference check reads a package model's
// keyword before the package model check does.
const KeywordCheck* const kChecks[] = {
    &kHeaderCheck,
    &kPackageCheck,
    &kRampCheck,
    &kTablesCheck,
    &kRampSlopeCheck,
    &kModelCheck,
    &kAlgorithmicModelCheck,
    &kNamedRowsCheck,
    &kReferencesCheck,
    &kPackageModelCheck,
    &kBoardCheck,
};

const FileCheck* const kFileChecks[] = {
    &kAmiFileCheck,
};

}  // namespace

std::span<const KeywordCheck* const> RegisteredChecks() { return kChecks; }

std::span<const FileCheck* const> RegisteredFileChecks() { return kFileChecks; }

const FileCheck* FileCheckFor(int kind) {
    for (const FileCheck* check : kFileChecks)
        if (check->kind == kind) return check;
    return nullptr;
}
