#include "IbisParser/ibis.h"

#include "IbisParser/algmod.h"
#include "IbisParser/cmn.h"
#include "IbisParser/hdr.h"
#include "IbisParser/messages.h"
#include "IbisParser/pkg.h"
#include "IbisParser/ramp.h"
#include "IbisParser/report.h"

namespace {
IbisFile* current = nullptr;
}

IbisFile* CurrentIbis() { return current; }

bool IbisCreate() {
    IbisFree();
    if (!CheckAlloc(&current, sizeof(IbisFile))) {
        ReportBug(MSG_IBIS_CREATE_FAILED);
        return false;
    }
    return true;
}

void IbisFree() {
    AlgModForgetCheckedFiles();
    if (!current) return;
    HdrFree(&current->headers);
    while (IbisComponent* c = current->components) {
        current->components = c->next;
        PackageFree(&c->package);
        if (c->name) CheckFree(&c->name);
        CheckFree(&c);
    }
    while (IbisModel* m = current->models) {
        current->models = m->next;
        RampFree(&m->ramp);
        AlgModFree(&m->algorithmic);
        if (m->name) CheckFree(&m->name);
        CheckFree(&m);
    }
    CheckFree(&current);
}

void IbisAddHeader(FileHeader* header) {
    if (!header) return;
    if (!current) {
        FileHeader* orphan = header;
        HdrFree(&orphan);
        return;
    }
    AppendToList(&current->headers, &current->headersTail, header);
}
