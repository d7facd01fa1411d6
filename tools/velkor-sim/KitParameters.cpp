#include "tools/velkor-sim/KitParameters.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "AmiParams/amiparse.h"
#include "tools/velkor-sim/InputFile.h"

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

// The leaf named `name` (legacy forms: Range, List, Value directly under the parameter).
const AmiLeaf* ChildNamed(const AmiBranch* branch, const char* name) {
    for (int i = 0; i < branch->childCount; ++i)
        if (const AmiLeaf* leaf = AsLeaf(branch->children[i]))
            if (leaf->name && std::strcmp(leaf->name, name) == 0 && leaf->valueCount > 0) return leaf;
    return nullptr;
}

ParameterRule RuleOf(const AmiBranch* parameter) {
    ParameterRule rule;
    if (const AmiLeaf* type = Child(parameter, kNameType)) rule.type = type->values[0].text;
    const AmiLeaf* format = Child(parameter, kNameFormat);
    int first = 1;
    if (!format) {
        for (const char* legacy : {"Range", "List", "Value"})
            if ((format = ChildNamed(parameter, legacy))) {
                rule.format = legacy;
                first = 0;
                break;
            }
    } else {
        rule.format = format->values[0].text;
    }
    if (format)
        for (int i = first; i < format->valueCount; ++i) rule.values.emplace_back(format->values[i].text);
    return rule;
}

bool ParseReal(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}

std::string Join(const std::vector<std::string>& values) {
    std::string out;
    for (const auto& v : values) out += (out.empty() ? "" : " ") + v;
    return out;
}

}  // namespace

bool CheckValue(const ModelParameters& parameters, const std::string& name, const std::string& value,
                std::string& error) {
    const auto found = parameters.rules.find(name);
    if (found == parameters.rules.end()) return true;
    const ParameterRule& rule = found->second;
    const std::string what = name + "=" + value;
    double number = 0;
    const bool numeric = rule.type == "Integer" || rule.type == "Float" || rule.type == "UI" || rule.type == "Tap";
    if (numeric && !ParseReal(value, number)) {
        error = what + ": " + name + " is of Type " + rule.type + " and needs a number";
        return false;
    }
    if (rule.type == "Integer" && number != std::floor(number)) {
        error = what + ": " + name + " is of Type Integer";
        return false;
    }
    if (rule.type == "Boolean" && value != "True" && value != "False") {
        error = what + ": " + name + " is of Type Boolean: True or False";
        return false;
    }
    if (rule.format == "Range" && rule.values.size() >= 3 && numeric) {
        double lo = 0, hi = 0;
        if (ParseReal(rule.values[1], lo) && ParseReal(rule.values[2], hi) && (number < lo || number > hi)) {
            error = what + " is outside the Range of " + name + " in the .ami: " + rule.values[1] + " to " +
                    rule.values[2];
            return false;
        }
    }
    if (rule.format == "List" && !rule.values.empty()) {
        bool listed = false;
        for (const auto& allowed : rule.values) {
            double a = 0;
            listed = listed || allowed == value || (numeric && ParseReal(allowed, a) && a == number);
        }
        if (!listed) {
            error = what + " is not in the List of " + name + " in the .ami: " + Join(rule.values);
            return false;
        }
    }
    if (rule.format == "Value" && !rule.values.empty() && rule.values[0] != value) {
        error = what + ": " + name + " has the fixed Value " + rule.values[0] + " in the .ami";
        return false;
    }
    return true;
}

bool ReadAmiDefaults(const std::string& path, ModelParameters& parameters, std::string& error) {
    std::ifstream in;
    if (!OpenInputFile(path, 1u << 20, "the parameter file", in, error)) return false;
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
        error = "the parameter file '" + Printable(path) + "' does not parse: " +
                (code > 0 && code < 9 ? kParseProblems[code] : "internal error");
        return false;
    }
    const AmiBranch* root = AsBranch(tree->nodes[0]);
    parameters.modelName = root && root->name ? root->name : "";
    parameters.values.clear();
    parameters.rules.clear();
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
            parameters.rules[p->name] = RuleOf(p);
        }
    }
    FreeAmiParamTree(&tree);
    if (parameters.modelName.empty()) {
        error = "the parameter file '" + Printable(path) + "' names no model";
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
        if (!CheckValue(parameters, name, value, error)) return false;
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
