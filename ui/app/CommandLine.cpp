#include "ui/app/CommandLine.h"

#include <sys/stat.h>

namespace vx {

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string line;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) line += ' ';
        line += args[i];
    }
    return line;
}

size_t FindSwitch(const std::string& line, const std::string& name) {
    for (size_t at = line.find(name); at != std::string::npos; at = line.find(name, at + 1))
        if (at == 0 || line[at - 1] == ' ' || line[at - 1] == '"') return at;
    return std::string::npos;
}

CommandLine ParseCommandLine(const std::vector<std::string>& all) {
    CommandLine out;
    std::vector<std::string> args;
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == "--analyze") out.analyze = true;
        else if (all[i] == "--shots" && i + 1 < all.size()) out.shotsFolder = all[++i];
        else args.push_back(all[i]);
    }
    const std::string line = JoinArguments(args);
    const std::string addsig = "/addsig";
    if (size_t at = FindSwitch(line, addsig); at != std::string::npos) {
        out.addsig = true;
        // The path is everything after the switch and the one character after it.
        const size_t from = at + addsig.size() + 1;
        out.addsigPath = from < line.size() ? line.substr(from) : std::string();
        return out;
    }
    for (const std::string& arg : args) {
        if (arg == "/cs") {
            out.createSignature = true;
            continue;
        }
        struct stat st{};
        if (out.imagePath.empty() && ::stat(arg.c_str(), &st) == 0 && S_ISREG(st.st_mode)) out.imagePath = arg;
    }
    if (FindSwitch(line, "/cs") != std::string::npos) out.createSignature = true;
    return out;
}

}  // namespace vx
