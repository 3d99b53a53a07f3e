// vornex-cli: the recovery tool's command-line front end.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "common/Notifier.h"
#include "settings/ProgramSettings.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const vx::cli::Args&);
    const char* usage;
    vx::cli::OptionTable options;  // every option the command accepts
};

const std::vector<Command> kCommands = {
    {"info", vx::cli::CmdInfo,
     "info SOURCE [--json] [--offset BYTES] [--verify]  describe an image file, an image container or a block\n"
     "                                device; --verify checks the acquisition hash a container stores",
     {{"--json", false}, {"--offset", true}, {"--verify", false}}},
    {"drives", vx::cli::CmdDrives, "drives [--json]               list the disks and partitions of this machine",
     {{"--json", false}}},
    {"image", vx::cli::CmdImage, "image SOURCE --to FILE [--overwrite]  copy a source sector by sector into an image file",
     {{"--to", true}, {"--overwrite", false}, {"--unreadable-sectors", true}}},
    {"types", vx::cli::CmdTypes, "types [--json]                list the file formats of the database",
     {{"--json", false}}},
    {"analyze", vx::cli::CmdAnalyze,
     "analyze SOURCE [--fs-only | --scan-only] [--free-space-only] [--json]\n"
     "          [--partition N | --all-partitions | --offset BYTES | --lost-partitions]\n"
     "                                analyse a volume or a disk's partitions and list what was found",
     {{"--fs-only", false}, {"--scan-only", false}, {"--json", false}, {"--partition", true},
      {"--all-partitions", false}, {"--offset", true}, {"--lost-partitions", false},
      {"--free-space-only", false}}},
    {"recover", vx::cli::CmdRecover,
     "recover SOURCE --to DIR [--partition N | --all-partitions | --offset BYTES | --lost-partitions]\n"
     "          [--fs-only | --scan-only] [--free-space-only] [--min-size BYTES] [--min-pixels WxH]\n"
     "          [--deleted-only] [--live-only] [--lost] [--match GLOB] [--id ID ...] [--flat] [--overwrite]\n"
     "          [--size-rule typical|next-any|next-same|BYTES]\n"
     "                                recover the files found below DIR",
     {{"--to", true}, {"--partition", true}, {"--all-partitions", false}, {"--offset", true},
      {"--lost-partitions", false}, {"--fs-only", false},
      {"--scan-only", false}, {"--deleted-only", false}, {"--live-only", false}, {"--lost", false},
      {"--match", true}, {"--id", true}, {"--flat", false}, {"--overwrite", false}, {"--size-rule", true},
      {"--free-space-only", false}, {"--min-size", true}, {"--min-pixels", true}}},
    {"addsig", vx::cli::CmdAddsig, "addsig FILE                   add a signature file to the database", {}},
    {"search-lost", vx::cli::CmdSearchLost, "search-lost SOURCE [--json]   find partitions that no table lists any more",
     {{"--json", false}}},
};

void PrintHelp() {
    std::puts("Usage: vornex-cli COMMAND [OPTIONS]\n"
              "Recovers files from FAT and NTFS volumes, disks and drive images. Sources are\n"
              "only ever opened read-only.\n\nCommands:");
    for (const Command& c : kCommands) std::printf("  %s\n", c.usage);
    std::puts("\n  --help      show this text\n  --version   show the version");
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc < 2) {
        PrintHelp();
        return vx::cli::kExitError;
    }
    std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp();
        return vx::cli::kExitOk;
    }
    if (name == "--version") {
        std::puts("vornex-cli " VORNEX_VERSION);
        return vx::cli::kExitOk;
    }
    vx::cli::CliNotifier notifier;
    vx::SetNotifier(&notifier);
    vx::Settings().LoadSettings();
    vx::Settings().ApplyLogging();
    vx::cli::Args args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (name != c.name) continue;
        std::string error;
        if (!vx::cli::CheckOptions(args, c.options, error)) {
            std::fprintf(stderr, "vornex-cli: %s\nUsage: vornex-cli %s\n", error.c_str(), c.usage);
            return vx::cli::kExitError;
        }
        vx::cli::UseOptions(c.options);
        return c.run(args);
    }
    return vx::cli::UsageError("unknown command '" + name + "'");
}
