#include "IbisParser/keywords/hdrcheck.h"

#include "IbisParser/engine/ibis.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/keywords/hdr.h"

namespace {

void HeaderCheckOpen(const GroupEvent& e) {
    if (e.group != kGroupHeader) return;
    if (CurrentIbis()) IbisAddHeader(HdrOpen());
    else ReportBug(MSG_HDR_NO_IBIS_STRUCTURE);
}

void HeaderCheckLine(const KeywordLine& l) { HdrLine(l.lineClass, l.code, l.line); }

void HeaderCheckClose(const GroupEvent& e) {
    if (e.group == kGroupHeader) HdrClose(e.keyword);
}

constexpr std::int32_t kHeaderKeywords[] = {KW_IBIS_VER, KW_FILE_NAME, KW_FILE_REV,   KW_DATE,
                                            KW_SOURCE,   KW_NOTES,     KW_DISCLAIMER, KW_COPYRIGHT};

}  // namespace

const KeywordCheck kHeaderCheck{
    .name = "file header",
    .keywords = kHeaderKeywords,
    .onGroupOpen = HeaderCheckOpen,
    .onLine = HeaderCheckLine,
    .onGroupClose = HeaderCheckClose,
};
