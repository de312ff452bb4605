#include "app/usage.h"

#include "base/console.h"

namespace {

constexpr const char* kUsageLines[] = {
    "Usage: cellkeeper-patch [/FORCE] [/EXITSTATUS] [/PASSWORDFILE:<path>]",
    "",
    "On a qualifying Vantrel notebook, changes the BIOS setting \"Cellkeeper\" from",
    "\"Maximize my battery duration\" to \"Let Vantrel manage my battery charging\".",
    "A later run stops when an earlier run settled the matter.",
    "",
    "  /FORCE  write the new value whatever the current value is, and run again",
    "          after an earlier run settled the matter",
    "  /EXITSTATUS  exit with the status code the run recorded (as kept in",
    "          \"Status\") instead of 0, for deployment systems that read exit codes;",
    "          on Windows 3010 for a change that takes effect at the next start",
    "  /PASSWORDFILE:<path>  the file that holds the BIOS setup password (also",
    "          --password-file=<path>): only SYSTEM and Administrators (Linux:",
    "          root, mode 0600) may have access to it; one line of text",
    "  /CHECK  read only: print one JSON line saying what a run would do, and",
    "          write nothing (also --check); exit code 0 compliant, 1 would patch,",
    "          2 blocked, 3 cannot tell",
    "  /VERSION  show the name and version and change nothing (also --version)",
    "  /?      show this text and change nothing (also -?, /h, -h, /help, --help)",
    "",
    "Each run leaves its record in the registry key",
    "  HKEY_LOCAL_MACHINE\\SOFTWARE\\Vantrel\\Vantrel Cellkeeper Patch",
    "(\"DateRun\", \"Status\" and the machine's profile) and in the UEFI variable",
    "  cellkeeper_patch {994E9A98-28EB-4244-B5C6-1D92BE5321BD}",
    "The Linux build keeps the key under /var/lib/cellkeeper-patch/registry/ and",
    "the variable in /sys/firmware/efi/efivars/.",
    "",
    "Exit codes:",
    "  0   the run completed, or stopped at an earlier run's record; the outcome",
    "      is in \"Status\" (with /EXITSTATUS: the status code itself)",
    "  33  an unexpected error ended the run (for example, no Vantrel BIOS provider,",
    "      a setup password file that cannot be used, or a record that could not",
    "      be saved)",
    "  75 (Linux), 1618 (Windows)  another run holds the lock: try again later",
    "  34  the registry key cannot be opened: access denied",
    "  35  the registry key cannot be opened: any other error",
};

}  // namespace

const char* ToolAndVersion() { return "Vantrel Cellkeeper Patch " CELLKEEPER_VERSION; }

void PrintUsage() {
    WriteLine(ToolAndVersion());
    for (const char* line : kUsageLines) {
        WriteLine(line);
    }
}
