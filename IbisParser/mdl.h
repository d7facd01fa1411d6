// [Model] sub-parameters: each carries the IBIS version that introduced it.
#pragma once

// Reads one data line of [Model]: a sub-parameter newer than the file's version
// is an error. Other content is not checked here.
void ModelSubParameterLine(const char* line);
