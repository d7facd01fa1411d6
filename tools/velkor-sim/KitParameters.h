// The model's parameter string, built from the defaults of its .ami file.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace sim {

struct ModelParameters {
    std::string modelName;
    std::vector<std::pair<std::string, std::string>> values;  // Model_Specific inputs, in file order
};

// Reads the .ami file with the checker library's parser; false with a message.
bool ReadAmiDefaults(const std::string& path, ModelParameters& parameters, std::string& error);

// Applies NAME=VALUE overrides; an unknown name is an error.
bool ApplyOverrides(ModelParameters& parameters, const std::vector<std::string>& overrides, std::string& error);

// "(Model (name value) ...)"
std::string ParameterString(const ModelParameters& parameters);

}  // namespace sim
