// [Algorithmic Model] of a model: its Executable entries and their checks.
#pragma once

#include <cstdint>

#include "AmiParams/amiparse.h"
#include "IbisParser/engine/check.h"

constexpr std::size_t kAlgModNameLimit = 44;

struct AlgorithmicModelEntry {
    AlgorithmicModelEntry* next;
    char platform[kAlgModNameLimit + 1];
    char compiler[kAlgModNameLimit + 1];
    std::int32_t bits;  // -1 until parsed
    char executable[kAlgModNameLimit + 1];
    char parameterFile[kAlgModNameLimit + 1];
    AmiParamTree* tree;  // the parsed parameter file, once checked
    std::int32_t form;   // the sub-parameter: kExecutable, kExecutableRx or kExecutableTx
    std::uint32_t line;  // of the entry in the IBIS file
};

// The Executable sub-parameters; the Rx and Tx forms (the two halves of a
// repeater) came with IBIS 6.0.
enum AlgModForm : std::int32_t { kExecutable = 0, kExecutableRx = 1, kExecutableTx = 2 };

int AlgModKeyword(const char* line, AlgorithmicModelEntry*** head);
void AlgModDataLine(const char* line, AlgorithmicModelEntry** head);
void AlgModEndChecks(AlgorithmicModelEntry** head);
void AlgModFree(AlgorithmicModelEntry*** head);

// The checks of the files the entries name, looked up in the directory of the
// checked IBIS file: 4615 to 4618, then the .ami check of each parameter file.
// A name with a directory part is refused and nothing outside that directory is
// opened; each named file is checked once per IBIS file.
void AlgModFileChecks(AlgorithmicModelEntry** head, const char* modelName);
// Starts over the record of the files already checked (a new IBIS file).
void AlgModForgetCheckedFiles();

// The [Algorithmic Model] check, with the files its entries name.
extern const KeywordCheck kAlgorithmicModelCheck;
