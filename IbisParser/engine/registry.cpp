#include "IbisParser/engine/registry.h"

#include "IbisParser/ami/amicheck.h"
#include "IbisParser/content/ebd.h"
#include "IbisParser/content/mdl.h"
#include "IbisParser/content/namedrows.h"
#include "IbisParser/content/pkgmodel.h"
#include "IbisParser/content/rampslope.h"
#include "IbisParser/content/tables.h"
#include "IbisParser/content/xref.h"
#include "IbisParser/keywords/algmod.h"
#include "IbisParser/keywords/hdrcheck.h"
#include "IbisParser/keywords/pkg.h"
#include "IbisParser/keywords/ramp.h"

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
