// The values of an AMI parameter file: each parameter's Default (or Value)
// against its Type, Range and List, the order of a Range, duplicate names in
// one branch, the definition leaves a model-specific parameter needs, and the
// reserved parameters whose values must agree.
#pragma once

#include "IbisParser/amiparse.h"

void CheckAmiValues(const AmiBranch* root);
