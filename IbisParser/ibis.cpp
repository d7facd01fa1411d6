#include "IbisParser/ibis.h"

#include "IbisParser/cmn.h"
#include "IbisParser/context.h"
#include "IbisParser/hdr.h"
#include "IbisParser/messages.h"
#include "IbisParser/report.h"

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
