#include "IbisParser/text/lineitems.h"

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/words.h"

namespace {
constexpr const char* kModule = "cmn.cpp";
}

int SplitLineItems(const char* text, std::int32_t maxCount, char separator, LineItems* out) {
    IBIS_ASSERT(kModule, text != nullptr && out != nullptr && maxCount >= 0);
    out->maxCount = maxCount;
    out->storedCount = 0;
    out->totalCount = 0;
    out->items = nullptr;
    if (maxCount > 0 && !CheckAlloc(&out->items, sizeof(char*) * static_cast<std::size_t>(maxCount))) {
        ReportBug(MSG_COPY_FAILED, kModule, __LINE__);
        return 0;
    }
    for (const std::string_view word : Items(text, separator)) {
        if (out->storedCount < maxCount) {
            char* item = CheckStrNDup(word.data(), word.size());
            if (!item) {
                ReportError(MSG_ALLOCATION_FAILED, static_cast<unsigned>(word.size() + 1));
                ReportBug(MSG_COPY_FAILED, kModule, __LINE__);
                FreeLineItems(out);
                return 0;
            }
            out->items[out->storedCount++] = item;
        }
        ++out->totalCount;
    }
    return 1;
}

void FreeLineItems(LineItems* items) {
    if (!items || !items->items) return;
    for (std::int32_t i = 0; i < items->storedCount; ++i)
        if (items->items[i]) CheckFree(&items->items[i]);
    CheckFree(&items->items);
    items->storedCount = 0;
}
