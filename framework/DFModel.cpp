#include "framework/DFModel.h"

#include <cstdio>

namespace CorvaneModelBuilder {

void DFModel::ReportBlockError(const char* text) const {
    std::fputs(text ? text : "", stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace CorvaneModelBuilder
