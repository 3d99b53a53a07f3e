#include <cstdio>

#include "cli/Cli.h"
#include "signatures/FileTypeDatabase.h"

namespace vx::cli {

int CmdTypes(const Args& args) {
    if (!Positionals(args).empty()) return UsageError("types takes no SOURCE");
    FileTypeDatabase& db = FileTypes();
    db.EnsureLoaded();
    const bool json = HasFlag(args, "--json");
    if (!json) std::printf("%6s %6s %4s  %-22s %-24s %s\n", "ID", "GROUP", "SIGS", "PREFIX", "EXTENSIONS", "DESCRIPTION");
    for (const FileType* t : db.Types()) {
        if (json) {
            std::printf("{\"id\": %d, \"group\": %d, \"description\": %s, \"prefix\": %s, \"extensions\": %s, "
                        "\"signatures\": %zu, \"search\": %d}\n",
                        t->Id(), t->GroupId(), JsonString(t->Description()).c_str(),
                        JsonString(t->NamePrefix()).c_str(), JsonString(t->Extensions()).c_str(),
                        t->signatures.size(), t->SearchFlag() ? 1 : 0);
        } else {
            std::printf("%6d %6d %4zu  %-22s %-24s %s\n", t->Id(), t->GroupId(), t->signatures.size(),
                        t->NamePrefix().c_str(), t->Extensions().c_str(), t->Description().c_str());
        }
    }
    return kExitOk;
}

}  // namespace vx::cli
