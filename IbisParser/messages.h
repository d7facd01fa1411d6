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

// The content checks: references, model requirements, tables, package
// models, board descriptions and AMI values, in one block of their own.
enum : std::int32_t {
    MSG_XREF_DUPLICATE_NAME = 5000,
    MSG_XREF_PIN_COLUMNS = 5001,
    MSG_XREF_PIN_MODEL = 5002,
    MSG_XREF_MODEL_CASE = 5003,
    MSG_XREF_UNKNOWN_PIN = 5004,
    MSG_XREF_UNKNOWN_MODEL = 5005,
    MSG_XREF_UNKNOWN_SUBMODEL = 5006,
    MSG_XREF_PACKAGE_MODEL_UNSEEN = 5007,
    MSG_XREF_PACKAGE_MODEL_MISSING = 5008,
    MSG_XREF_SELECTOR_IS_MODEL = 5009,
    MSG_MODEL_UNKNOWN_TYPE = 5020,
    MSG_MODEL_BAD_ENUM = 5021,
    MSG_MODEL_UNKNOWN_SUB = 5022,
    MSG_MODEL_BAD_VALUE = 5023,
    MSG_MODEL_TYPE_REQUIRED = 5025,
    MSG_MODEL_REQUIRES = 5026,
    MSG_COLUMNS_EXPECTED = 5027,
    MSG_TABLE_EMPTY = 5040,
    MSG_TABLE_FIXTURE_MISSING = 5041,
    MSG_TABLE_UNKNOWN_SUB = 5042,
    MSG_TABLE_BAD_NUMBER = 5043,
    MSG_TABLE_COLUMNS = 5044,
    MSG_TABLE_NA_NOT_ALLOWED = 5045,
    MSG_TABLE_NOT_INCREASING = 5046,
    MSG_TABLE_DUPLICATE = 5047,
    MSG_TABLE_NOT_MONOTONIC = 5048,
    MSG_PKG_PIN_COUNT = 5060,
    MSG_PKG_MATRIX_TYPE = 5061,
    MSG_PKG_ROW_PIN = 5062,
    MSG_PKG_ROW_LENGTH = 5063,
    MSG_PKG_ROW_BAND = 5064,
    MSG_PKG_NO_BANDWIDTH = 5065,
    MSG_PKG_DIAGONAL = 5066,
    MSG_PKG_MATRIX_MISSING = 5067,
    MSG_AMI_DUPLICATE = 5100,
    MSG_AMI_DEFINITION_MISSING = 5101,
    MSG_AMI_VALUE_TYPE = 5102,
    MSG_AMI_NOT_IN_LIST = 5103,
    MSG_AMI_RANGE_ORDER = 5104,
    MSG_AMI_OUTSIDE_RANGE = 5105,
    MSG_AMI_NEGATIVE = 5106,
    MSG_AMI_NO_RESPONSE = 5107,
    MSG_AMI_NO_VALUE = 5108,
};
