#include "cli/Cli.h"
namespace vx::cli {
int CmdImage(const Args&) { return kExitError; }
}
