// Fuzz target: the AMI parameter-tree parser and the typed lookups on any text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "AmiParams/AmiParamReader.h"
#include "AmiParams/amialloc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);  // stops at an embedded NUL
    AmiParamTree* tree = nullptr;
    if (ParseAmiParams(text.c_str(), &tree) == 0) {
        // Every slot is either empty or a record of its kind.
        for (std::int32_t i = 0; i < tree->count; ++i)
            if (const AmiBranch* b = AsBranch(tree->nodes[i]))
                for (std::int32_t c = 0; c < b->childCount; ++c) (void)b->children[c].node;
    }
    FreeAmiParamTree(&tree);
    const AmiParamReader reader(text.c_str());
    std::int32_t i = 0;
    double d = 0;
    bool b = false;
    char* s = nullptr;
    for (const char* path : {"Velkor_Rx.CDR_Threshold", "Velkor_Rx.corner", "a", "a.b", "Velkor_Rx.Sub.x"}) {
        reader.GetInt(i, path);
        reader.GetDouble(d, path);
        reader.GetBool(b, path);
        reader.GetString(s, path);
    }
    if (s) AmiFree(&s);
    return 0;
}
