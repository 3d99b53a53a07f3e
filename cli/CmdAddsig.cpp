#include <cstdio>

#include "cli/Cli.h"
#include "signatures/SignatureFile.h"

namespace vx::cli {

namespace {

// The add operation's notices: the confirmation on stdout, errors on stderr.
class AddsigNotifier : public CliNotifier {
public:
    void ShowMessage(const std::string& caption, const std::string& text) override {
        std::printf("%s\n", text.c_str());
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "vornex-cli: %s\n", text.c_str());
    }
};

}  // namespace

int CmdAddsig(const Args& args) {
    std::vector<std::string> files = Positionals(args);
    if (files.size() != 1) return UsageError("addsig needs one FILE");
    AddsigNotifier notifier;
    INotifier* previous = &Notifier();
    SetNotifier(&notifier);
    FileType* added = AddSignatureFile(files[0]);
    SetNotifier(previous);
    return added ? kExitOk : kExitError;
}

}  // namespace vx::cli
