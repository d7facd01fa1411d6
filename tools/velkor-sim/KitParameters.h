// The model's parameter string, built from the defaults of its .ami file.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sim {

// What the .ami allows for one parameter: its Type and its Format (Range typ
// min max, List of values, or a single Value).
struct ParameterRule {
    std::string type;    // Integer, Float, UI, Boolean, String, Tap or empty
    std::string format;  // Range, List, Value or empty (anything of the type)
    std::vector<std::string> values;
};

struct ModelParameters {
    std::string modelName;
    std::vector<std::pair<std::string, std::string>> values;  // Model_Specific inputs, in file order
    std::map<std::string, ParameterRule> rules;
};

// Reads the .ami file with the checker library's parser; false with a message.
bool ReadAmiDefaults(const std::string& path, ModelParameters& parameters, std::string& error);

// Whether a value is one the .ami allows; false with a message naming the allowed values.
bool CheckValue(const ModelParameters& parameters, const std::string& name, const std::string& value,
                std::string& error);

// Applies NAME=VALUE overrides; an unknown name or a value the .ami does not allow is an error.
bool ApplyOverrides(ModelParameters& parameters, const std::vector<std::string>& overrides, std::string& error);

// "(Model (name value) ...)"
std::string ParameterString(const ModelParameters& parameters);

}  // namespace sim
