// The check of an AMI parameter-definition (.ami) file.
#pragma once

#include "AmiParams/amiparse.h"
#include "IbisParser/engine/check.h"

// The largest .ami file read: far above any real parameter file (a few kB to
// about 1 MB); bounds the text and the tree built from it.
constexpr unsigned long kAmiFileSizeLimit = 16ul << 20;

// Reads, parses and checks the file; hands the tree to the caller (null when the
// file could not be read or parsed). `read` tells whether the file was read.
// The rules are those of an IBIS version (10 * major + minor): the file's own
// AMI_Version (IBIS 5.0 without one), or the version of the IBIS file that
// names the .ami file (`rulesVersion`) when that is later.
AmiParamTree* CheckAmiFile(const char* path, bool* read = nullptr, int rulesVersion = 0);

void CheckReservedParameters(const AmiBranch* branch);
void CheckParameterBranch(const AmiBranch* branch);
void CheckParameterLeaf(const AmiLeaf* leaf, const char* parentName);

// The check of .ami files, each read on its own.
extern const FileCheck kAmiFileCheck;
