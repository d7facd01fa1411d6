// The checker library's one table of numbered message texts.
#pragma once

#include <cstdint>

struct MessageRow {
    std::int32_t number;
    const char* text;  // printf format
};

// Rows in ascending order of number; row 0 serves every number not found.
extern const MessageRow kMessageTable[];
extern const std::int32_t kMessageCount;

// The row of a number, found by bisection; null when the table lacks it.
const MessageRow* FindMessage(std::int32_t number);

// Numbers given to findings whose wording is this library's own.
enum : std::int32_t {
    MSG_IBIS_CREATE_FAILED = 3905,
    MSG_COMPONENT_REQUIRED = 3906,
    MSG_NOT_A_REGULAR_FILE = 1925,
    MSG_END_ALGMOD_MISSING = 4636,  // the [Algorithmic Model] section's own wording
    MSG_END_ALGMOD_ORPHAN = 4637,
    MSG_AMI_SECOND_OUTERMOST_LIST = 4638,
    MSG_ALGMOD_NAME_HAS_DIRECTORY = 4639,
    MSG_AMI_FILE_TOO_LARGE = 4640,
};
