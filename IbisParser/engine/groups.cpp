#include "IbisParser/engine/groups.h"

#include <array>
#include <cstring>
#include <vector>

#include "IbisParser/engine/check.h"
#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/ibis.h"
#include "IbisParser/engine/keywords.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/namedfile.h"
#include "IbisParser/engine/registry.h"
#include "IbisParser/engine/report.h"

namespace {

struct GroupState {
    KeywordGroup open = kGroupNone;
    // The open component's or model's record: its checks are told of it only
    // when it could be made.
    const char* name = nullptr;
    bool recorded = false;
};

GroupState& State() {
    return Context().Slot<GroupState>();
}

// The groups that are records of the file's structure, each with a name.
bool IsModelGroup(KeywordGroup group) { return group == kGroupModel || group == kGroupSubmodel; }
bool IsRecordGroup(KeywordGroup group) { return group == kGroupComponent || IsModelGroup(group); }

char* NameAfterKeyword(const char* line) {
    const char* p = std::strchr(line, ']');
    p = p ? p + 1 : line + std::strlen(line);
    SkipBlanks(&p);
    return CheckStrDup(p);
}

// The record of a component, model or submodel (models and submodels share one
// list); false when it could not be made.
bool NewRecord(KeywordGroup group, const char* line, const char** name) {
    IbisFile* ibis = CurrentIbis();
    if (!ibis) return false;
    if (group == kGroupComponent) {
        IbisComponent* c = nullptr;
        if (!CheckAlloc(&c, sizeof(IbisComponent))) return false;
        c->name = NameAfterKeyword(line);
        AppendToList(&ibis->components, &ibis->componentsTail, c);
        *name = c->name;
        return true;
    }
    IbisModel* m = nullptr;
    if (!CheckAlloc(&m, sizeof(IbisModel))) return false;
    m->name = NameAfterKeyword(line);
    AppendToList(&ibis->models, &ibis->modelsTail, m);
    *name = m->name;
    return true;
}

template <typename Event, typename... Args>
void Tell(Event KeywordCheck::*event, const Args&... args) {
    for (const KeywordCheck* check : RegisteredChecks())
        if (check->*event) (check->*event)(args...);
}

void CloseOpenGroup(std::int32_t newCode) {
    GroupState& s = State();
    if (s.open != kGroupNone && (!IsRecordGroup(s.open) || s.recorded)) {
        Tell(&KeywordCheck::onGroupClose, GroupEvent{s.open, s.name, newCode});
        if (IsModelGroup(s.open)) Frame().submodelOpen = false;
    }
    s.open = kGroupNone;
    s.name = nullptr;
    s.recorded = false;
}

// The checks that listen to each keyword code, in registry order.
using Listeners = std::array<std::vector<const KeywordCheck*>, KW_CODE_COUNT>;

Listeners ListenersByCode() {
    Listeners byCode;
    for (const KeywordCheck* check : RegisteredChecks())
        for (std::int32_t code : check->keywords)
            if (code >= 0 && code < KW_CODE_COUNT) byCode[static_cast<std::size_t>(code)].push_back(check);
    return byCode;
}

}  // namespace

void ResetGroups() {
    State() = GroupState{};
    Tell(&KeywordCheck::onFileStart);
    ForgetNamedFiles();  // a board's components point into them: forgotten after the board
}

void CloseGroupFor(const KeywordInfo& next) {
    GroupState& s = State();
    if (s.open == kGroupNone) return;
    // A submodel's keywords, a model's sub-keywords and the file header's keywords
    // continue their group; a group's first keyword starts it anew.
    const bool continues = next.group == s.open && !(next.flags & kStartsGroup);
    if (!continues) CloseOpenGroup(next.code);
}

void OpenGroupFor(const KeywordInfo& row, const char* line) {
    GroupState& s = State();
    if (!(row.flags & kStartsGroup)) return;
    s.open = row.group;
    s.name = nullptr;
    if (IsRecordGroup(row.group)) s.recorded = NewRecord(row.group, line, &s.name);
    if (!IsRecordGroup(row.group) || s.recorded) Tell(&KeywordCheck::onGroupOpen, GroupEvent{row.group, s.name, row.code});
    if (row.group == kGroupSubmodel) Frame().submodelOpen = true;
}

KeywordGroup OpenGroup() { return State().open; }

void NoteKeyword(const KeywordInfo& row, const char* line) {
    Tell(&KeywordCheck::onKeyword, KeywordLine{kLineKeyword, row.code, line, State().open});
}

void DispatchLine(int lineClass, std::int32_t code, const char* line) {
    static const Listeners byCode = ListenersByCode();
    if (code < 0 || code >= KW_CODE_COUNT) return;
    const KeywordLine event{lineClass, code, line, State().open};
    for (const KeywordCheck* check : byCode[static_cast<std::size_t>(code)])
        if (check->onLine) check->onLine(event);
}

void FinishIbis() {
    CloseOpenGroup(KW_END);
    IbisFile* ibis = CurrentIbis();
    if (ibis && Frame().kind == kFileIbs && !ibis->components) ReportError(MSG_COMPONENT_REQUIRED);
    Tell(&KeywordCheck::onFileEnd);
}
