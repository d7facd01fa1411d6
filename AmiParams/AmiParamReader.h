// Typed lookup of AMI parameters by dotted path (Model.Branch.leaf).
#pragma once

#include <cstdint>

#include "AmiParams/amiparse.h"

// The leaf whose dotted path equals path, searched depth-first in document
// order under node (first match wins); null when there is none.
AmiLeaf* FindAmiLeaf(const AmiBranch* node, const char* path, const char* prefix);

class AmiParamReader {
public:
    // Parses a copy of the text; a text that does not parse makes every lookup fail.
    explicit AmiParamReader(const char* text);
    ~AmiParamReader();
    AmiParamReader(const AmiParamReader&) = delete;
    AmiParamReader& operator=(const AmiParamReader&) = delete;

    bool parsed() const { return parsed_; }
    const AmiParamTree* tree() const { return tree_; }

    // Each returns true and stores its result only when the path names a leaf
    // whose first value has an accepted type.
    bool GetInt(std::int32_t& result, const char* path) const;  // integer or float, truncated
    bool GetDouble(double& result, const char* path) const;     // integer or float
    bool GetBool(bool& result, const char* path) const;         // True or False
    bool GetString(char*& result, const char* path) const;      // text, quotes removed; free with AmiFree

private:
    const AmiValue* FirstValue(const char* path) const;

    bool parsed_ = false;
    AmiParamTree* tree_ = nullptr;
};
