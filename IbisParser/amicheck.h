// The check of an AMI parameter-definition (.ami) file.
#pragma once

#include "IbisParser/amiparse.h"

// Reads, parses and checks the file; hands the tree to the caller (null when the
// file could not be read or parsed). `read` tells whether the file was read.
AmiParamTree* CheckAmiFile(const char* path, bool* read = nullptr);

void CheckReservedParameters(const AmiBranch* branch);
void CheckParameterBranch(const AmiBranch* branch);
void CheckParameterLeaf(const AmiLeaf* leaf, const char* parentName);
