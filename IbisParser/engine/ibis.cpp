#include "IbisParser/engine/ibis.h"

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/keywords/hdr.h"

namespace {

// The structure of the file being checked.
IbisFile*& Current() {
    struct Structure {
        IbisFile* file = nullptr;
    };
    return Context().Slot<Structure>().file;
}

}  // namespace

IbisFile* CurrentIbis() { return Current(); }

bool IbisCreate() {
    IbisFree();
    if (!CheckAlloc(&Current(), sizeof(IbisFile))) {
        ReportBug(MSG_IBIS_CREATE_FAILED);
        return false;
    }
    return true;
}

void IbisFree() {
    if (!Current()) return;
    HdrFree(&Current()->headers);
    while (IbisComponent* c = Current()->components) {
        Current()->components = c->next;
        if (c->name) CheckFree(&c->name);
        CheckFree(&c);
    }
    while (IbisModel* m = Current()->models) {
        Current()->models = m->next;
        if (m->name) CheckFree(&m->name);
        CheckFree(&m);
    }
    CheckFree(&Current());
}

void IbisAddHeader(FileHeader* header) {
    if (!header) return;
    if (!Current()) {
        FileHeader* orphan = header;
        HdrFree(&orphan);
        return;
    }
    AppendToList(&Current()->headers, &Current()->headersTail, header);
}
