#pragma once
struct KeywordCheck {
    const char* name;
};
