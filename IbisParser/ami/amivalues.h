// The values of an AMI parameter file: each parameter's Default (or Value)
// against its Type, Range and List, the order of a Range, duplicate names in
// one branch, the definition leaves a model-specific parameter needs, and the
// reserved parameters whose values must agree.
#pragma once

#include <unordered_set>

#include "AmiParams/amiparse.h"

// `reported`: the values whose fault the definition rules have reported already
// (an invalid Default, a Format value that is no number); each fault is reported once.
void CheckAmiValues(const AmiBranch* root, const std::unordered_set<const AmiValue*>& reported = {});
