#include "AmiParams/AmiParamReader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AmiParams/amialloc.h"

namespace {

std::string Join(const std::string& prefix, const char* name) {
    if (prefix.empty()) return name ? name : "";
    return prefix + "." + (name ? name : "");
}

constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);

// The length of the own path of a list or leaf called name whose parent's own
// path is path[0, matched): the parent's path, a dot and the name (the name
// alone after an empty path), when that text begins the requested path;
// kNoMatch when it does not. Nothing under a list whose own path does not begin
// the requested path can match it, so the search goes no deeper there.
std::size_t Extend(const char* path, std::size_t pathLength, std::size_t matched, const char* name) {
    const char* n = name ? name : "";
    const std::size_t nameLength = std::strlen(n);
    std::size_t at = matched;
    if (matched > 0) {
        if (at >= pathLength || path[at] != '.') return kNoMatch;
        ++at;
    }
    if (nameLength > pathLength - at || std::memcmp(path + at, n, nameLength) != 0) return kNoMatch;
    return at + nameLength;
}

}  // namespace

// Depth-first in document order with a stack of its own: a parameter text may
// nest lists as deeply as it likes, and simulators run models on threads with
// small stacks. Each name is compared once with the path: linear time.
AmiLeaf* FindAmiLeaf(const AmiBranch* node, const char* path, const char* prefix) {
    if (!node || !path || node->childCount == 0 || !node->children) return nullptr;
    const std::size_t pathLength = std::strlen(path);
    const std::string own = Join(prefix ? prefix : "", node->name);
    if (own.size() > pathLength || own.compare(0, own.size(), path, own.size()) != 0) return nullptr;

    struct Frame {
        const AmiBranch* branch;
        std::int32_t next;    // the child to examine next
        std::size_t matched;  // length of the branch's own path
    };
    std::vector<Frame> stack{{node, 0, own.size()}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.branch->childCount || !frame.branch->children) {
            stack.pop_back();
            continue;
        }
        const AmiNodeRef& child = frame.branch->children[frame.next++];
        if (!child.node) continue;
        if (AmiLeaf* leaf = AsLeaf(child)) {
            if (Extend(path, pathLength, frame.matched, leaf->name) == pathLength) return leaf;
        } else if (const AmiBranch* branch = AsBranch(child)) {
            const std::size_t matched = Extend(path, pathLength, frame.matched, branch->name);
            if (matched != kNoMatch && branch->childCount > 0) stack.push_back({branch, 0, matched});
        }
    }
    return nullptr;
}

AmiParamReader::AmiParamReader(const char* text) {
    if (!text) return;
    char* copy = AmiCopyText(text, std::strlen(text));
    if (!copy) return;
    parsed_ = ParseAmiParams(copy, &tree_) == kParseOk;
    AmiFree(&copy);
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
    const double x = AmiNumberValue(v->text);
    // Outside int32 (or not a number) no conversion is defined: not found.
    if (!(x > -2147483649.0 && x < 2147483648.0)) return false;
    result = static_cast<std::int32_t>(x);
    return true;
}

bool AmiParamReader::GetDouble(double& result, const char* path) const {
    const AmiValue* v = FirstValue(path);
    if (!v || (v->type != kAmiInteger && v->type != kAmiFloat)) return false;
    result = AmiNumberValue(v->text);
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
    char* copy = AmiCopyText(text, length);
    if (!copy) return false;
    if (result) AmiFree(&result);
    result = copy;
    return true;
}
