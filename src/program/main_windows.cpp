// Windows entry point: the arguments already arrive as UTF-16.
#include "app/run.h"

int wmain(int argc, wchar_t** argv) { return RunCellkeeperPatch(argc, argv); }
