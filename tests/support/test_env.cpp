#include "support/test_env.h"

#include <cstdlib>
#include <ctime>
#include <list>
#include <string>

namespace {

// POSIX putenv keeps the pointer it is given, so every "NAME=value" text lives until exit.
std::list<std::string>& EnvironmentTexts() {
    static std::list<std::string> texts;
    return texts;
}

}  // namespace

void SetEnvironmentVariableForTest(const std::string& name, const std::string& value) {
    std::string& text = EnvironmentTexts().emplace_back(name + "=" + value);
    // putenv and tzset carry the same names in both C libraries; setenv does not exist on
    // Windows.
    putenv(text.data());
}

ScopedTimeZone::ScopedTimeZone(const std::string& zone) {
    if (const char* previous = std::getenv("TZ"); previous != nullptr) {
        hadZone_ = true;
        previousZone_ = previous;
    }
    SetEnvironmentVariableForTest("TZ", zone);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    // Without a previous zone, TZ stays set but empty (UTC to both libraries): the two
    // libraries disagree on how putenv removes a variable.
    SetEnvironmentVariableForTest("TZ", hadZone_ ? previousZone_ : std::string());
    tzset();
}
