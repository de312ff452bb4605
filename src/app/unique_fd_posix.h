// The owner of a Linux file descriptor, for the Linux-only files of the run (its log, its
// restart notice).
#pragma once

#include "platform/owners.h"

#include <unistd.h>

struct FdTraits {
    using Type = int;
    static Type Empty() { return -1; }
    static void Close(Type fd) { close(fd); }
};
using UniqueFd = UniqueResource<FdTraits>;
