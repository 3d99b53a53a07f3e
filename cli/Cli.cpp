#include "cli/Cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include <set>

#include "common/Strings.h"
#include "platform/FaultySectorReader.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "settings/EventLog.h"

namespace vx::cli {

std::unique_ptr<CVolume> OpenSource(const std::string& path) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        std::fprintf(stderr, "vornex-cli: %s: %s\n", path.c_str(), std::strerror(errno));
        return nullptr;
    }
    std::unique_ptr<CVolume> volume = Computer().OpenSource(path);
    std::string error;
    if (!volume || !volume->OpenDrive()) {
        std::string reason = std::strerror(EACCES);
        std::unique_ptr<ISectorReader> probe = OpenPosixSectorReader(path, &error);
        if (!probe) reason = error;
        std::fprintf(stderr, "vornex-cli: %s: %s\n", path.c_str(), reason.c_str());
        return nullptr;
    }
    return volume;
}

namespace {
OptionTable& RunningOptions() {
    static OptionTable options;
    return options;
}

const OptionSpec* FindOption(const OptionTable& options, const std::string& name) {
    for (const OptionSpec& o : options)
        if (name == o.name) return &o;
    return nullptr;
}

bool IsOption(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }
}  // namespace

bool CheckOptions(const Args& args, const OptionTable& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (!IsOption(args[i])) continue;
        const size_t equals = args[i].find('=');
        const std::string name = args[i].substr(0, equals);
        const OptionSpec* option = FindOption(options, name);
        if (!option) {
            error = "unknown option '" + name + "'";
            return false;
        }
        if (equals != std::string::npos) {
            if (!option->takesValue) {
                error = "option '" + name + "' takes no value";
                return false;
            }
            continue;
        }
        if (!option->takesValue) continue;
        if (i + 1 >= args.size() || FindOption(options, args[i + 1].substr(0, args[i + 1].find('=')))) {
            error = "option '" + name + "' needs a value";
            return false;
        }
        ++i;
    }
    return true;
}

void UseOptions(const OptionTable& options) { RunningOptions() = options; }

std::vector<std::string> Positionals(const Args& args) {
    std::vector<std::string> withValue;
    for (const OptionSpec& o : RunningOptions())
        if (o.takesValue) withValue.push_back(o.name);
    return Positionals(args, withValue);
}

bool HasFlag(const Args& args, const std::string& flag) {
    for (const auto& a : args)
        if (a == flag) return true;
    return false;
}

bool OptionValue(const Args& args, const std::string& option, std::string& value) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == option && i + 1 < args.size()) {
            value = args[i + 1];
            return true;
        }
        if (args[i].rfind(option + "=", 0) == 0) {
            value = args[i].substr(option.size() + 1);
            return true;
        }
    }
    return false;
}

std::vector<std::string> OptionValues(const Args& args, const std::string& option) {
    std::vector<std::string> values;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == option && i + 1 < args.size()) values.push_back(args[++i]);
        else if (args[i].rfind(option + "=", 0) == 0) values.push_back(args[i].substr(option.size() + 1));
    }
    return values;
}

std::vector<std::string> Positionals(const Args& args, const std::vector<std::string>& optionsWithValue) {
    std::vector<std::string> out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-') {
            for (const auto& o : optionsWithValue)
                if (a == o) { ++i; break; }
            continue;
        }
        out.push_back(a);
    }
    return out;
}

bool TakeUnreadableSectorsOption(Args& args, const std::string& source) {
    const std::string option = "--unreadable-sectors";
    for (size_t i = 0; i < args.size(); ++i) {
        std::string list;
        size_t take = 0;
        if (args[i] == option && i + 1 < args.size()) {
            list = args[i + 1];
            take = 2;
        } else if (args[i].rfind(option + "=", 0) == 0) {
            list = args[i].substr(option.size() + 1);
            take = 1;
        } else {
            continue;
        }
        std::set<uint64_t> sectors;
        if (!ParseSectorList(list, sectors)) return false;
        InstallUnreadableSectors(source, std::move(sectors));
        args.erase(args.begin() + long(i), args.begin() + long(i + take));
        return true;
    }
    return true;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) out += Format("\\u%04x", c);
                else out += char(c);
        }
    }
    return out + "\"";
}

std::string PartitionText(const CVolume& volume) {
    if (volume.partitionTypeGuid.empty()) return {};
    return "\"" + volume.partitionName + "\" " + volume.partitionTypeGuid;
}

std::string TargetText(const CVolume& volume) {
    std::string text = volume.DisplayName() + " (" + volume.fileSystemName + ")";
    if (!volume.partitionTypeGuid.empty()) text += " " + PartitionText(volume);
    return text;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "vornex-cli: %s\nTry 'vornex-cli --help'.\n", message.c_str());
    return kExitError;
}

namespace {
int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

ProgressLine::ProgressLine() : enabled_(::isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Update(const std::string& text, bool force) {
    if (!enabled_) return;
    int64_t now = NowMs();
    if (!force && now - lastMs_ < 250) return;
    lastMs_ = now;
    std::string line = "\r" + text;
    if (text.size() < lastWidth_) line += std::string(lastWidth_ - text.size(), ' ');
    lastWidth_ = text.size();
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void ProgressLine::Finish() {
    if (!enabled_ || lastWidth_ == 0) return;
    std::fprintf(stderr, "\r%s\r", std::string(lastWidth_, ' ').c_str());
    std::fflush(stderr);
    lastWidth_ = 0;
}

}  // namespace vx::cli
