#include "IbisParser/groups.h"

#include <cstring>

#include "IbisParser/algmod.h"
#include "IbisParser/cmn.h"
#include "IbisParser/columns.h"
#include "IbisParser/context.h"
#include "IbisParser/ebd.h"
#include "IbisParser/frame.h"
#include "IbisParser/hdr.h"
#include "IbisParser/ibis.h"
#include "IbisParser/keywords.h"
#include "IbisParser/mdl.h"
#include "IbisParser/messages.h"
#include "IbisParser/namedfile.h"
#include "IbisParser/namedrows.h"
#include "IbisParser/pkg.h"
#include "IbisParser/pkgmodel.h"
#include "IbisParser/ramp.h"
#include "IbisParser/rampslope.h"
#include "IbisParser/report.h"
#include "IbisParser/tables.h"
#include "IbisParser/xref.h"

namespace {

struct GroupState {
    KeywordGroup open = kGroupNone;
    IbisComponent* component = nullptr;
    IbisModel* model = nullptr;  // the open model or submodel
};

GroupState& State() {
    return Context().Slot<GroupState>();
}

char* NameAfterKeyword(const char* line) {
    const char* p = std::strchr(line, ']');
    p = p ? p + 1 : line + std::strlen(line);
    SkipBlanks(&p);
    return CheckStrDup(p);
}

void CloseComponent() {
    IbisComponent* c = State().component;
    if (c && c->package) PackageFinalCheck(c->package, c->name);
    if (c) XrefComponentEnd(c->name ? c->name : "");
    if (c) PackageFree(&c->package);
    State().component = nullptr;
}

void CloseModel() {
    IbisModel* m = State().model;
    if (!m) return;
    const char* name = m->name ? m->name : "";
    if (m->ramp) RampEndCheck(m->ramp);
    TablesModelEnd();
    if (m->ramp && !Frame().submodelOpen)
        CheckRampAgainstWaveforms(*m->ramp, ModelWaveforms(), CurrentModelSupplies(), name);
    ModelEndCheck();
    if (m->algorithmic) {
        AlgModEndChecks(m->algorithmic);
        AlgModFileChecks(m->algorithmic, name);
    }
    RampFree(&m->ramp);
    AlgModFree(&m->algorithmic);
    State().model = nullptr;
    Frame().submodelOpen = false;
}

void CloseOpenGroup(std::int32_t newCode) {
    GroupState& s = State();
    switch (s.open) {
        case kGroupHeader: HdrClose(newCode); break;
        case kGroupComponent: CloseComponent(); break;
        case kGroupModel:
        case kGroupSubmodel: CloseModel(); break;
        case kGroupPackageModel: PackageModelEnd(); break;
        case kGroupBoard: BoardEnd(); break;
        default: break;
    }
    s.open = kGroupNone;
}

// Models and submodels share one record type and one list.
IbisModel* NewModel(const char* line) {
    IbisFile* ibis = CurrentIbis();
    IbisModel* m = nullptr;
    if (!ibis || !CheckAlloc(&m, sizeof(IbisModel))) return nullptr;
    m->name = NameAfterKeyword(line);
    AppendToList(&ibis->models, &ibis->modelsTail, m);
    return m;
}

}  // namespace

void CloseGroupFor(const KeywordInfo& next) {
    GroupState& s = State();
    if (s.open == kGroupNone) return;
    if (s.open == kGroupHeader) {
        HdrClose(next.code);
        if (next.group != kGroupHeader) s.open = kGroupNone;
        return;
    }
    // A submodel's keywords and a model's sub-keywords continue their group.
    const bool continues = next.group == s.open && !(next.flags & kStartsGroup);
    if (!continues) CloseOpenGroup(next.code);
}

void OpenGroupFor(const KeywordInfo& row, const char* line) {
    GroupState& s = State();
    IbisFile* ibis = CurrentIbis();
    if (!(row.flags & kStartsGroup)) return;
    s.open = row.group;
    switch (row.code) {
        case KW_COMPONENT: {
            IbisComponent* c = nullptr;
            if (ibis && CheckAlloc(&c, sizeof(IbisComponent))) {
                c->name = NameAfterKeyword(line);
                XrefComponentStart(c->name);
                AppendToList(&ibis->components, &ibis->componentsTail, c);
                s.component = c;
            }
            break;
        }
        case KW_MODEL:
            s.model = NewModel(line);
            if (s.model) ModelStart(s.model->name);
            if (s.model) TablesModelStart(s.model->name);
            break;
        case KW_SUBMODEL:
            s.model = NewModel(line);
            if (s.model) TablesModelStart(s.model->name);
            Frame().submodelOpen = true;
            break;
        default: break;
    }
}

KeywordGroup OpenGroup() { return State().open; }

void HandleHeaderLine(const KeywordLine& l) { HdrLine(l.lineClass, l.code, l.line); }

void HandlePackageLine(const KeywordLine& l) {
    GroupState& s = State();
    if (s.open != kGroupComponent || !s.component) return;
    if (l.lineClass == kLineKeyword) {
        if (!s.component->package) PackageCreate(&s.component->package);
    } else if (s.component->package) {
        PackageLine(s.component->package, l.line);
        CheckSubParameterColumns("Package", l.line, true, true);
    }
}

void HandleRampLine(const KeywordLine& l) {
    GroupState& s = State();
    const bool here =
        (l.code == KW_RAMP && s.open == kGroupModel) || (l.code == KW_SUB_RAMP && s.open == kGroupSubmodel);
    if (!here || !s.model) return;
    const char* name = s.model->name ? s.model->name : "";
    if (l.lineClass == kLineKeyword) RampKeyword(l.line, &s.model->ramp, name);
    else if (s.model->ramp) RampDataLine(l.line, s.model->ramp, name);
}

void HandleAlgorithmicModelLine(const KeywordLine& l) {
    GroupState& s = State();
    if (s.open != kGroupModel || !s.model) return;
    if (l.lineClass == kLineKeyword) AlgModKeyword(l.line, &s.model->algorithmic);
    else if (s.model->algorithmic) AlgModDataLine(l.line, s.model->algorithmic);
}

void HandleModelLine(const KeywordLine& l) {
    if (l.lineClass == kLineKeyword) XrefLine(l);
    else if (State().open == kGroupModel) ModelSubParameterLine(l.line);
}

void HandleReferenceLine(const KeywordLine& l) { XrefLine(l); }

void HandleSpecLine(const KeywordLine& l) {
    const KeywordGroup open = State().open;
    if (l.lineClass == kLineKeyword || (open != kGroupModel && open != kGroupSubmodel)) return;
    const bool model = l.code == KW_MODEL_SPEC;
    CheckSubParameterColumns(model ? "Model Spec" : "Submodel Spec", l.line, false, false);
    if (model) ModelSpecLine(l.line);
}

void HandlePackageModelLine(const KeywordLine& l) {
    if (l.code == KW_DEFINE_PACKAGE_MODEL) XrefLine(l);
    PackageModelLine(l);
}

void HandleBoardLine(const KeywordLine& l) { BoardLine(l); }

void HandleNamedRowsLine(const KeywordLine& l) {
    const KeywordGroup open = State().open;
    if (l.lineClass == kLineKeyword) {
        NamedRowsStart(l.code);
    } else if (open == kGroupModel || open == kGroupSubmodel) {
        NamedRowsLine(l.line);
    }
}

void HandleTableLine(const KeywordLine& l) {
    const KeywordGroup open = State().open;
    if ((open == kGroupModel || open == kGroupSubmodel) && State().model) TableLine(l);
}

void NoteKeyword(const KeywordInfo& row, const char* line) {
    if (State().open == kGroupModel && row.group == kGroupModel) ModelKeywordSeen(row.code, line);
}

void ResetGroups() {
    State() = GroupState{};
    XrefReset();
    BoardReset();
    ForgetNamedFiles();  // the board's components point into them: forgotten with the board
}

void FinishIbis() {
    CloseOpenGroup(KW_END);
    IbisFile* ibis = CurrentIbis();
    if (ibis && Frame().kind == kFileIbs && !ibis->components) ReportError(MSG_COMPONENT_REQUIRED);
    XrefFinish();
}

namespace {

// The readers of each keyword's lines; a keyword without a row is accepted unchecked.
struct HandlerRow {
    std::int32_t code;
    KeywordHandler handler;
};

const HandlerRow kHandlers[] = {
    {KW_IBIS_VER, HandleHeaderLine},
    {KW_FILE_NAME, HandleHeaderLine},
    {KW_FILE_REV, HandleHeaderLine},
    {KW_DATE, HandleHeaderLine},
    {KW_SOURCE, HandleHeaderLine},
    {KW_NOTES, HandleHeaderLine},
    {KW_DISCLAIMER, HandleHeaderLine},
    {KW_COPYRIGHT, HandleHeaderLine},
    {KW_PACKAGE, HandlePackageLine},
    {KW_PIN, HandleReferenceLine},
    {KW_PACKAGE_MODEL, HandleReferenceLine},
    {KW_PIN_MAPPING, HandleReferenceLine},
    {KW_DIFF_PIN, HandleReferenceLine},
    {KW_SERIES_SWITCH_GROUPS, HandleReferenceLine},
    {KW_SERIES_PIN_MAPPING, HandleReferenceLine},
    {KW_ALTERNATE_PACKAGE_MODELS, HandleReferenceLine},
    {KW_MODEL, HandleModelLine},
    {KW_PULLDOWN, HandleTableLine},
    {KW_PULLUP, HandleTableLine},
    {KW_GND_CLAMP, HandleTableLine},
    {KW_POWER_CLAMP, HandleTableLine},
    {KW_RAMP, HandleRampLine},
    {KW_RISING_WAVEFORM, HandleTableLine},
    {KW_FALLING_WAVEFORM, HandleTableLine},
    {KW_MODEL_SPEC, HandleSpecLine},
    {KW_DRIVER_SCHEDULE, HandleReferenceLine},
    {KW_ADD_SUBMODEL, HandleReferenceLine},
    {KW_ALGORITHMIC_MODEL, HandleAlgorithmicModelLine},
    {KW_ISSO_PD, HandleTableLine},
    {KW_ISSO_PU, HandleTableLine},
    {KW_C_COMP_CORNER, HandleNamedRowsLine},
    {KW_INITIAL_DELAY, HandleNamedRowsLine},
    {KW_DEFINE_PACKAGE_MODEL, HandlePackageModelLine},
    {KW_NUMBER_OF_PINS, HandlePackageModelLine},
    {KW_PIN_NUMBERS, HandlePackageModelLine},
    {KW_RESISTANCE_MATRIX, HandlePackageModelLine},
    {KW_INDUCTANCE_MATRIX, HandlePackageModelLine},
    {KW_CAPACITANCE_MATRIX, HandlePackageModelLine},
    {KW_BANDWIDTH, HandlePackageModelLine},
    {KW_ROW, HandlePackageModelLine},
    {KW_END_MODEL_DATA, HandlePackageModelLine},
    {KW_END_PACKAGE_MODEL, HandlePackageModelLine},
    {KW_BEGIN_BOARD_DESCRIPTION, HandleBoardLine},
    {KW_EBD_MANUFACTURER, HandleBoardLine},
    {KW_EBD_NUMBER_OF_PINS, HandleBoardLine},
    {KW_PIN_LIST, HandleBoardLine},
    {KW_PATH_DESCRIPTION, HandleBoardLine},
    {KW_REFERENCE_DESIGNATOR_MAP, HandleBoardLine},
    {KW_END_BOARD_DESCRIPTION, HandleBoardLine},
    {KW_MODEL_SELECTOR, HandleReferenceLine},
    {KW_SUBMODEL, HandleReferenceLine},
    {KW_SUBMODEL_SPEC, HandleSpecLine},
    {KW_SUB_PULLDOWN, HandleTableLine},
    {KW_SUB_PULLUP, HandleTableLine},
    {KW_SUB_GND_CLAMP, HandleTableLine},
    {KW_SUB_POWER_CLAMP, HandleTableLine},
    {KW_SUB_RAMP, HandleRampLine},
    {KW_SUB_RISING_WAVEFORM, HandleTableLine},
    {KW_SUB_FALLING_WAVEFORM, HandleTableLine},
    {KW_SUB_INITIAL_DELAY, HandleNamedRowsLine},
};

}  // namespace

KeywordHandler HandlerOf(std::int32_t code) {
    for (const HandlerRow& row : kHandlers)
        if (row.code == code) return row.handler;
    return nullptr;
}
