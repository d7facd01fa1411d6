// Names and references of an IBIS file: pins, models, model selectors,
// submodels and package models are collected as their lines are read, checked
// for duplicates at once, and the references between them are checked when the
// component (pins) or the file (models, package models) is complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "IbisParser/engine/check.h"
#include "IbisParser/engine/keywordcodes.h"

// Forgets everything collected (a new file).
void XrefReset();
// A keyword or data line of a keyword that defines or references names.
void XrefLine(const KeywordLine& line);
// A [Component] starts: its name is one of the file's.
void XrefComponentStart(const char* componentName);
// The component is complete: its pin references are checked.
void XrefComponentEnd(const char* componentName);
// A [Define Package Model] of this file is complete: its [Pin Numbers], each with its line.
void XrefPackageModelPins(const std::string& name, const std::vector<std::string>& pins,
                          const std::vector<std::uint32_t>& lines);
// A [Model] gives its Model_type (as the standard writes it).
void XrefModelType(const std::string& model, const char* type);
// The file is complete: the references to models and package models are checked.
void XrefFinish();

// The check of the names and references of a file.
extern const KeywordCheck kReferencesCheck;
