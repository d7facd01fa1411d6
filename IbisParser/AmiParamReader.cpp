#include "IbisParser/AmiParamReader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "IbisParser/cmn.h"

namespace {

std::string Join(const std::string& prefix, const char* name) {
    if (prefix.empty()) return name ? name : "";
    return prefix + "." + (name ? name : "");
}

}  // namespace

AmiLeaf* FindAmiLeaf(const AmiBranch* node, const char* path, const char* prefix) {
    if (!node || !path || node->childCount == 0 || !node->children) return nullptr;
    const std::string own = Join(prefix ? prefix : "", node->name);
    for (std::int32_t i = 0; i < node->childCount; ++i) {
        const AmiNodeRef& child = node->children[i];
        if (!child.node) continue;
        if (AmiLeaf* leaf = AsLeaf(child)) {
            if (Join(own, leaf->name) == path) return leaf;
        } else if (AmiLeaf* found = FindAmiLeaf(AsBranch(child), path, own.c_str())) {
            return found;
        }
    }
    return nullptr;
}

AmiParamReader::AmiParamReader(const char* text) {
    if (!text) return;
    char* copy = CheckStrDup(text);
    if (!copy) return;
    parsed_ = ParseAmiParams(copy, &tree_) == kParseOk;
    CheckFree(&copy);
}

AmiParamReader::~AmiParamReader() { FreeAmiParamTree(&tree_); }

const AmiValue* AmiParamReader::FirstValue(const char* path) const {
    if (!tree_ || !parsed_ || !tree_->nodes || tree_->count < 1 || !tree_->nodes[0].node) return nullptr;
    const AmiBranch* root = AsBranch(tree_->nodes[0]);
    const AmiLeaf* leaf = FindAmiLeaf(root, path, "");
    if (!leaf || !leaf->values || leaf->valueCount < 1) return nullptr;
    return &leaf->values[0];
}

bool AmiParamReader::GetInt(std::int32_t& result, const char* path) const {
    const AmiValue* v = FirstValue(path);
    if (!v || (v->type != kAmiInteger && v->type != kAmiFloat)) return false;
    const double x = std::atof(v->text);
    // Outside int32 (or not a number) no conversion is defined: not found.
    if (!(x > -2147483649.0 && x < 2147483648.0)) return false;
    result = static_cast<std::int32_t>(x);
    return true;
}

bool AmiParamReader::GetDouble(double& result, const char* path) const {
    const AmiValue* v = FirstValue(path);
    if (!v || (v->type != kAmiInteger && v->type != kAmiFloat)) return false;
    result = std::atof(v->text);
    return true;
}

bool AmiParamReader::GetBool(bool& result, const char* path) const {
    const AmiValue* v = FirstValue(path);
    if (!v || v->type != kAmiBoolean) return false;
    result = strcasecmp(v->text, "true") == 0;
    return true;
}

bool AmiParamReader::GetString(char*& result, const char* path) const {
    const AmiValue* v = FirstValue(path);
    if (!v || v->type != kAmiText) return false;
    // The token without its quotes; a bare word is taken as it stands.
    const char* text = v->text;
    std::size_t length = std::strlen(text);
    if (length >= 2 && text[0] == '"' && text[length - 1] == '"') {
        ++text;
        length -= 2;
    }
    char* copy = CheckStrNDup(text, length);
    if (!copy) return false;
    if (result) CheckFree(&result);
    result = copy;
    return true;
}
