// Compile-time check of a report against the message table: the row exists,
// is reported with its own severity, and its printf format takes the
// arguments (each argument type has a class, each conversion takes one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "IbisParser/engine/messages.h"

namespace message_format {

// 's' text, 'i' an integer no wider than int, 'l' long or unsigned long (and
// size_t on Linux), 'q' long long, 'f' a floating number, 'p' another pointer, '?' none
// that a format takes (a std::string, a bool, a class).
template <typename T>
constexpr char ClassOf() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_pointer_v<U>) {
        using Pointee = std::remove_cv_t<std::remove_pointer_t<U>>;
        return std::is_same_v<Pointee, char> ? 's' : 'p';
    } else if constexpr (std::is_same_v<U, bool>) {
        return '?';
    } else if constexpr (std::is_enum_v<U>) {
        return sizeof(U) <= sizeof(int) ? 'i' : '?';
    } else if constexpr (std::is_integral_v<U>) {
        // long is its own class whatever its width (4 bytes on Windows, 8 on Linux).
        if constexpr (std::is_same_v<U, long> || std::is_same_v<U, unsigned long>) return 'l';
        else if constexpr (sizeof(U) <= sizeof(int)) return 'i';
        else return 'q';
    } else if constexpr (std::is_floating_point_v<U>) {
        return std::is_same_v<U, long double> ? '?' : 'f';
    } else {
        return '?';
    }
}

template <typename... Args>
inline constexpr char kClasses[] = {ClassOf<Args>()..., '\0'};

// Whether the format's conversions take exactly the arguments of these classes,
// in order ('*' widths and precisions take an int).
constexpr bool Takes(const char* format, const char* classes) {
    std::size_t next = 0;
    auto take = [&](char wanted) { return classes[next] == wanted ? (++next, true) : false; };
    for (const char* p = format; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
        if (*p == '*') {
            if (!take('i')) return false;
            ++p;
        }
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                if (!take('i')) return false;
                ++p;
            }
            while (*p >= '0' && *p <= '9') ++p;
        }
        char length = 'i';
        if (*p == 'h') {
            while (*p == 'h') ++p;
        } else if (*p == 'l' && p[1] == 'l') {
            length = 'q';
            p += 2;
        } else if (*p == 'l' || *p == 'z') {
            length = *p == 'z' ? ClassOf<std::size_t>() : 'l';
            ++p;
        }
        switch (*p) {
            case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'c':
                if (!take(length)) return false;
                break;
            case 's':
                if (length != 'i' || !take('s')) return false;
                break;
            case 'f': case 'F': case 'g': case 'G': case 'e': case 'E':
                if (!take('f')) return false;
                break;
            case 'p':
                if (!take('p') && !take('s')) return false;
                break;
            default: return false;  // %n, or a conversion this library never writes
        }
    }
    return classes[next] == '\0';
}

}  // namespace message_format

// A message row as a report names it: the constant of a row that exists, is
// reported with its own severity S and whose format takes the arguments Args.
// All three are checked when the call compiles; a mismatch fails the build
// naming one of the functions below.
void MessageIsNotInTheTable();
void MessageReportedWithAnotherSeverity();
void MessageArgumentsDoNotMatchItsFormat();

template <Severity S, typename... Args>
class MessageOf {
public:
    consteval MessageOf(Msg id) : number_(id) {
        const std::int32_t index = MessageIndex(id);
        if (index < 0) MessageIsNotInTheTable();
        else if (kMessageTable[index].severity != S) MessageReportedWithAnotherSeverity();
        else if (!message_format::Takes(kMessageTable[index].text, message_format::kClasses<Args...>))
            MessageArgumentsDoNotMatchItsFormat();
    }
    constexpr std::int32_t number() const { return number_; }

private:
    std::int32_t number_;
};
