#include "IbisParser/groups.h"

#include <cstring>

#include "IbisParser/algmod.h"
#include "IbisParser/cmn.h"
#include "IbisParser/frame.h"
#include "IbisParser/hdr.h"
#include "IbisParser/ibis.h"
#include "IbisParser/keywords.h"
#include "IbisParser/messages.h"
#include "IbisParser/pkg.h"
#include "IbisParser/ramp.h"
#include "IbisParser/report.h"

namespace {

enum Group { kNone, kHeader, kComponent, kModel, kPackageModel, kBoard, kSelector, kSubmodel, kTestData,
             kTestLoad, kCircuit };

struct GroupState {
    Group open = kNone;
    IbisComponent* component = nullptr;
    IbisModel* model = nullptr;  // the open model or submodel
};

GroupState& State() {
    static GroupState state;
    return state;
}

Group GroupOf(std::int32_t code) {
    if (code == KW_IBIS_VER || (code >= KW_FILE_NAME && code <= KW_COPYRIGHT)) return kHeader;
    if (code == KW_EXTERNAL_CIRCUIT || code == KW_END_EXTERNAL_CIRCUIT) return kCircuit;
    if (code >= KW_COMPONENT && code <= KW_PIN_DOMAIN_EMI) return kComponent;
    if (code >= KW_EXTERNAL_MODEL && code <= KW_END_EMI_MODEL) return kModel;
    if (code >= KW_DEFINE_PACKAGE_MODEL && code <= KW_NUMBER_OF_SECTIONS) return kPackageModel;
    if (code >= KW_BEGIN_BOARD_DESCRIPTION && code <= KW_END_BOARD_DESCRIPTION) return kBoard;
    if (code == KW_MODEL_SELECTOR) return kSelector;
    if (code >= KW_SUBMODEL && code <= KW_SUB_FALLING_WAVEFORM) return kSubmodel;
    if (code >= KW_TEST_DATA && code <= KW_DIFF_FALLING_WAVEFORM_FAR) return kTestData;
    if (code == KW_TEST_LOAD) return kTestLoad;
    return kNone;
}

// A group's first keyword starts a new group even inside an open one.
bool Starts(std::int32_t code) {
    switch (code) {
        case KW_IBIS_VER: case KW_COMPONENT: case KW_MODEL: case KW_DEFINE_PACKAGE_MODEL:
        case KW_BEGIN_BOARD_DESCRIPTION: case KW_MODEL_SELECTOR: case KW_SUBMODEL: case KW_TEST_DATA:
        case KW_TEST_LOAD: case KW_EXTERNAL_CIRCUIT: return true;
        default: return false;
    }
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
    if (c) PackageFree(&c->package);
    State().component = nullptr;
}

void CloseModel() {
    IbisModel* m = State().model;
    if (!m) return;
    const char* name = m->name ? m->name : "";
    if (m->ramp) RampEndCheck(m->ramp);
    if (m->algorithmic) {
        if (m->algorithmicOpen) ReportError(MSG_END_ALGMOD_MISSING);
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
        case kHeader: HdrClose(newCode); break;
        case kComponent: CloseComponent(); break;
        case kModel:
        case kSubmodel: CloseModel(); break;
        default: break;
    }
    s.open = kNone;
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

void CloseGroupFor(std::int32_t newCode) {
    GroupState& s = State();
    if (s.open == kNone) return;
    const Group next = GroupOf(newCode);
    if (s.open == kHeader) {
        HdrClose(newCode);
        if (next != kHeader) s.open = kNone;
        return;
    }
    // A submodel's keywords and a model's sub-keywords continue their group.
    const bool continues = next == s.open && !Starts(newCode);
    if (!continues) CloseOpenGroup(newCode);
}

void OpenGroupFor(std::int32_t code, const char* line) {
    GroupState& s = State();
    IbisFile* ibis = CurrentIbis();
    switch (code) {
        case KW_IBIS_VER: s.open = kHeader; break;
        case KW_COMPONENT: {
            s.open = kComponent;
            IbisComponent* c = nullptr;
            if (ibis && CheckAlloc(&c, sizeof(IbisComponent))) {
                c->name = NameAfterKeyword(line);
                AppendToList(&ibis->components, &ibis->componentsTail, c);
                s.component = c;
            }
            break;
        }
        case KW_MODEL:
            s.open = kModel;
            s.model = NewModel(line);
            break;
        case KW_SUBMODEL:
            s.open = kSubmodel;
            s.model = NewModel(line);
            Frame().submodelOpen = true;
            break;
        case KW_DEFINE_PACKAGE_MODEL: s.open = kPackageModel; break;
        case KW_BEGIN_BOARD_DESCRIPTION: s.open = kBoard; break;
        case KW_MODEL_SELECTOR: s.open = kSelector; break;
        case KW_TEST_DATA: s.open = kTestData; break;
        case KW_TEST_LOAD: s.open = kTestLoad; break;
        case KW_EXTERNAL_CIRCUIT: s.open = kCircuit; break;
        default: break;
    }
    // Keywords that their module reads on the keyword line itself.
    if (code == KW_PACKAGE && s.open == kComponent && s.component && !s.component->package)
        PackageCreate(&s.component->package);
    if ((code == KW_RAMP && s.open == kModel) || (code == KW_SUB_RAMP && s.open == kSubmodel)) {
        if (s.model) RampKeyword(line, &s.model->ramp, s.model->name ? s.model->name : "");
    }
    if (code == KW_ALGORITHMIC_MODEL && s.open == kModel && s.model) {
        AlgModKeyword(line, &s.model->algorithmic);
        s.model->algorithmicOpen = true;
    }
    if (code == KW_END_ALGORITHMIC_MODEL) {
        if (s.open == kModel && s.model && s.model->algorithmicOpen) s.model->algorithmicOpen = false;
        else ReportErrorAtLine(MSG_END_ALGMOD_ORPHAN);
    }
}

bool DispatchToGroup(std::int32_t code, int lineClass, const char* line) {
    GroupState& s = State();
    const Group group = GroupOf(code);
    if (group == kNone) return false;
    if (group == kHeader) {
        HdrLine(lineClass, code, line);
        return true;
    }
    if ((group == kComponent || group == kModel) && Frame().kind != kFileIbs) return true;  // ignored
    if (lineClass != kLineData) return true;
    if (code == KW_PACKAGE && s.open == kComponent && s.component && s.component->package)
        PackageLine(s.component->package, line);
    else if (((code == KW_RAMP && s.open == kModel) || (code == KW_SUB_RAMP && s.open == kSubmodel)) && s.model &&
             s.model->ramp)
        RampDataLine(line, s.model->ramp, s.model->name ? s.model->name : "");
    else if (code == KW_ALGORITHMIC_MODEL && s.open == kModel && s.model && s.model->algorithmic &&
             s.model->algorithmicOpen)
        AlgModDataLine(line, s.model->algorithmic);
    // Lines of the other keywords of these groups are accepted without checks.
    return true;
}

void FinishIbis() {
    CloseOpenGroup(KW_END);
    IbisFile* ibis = CurrentIbis();
    if (ibis && Frame().kind == kFileIbs && !ibis->components) ReportError(MSG_COMPONENT_REQUIRED);
}
