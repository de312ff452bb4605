// Table cases (INSTANTIATE_TEST_SUITE_P) are structs with a `name` field; these name and print
// them by it, in every test binary alike.
#pragma once

#include <ostream>
#include <string>

// Names table cases after their `name` field: INSTANTIATE_TEST_SUITE_P(..., CaseName()).
struct CaseName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return std::string(info.param.name);
    }
};

// Prints a table case as its name instead of its raw bytes (padding included, which memory
// checkers rightly call uninitialised). Bring it into the cases' namespace with
// `using ::PrintTo;` so that the test framework finds it.
template <typename Case>
requires requires(const Case& c) { c.name; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
