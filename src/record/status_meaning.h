// What a status code means, in words, for the log and the read-only check.
#pragma once

#include "record/run_status_code.h"

#include <cstdint>
#include <string>

// "a BIOS setup password is set"; a code outside the table is "an unknown status code".
std::string StatusMeaning(std::int32_t code);
inline std::string StatusMeaning(RunStatusCode code) {
    return StatusMeaning(static_cast<std::int32_t>(code));
}
