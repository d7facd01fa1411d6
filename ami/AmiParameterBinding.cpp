#include "ami/AmiModelInstance.h"

namespace ami {

// Parameter reading arrives with the parameter-tree parser; until then the model
// keeps the defaults of its constructor.
void BindParameters(const char* /*parametersIn*/, Velkor_Rx& /*model*/, std::string& /*message*/) {}

}  // namespace ami
