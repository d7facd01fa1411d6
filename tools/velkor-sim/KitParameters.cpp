#include "tools/velkor-sim/KitParameters.h"

#include <cstring>
#include <fstream>
#include <sstream>

#include "IbisParser/amiparse.h"

namespace sim {

namespace {

const char* kParseProblems[] = {"", "mismatched parentheses", "it does not start with a parenthesis",
                                "too few nodes in branches or leaves", "out of memory",
                                "a second outermost list", "a list that holds only a name",
                                "more lists than parentheses", "a list that holds only a name"};

const AmiLeaf* Child(const AmiBranch* branch, int nameCode) {
    for (int i = 0; i < branch->childCount; ++i)
        if (const AmiLeaf* leaf = AsLeaf(branch->children[i]))
            if (leaf->nameCode == nameCode && leaf->valueCount > 0) return leaf;
    return nullptr;
}

// The default of one parameter: Default, else the typical value of its Format.
bool DefaultOf(const AmiBranch* parameter, std::string& value) {
    if (const AmiLeaf* d = Child(parameter, kNameDefault)) {
        value = d->values[0].text;
        return true;
    }
    if (const AmiLeaf* f = Child(parameter, kNameFormat)) {
        if (f->valueCount >= 2) {
            value = f->values[1].text;
            return true;
        }
    }
    return false;
}

}  // namespace

bool ReadAmiDefaults(const std::string& path, ModelParameters& parameters, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open the parameter file '" + path + "'";
        return false;
    }
    // Comments start with '|'; lines join without a separator, as the checker reads them.
    std::string text, line;
    while (std::getline(in, line)) {
        const auto bar = line.find('|');
        if (bar != std::string::npos) line.erase(bar);
        text += line + " ";
    }
    AmiParamTree* tree = nullptr;
    const int code = ParseAmiParams(text.c_str(), &tree);
    if (code != 0) {
        error = "the parameter file '" + path + "' does not parse: " +
                (code > 0 && code < 9 ? kParseProblems[code] : "internal error");
        return false;
    }
    const AmiBranch* root = AsBranch(tree->nodes[0]);
    parameters.modelName = root && root->name ? root->name : "";
    parameters.values.clear();
    for (int i = 0; root && i < root->childCount; ++i) {
        const AmiBranch* group = AsBranch(root->children[i]);
        if (!group || std::strcmp(group->name, "Model_Specific") != 0) continue;
        for (int j = 0; j < group->childCount; ++j) {
            const AmiBranch* p = AsBranch(group->children[j]);
            if (!p) continue;
            const AmiLeaf* usage = Child(p, kNameUsage);
            if (usage && std::strcmp(usage->values[0].text, "In") != 0 && std::strcmp(usage->values[0].text, "InOut") != 0)
                continue;
            std::string value;
            if (DefaultOf(p, value)) parameters.values.emplace_back(p->name, value);
        }
    }
    FreeAmiParamTree(&tree);
    if (parameters.modelName.empty()) {
        error = "the parameter file '" + path + "' names no model";
        return false;
    }
    return true;
}

bool ApplyOverrides(ModelParameters& parameters, const std::vector<std::string>& overrides, std::string& error) {
    for (const std::string& o : overrides) {
        const auto eq = o.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == o.size()) {
            error = "--param expects NAME=VALUE, got '" + o + "'";
            return false;
        }
        const std::string name = o.substr(0, eq), value = o.substr(eq + 1);
        bool found = false;
        for (auto& p : parameters.values)
            if (p.first == name) {
                p.second = value;
                found = true;
            }
        if (!found) {
            std::string known;
            for (const auto& p : parameters.values) known += " " + p.first;
            error = "unknown parameter '" + name + "'; the model's parameters are:" + known;
            return false;
        }
    }
    return true;
}

std::string ParameterString(const ModelParameters& parameters) {
    std::string s = "(" + parameters.modelName;
    for (const auto& p : parameters.values) s += " (" + p.first + " " + p.second + ")";
    return s + ")";
}

}  // namespace sim
