// vornex: the program's entry point. The window classes arrive with the user
// interface; until then it handles the signature import switch and reports
// that the windows are missing otherwise.
#include <clocale>
#include <cstdio>
#include <string>

#include "common/Notifier.h"
#include "settings/ProgramSettings.h"
#include "signatures/SignatureFile.h"

namespace {

// Until there are windows, message boxes go to the terminal.
class ConsoleNotifier : public vx::INotifier {
public:
    void ShowMessage(const std::string& caption, const std::string& text) override {
        std::printf("%s\n", text.c_str());
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "vornex: %s %s\n", caption.c_str(), text.c_str());
    }
};

// The arguments as one string, the way the command line arrives: the shell
// association passes "/addsig PATH" as one argument, a terminal as two.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

// Where a switch starts in the command line: at its start or after a blank or
// a double quote, so that a path merely containing the text is no switch.
size_t FindSwitch(const std::string& line, const std::string& name) {
    for (size_t at = line.find(name); at != std::string::npos; at = line.find(name, at + 1))
        if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '"') return at;
    return std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    const std::string line = CommandLine(argc, argv);
    const std::string addsig = "/addsig";
    if (size_t at = FindSwitch(line, addsig); at != std::string::npos) {
        ConsoleNotifier notifier;
        vx::SetNotifier(&notifier);
        vx::Settings().LoadSettings();
        // The path is everything after the switch and the one character after it.
        size_t from = at + addsig.size() + 1;
        vx::AddSignatureFile(from < line.size() ? line.substr(from) : std::string());
        vx::SetNotifier(nullptr);
        return 0;
    }
    std::fprintf(stderr, "vornex: the graphical interface is not built yet; use vornex-cli\n");
    return 2;
}
