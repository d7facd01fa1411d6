#include "IbisParser/ami/amivalues.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"

namespace {

// What one parameter branch says about its values.
struct Definition {
    const char* name = "";
    bool usage = false, type = false, format = false;
    std::int32_t usageKeyword = -1;
    std::int32_t typeKeyword = -1;
    std::int32_t formatKeyword = -1;
    std::vector<const AmiValue*> formatValues;  // after the format keyword
    const AmiValue* value = nullptr;            // Default, or Value
    const char* valueLeaf = "Default";
    std::size_t valueCount = 0;  // in the leaf that gives the value: one is right
};

bool Named(const char* name, const char* what) { return std::strcmp(name, what) == 0; }

std::int32_t KeywordOf(const char* text) {
    AmiValue probe{nullptr, kAmiText, -1};
    ClassifyKeyword(&probe, text);
    return probe.keyword;
}

bool IsFormatKeyword(std::int32_t k) {
    return k == kKwValue || k == kKwRange || k == kKwList || k == kKwCorner || k == kKwIncrement ||
           k == kKwSteps || k == kKwTable || k == kKwGaussian || k == kKwDualDirac || k == kKwDjRj;
}

Definition Read(const AmiBranch* b) {
    Definition d;
    d.name = b->name;
    for (std::int32_t i = 0; i < b->childCount; ++i) {
        if (const AmiBranch* inner = AsBranch(b->children[i])) {
            if (Named(inner->name, "Table")) d.format = true;
            continue;
        }
        const AmiLeaf* leaf = AsLeaf(b->children[i]);
        if (!leaf || leaf->valueCount < 1 || !leaf->values) continue;
        const AmiValue* v = leaf->values;
        switch (leaf->nameCode) {
            case kNameUsage:
                d.usage = true;
                d.usageKeyword = v[0].keyword;
                break;
            case kNameType:
                d.type = true;
                d.typeKeyword = v[0].keyword;
                break;
            case kNameDefault:
                d.value = &v[0];
                d.valueCount = static_cast<std::size_t>(leaf->valueCount);
                break;
            case kNameFormat:
                d.format = true;
                d.formatKeyword = v[0].keyword;
                for (std::int32_t j = 1; j < leaf->valueCount; ++j) d.formatValues.push_back(&v[j]);
                if (d.formatKeyword == kKwValue && !d.formatValues.empty()) {
                    d.value = d.formatValues[0];
                    d.valueLeaf = "Value";
                    d.valueCount = d.formatValues.size();
                }
                break;
            default: {
                const std::int32_t k = KeywordOf(leaf->name);  // (Range 1 0 2), (Value 3)
                if (!IsFormatKeyword(k)) break;
                d.format = true;
                if (k == kKwValue) {
                    d.value = &v[0];
                    d.valueLeaf = "Value";
                    d.valueCount = static_cast<std::size_t>(leaf->valueCount);
                    break;
                }
                d.formatKeyword = k;
                for (std::int32_t j = 0; j < leaf->valueCount; ++j) d.formatValues.push_back(&v[j]);
            }
        }
    }
    return d;
}

bool IsParameter(const Definition& d) { return d.usage || d.type || d.format || d.value; }

// A number that a model can hold: an Integer within 64 bits, a finite Float
// (strtod also reads "nan" and "inf").
bool Representable(const AmiValue& v) {
    return v.type == kAmiInteger ? AmiIntegerFits(v.text) : std::isfinite(AmiNumberValue(v.text));
}

bool Fits(std::int32_t typeKeyword, const AmiValue& v) {
    switch (typeKeyword) {
        case kKwInteger: return v.type == kAmiInteger && Representable(v);
        case kKwFloat:
        case kKwUI:
        case kKwTap: return (v.type == kAmiInteger || v.type == kAmiFloat) && Representable(v);
        case kKwBoolean: return v.type == kAmiBoolean;
        default: return true;
    }
}

const char* TypeName(std::int32_t k) {
    switch (k) {
        case kKwInteger: return "Integer";
        case kKwFloat: return "Float";
        case kKwUI: return "UI";
        case kKwTap: return "Tap";
        case kKwBoolean: return "Boolean";
        default: return "String";
    }
}

double Number(const AmiValue& v) { return AmiNumberValue(v.text); }
// A value compared as a number: an Integer or Float that is finite. "nan",
// "inf" and "1e999" are numbers to strtod, but no comparison is built on them
// (where the Type lets them through, they are compared as texts).
bool Numeric(const AmiValue& v) { return (v.type == kAmiInteger || v.type == kAmiFloat) && std::isfinite(Number(v)); }

// The values whose fault was reported by the definition rules.
const std::unordered_set<const AmiValue*>*& AlreadyReported() {
    struct Values {
        const std::unordered_set<const AmiValue*>* reported = nullptr;
    };
    return Context().Slot<Values>().reported;
}
bool Reported(const AmiValue* v) { return AlreadyReported() && AlreadyReported()->count(v) != 0; }

void CheckDefinition(const Definition& d, bool modelSpecific) {
    if (modelSpecific) {
        if (!d.usage) ReportError(MSG_AMI_DEFINITION_MISSING, d.name, "Usage");
        if (!d.type) ReportError(MSG_AMI_DEFINITION_MISSING, d.name, "Type");
        // An input needs a value to pass; outputs and information may leave it to the model.
        const bool input = d.usageKeyword == kKwIn || d.usageKeyword == kKwInOut;
        if (input && !d.format && !d.value) ReportWarning(MSG_AMI_NO_VALUE, d.name);
    }
    // A line end separates values: "(Default 1" and ".5)" on the next line are two.
    if (d.value && !Reported(d.value) && d.valueCount != 1)
        ReportError(MSG_AMI_VALUE_COUNT, d.name, d.valueLeaf, static_cast<int>(d.valueCount));
    // Values against the Type; a Table's cells and Corner's labels are not single values.
    else if (d.value && !Reported(d.value) && !Fits(d.typeKeyword, *d.value))
        ReportError(MSG_AMI_VALUE_TYPE, d.name, d.valueLeaf, d.value->text, TypeName(d.typeKeyword));
    const bool checkedFormat = d.formatKeyword == kKwRange || d.formatKeyword == kKwList ||
                               d.formatKeyword == kKwIncrement || d.formatKeyword == kKwSteps ||
                               d.formatKeyword == kKwCorner;
    if (!checkedFormat) return;
    bool fits = true;
    for (const AmiValue* v : d.formatValues)
        if (!Fits(d.typeKeyword, *v)) {
            if (!Reported(v)) ReportError(MSG_AMI_VALUE_TYPE, d.name, "Format", v->text, TypeName(d.typeKeyword));
            fits = false;
        }
    if (!fits) return;
    if (d.formatKeyword == kKwList) {
        if (!d.value) return;
        bool listed = false;
        for (const AmiValue* v : d.formatValues)
            listed = listed || (Numeric(*v) && Numeric(*d.value) ? Number(*v) == Number(*d.value)
                                                                  : std::strcmp(v->text, d.value->text) == 0);
        if (!listed) ReportError(MSG_AMI_NOT_IN_LIST, d.name, d.valueLeaf, d.value->text);
        return;
    }
    if (d.formatKeyword == kKwCorner || d.formatValues.size() < 3) return;
    const AmiValue &typ = *d.formatValues[0], &min = *d.formatValues[1], &max = *d.formatValues[2];
    if (!Numeric(typ) || !Numeric(min) || !Numeric(max)) return;
    if (Number(min) > Number(typ) || Number(typ) > Number(max))
        ReportError(MSG_AMI_RANGE_ORDER, d.name, typ.text, min.text, max.text);
    if (d.value && Numeric(*d.value) && (Number(*d.value) < Number(min) || Number(*d.value) > Number(max)))
        ReportError(MSG_AMI_OUTSIDE_RANGE, d.name, d.valueLeaf, d.value->text, min.text, max.text);
}

// Reserved parameters whose values must not be negative.
void CheckNonNegative(const Definition& d) {
    if (!Named(d.name, "Ignore_Bits") && !Named(d.name, "Max_Init_Aggressors")) return;
    std::vector<const AmiValue*> values = d.formatValues;
    if (d.value) values.push_back(d.value);
    for (const AmiValue* v : values)
        if (Numeric(*v) && Number(*v) < 0) ReportError(MSG_AMI_NEGATIVE, d.name, v->text);
}

// Two children of one branch with one name.
void CheckDuplicates(const AmiBranch* b) {
    if (Named(b->name, "Table") || Named(b->name, "Labels")) return;
    std::unordered_set<std::string> names;
    for (std::int32_t i = 0; i < b->childCount; ++i) {
        const AmiBranch* inner = AsBranch(b->children[i]);
        const AmiLeaf* leaf = AsLeaf(b->children[i]);
        const char* name = inner ? inner->name : leaf ? leaf->name : nullptr;
        if (name && !names.insert(name).second) ReportError(MSG_AMI_DUPLICATE, name, b->name);
    }
}

bool IsFalse(const Definition& d) { return d.value && Named(d.value->text, "False"); }

}  // namespace

void CheckAmiValues(const AmiBranch* root, const std::unordered_set<const AmiValue*>& reported) {
    if (!root) return;
    AlreadyReported() = &reported;
    bool initFalse = false, getWaveFalse = false, initSeen = false, getWaveSeen = false;
    struct Open {
        const AmiBranch* branch;
        bool modelSpecific;
    };
    std::vector<Open> open{{root, false}};
    while (!open.empty()) {
        const Open top = open.back();
        open.pop_back();
        const ItemLineScope branchLine(static_cast<std::uint32_t>(top.branch->line));  // its findings' line
        CheckDuplicates(top.branch);
        const Definition d = Read(top.branch);
        if (top.branch != root && IsParameter(d)) {
            CheckDefinition(d, top.modelSpecific);
            CheckNonNegative(d);
            if (Named(d.name, "Init_Returns_Impulse")) initSeen = true, initFalse = IsFalse(d);
            if (Named(d.name, "GetWave_Exists")) getWaveSeen = true, getWaveFalse = IsFalse(d);
            continue;
        }
        if (Named(top.branch->name, "Table")) continue;
        const bool modelSpecific = top.modelSpecific || Named(top.branch->name, "Model_Specific");
        for (std::int32_t i = top.branch->childCount - 1; i >= 0; --i)
            if (const AmiBranch* inner = AsBranch(top.branch->children[i])) open.push_back({inner, modelSpecific});
    }
    if (initSeen && getWaveSeen && initFalse && getWaveFalse) ReportError(MSG_AMI_NO_RESPONSE);
    AlreadyReported() = nullptr;
}
