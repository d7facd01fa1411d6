// ibislint's output formats besides the word style: gnu (one line per finding,
// as compilers write them), json (one document for the run) and sarif (SARIF
// 2.1.0 for code-scanning dashboards).
#pragma once

#include <cstdio>
#include <vector>

#include "tools/ibislint/findings.h"

// The findings of one file, one line each, then its summary (printed by the
// checker's own summary, which the caller adds).
void WriteGnu(std::FILE* out, const CheckedFile& file);

void WriteJson(std::FILE* out, const std::vector<CheckedFile>& files, const std::vector<std::int32_t>& disabled);

void WriteSarif(std::FILE* out, const std::vector<CheckedFile>& files, const std::vector<std::int32_t>& disabled);

// The message table as a Markdown table (number, severity, short name, text):
// docs/ibislint-messages.md is this output.
void WriteMessageTable(std::FILE* out);
