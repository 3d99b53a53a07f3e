#pragma once
// The program's command line. "/addsig PATH" adds a signature file and ends;
// "/cs" opens the New Signature Wizard; a path to a drive image loads it as
// a source and selects it. Two options serve the screenshot run:
// "--analyze" starts the analysis of that image, "--shots DIR" writes
// pictures of the windows into DIR.
#include <string>
#include <vector>

namespace vx {

struct CommandLine {
    bool addsig = false;
    std::string addsigPath;
    bool createSignature = false;  // "/cs"
    std::string imagePath;
    bool analyze = false;
    std::string shotsFolder;
};

// The arguments as one string, the way the switches are searched: the shell
// association passes "/addsig PATH" as one argument, a terminal as two.
std::string JoinArguments(const std::vector<std::string>& args);
// Where a switch starts in the line: at its start or after a blank or a
// double quote, so that a path merely containing the text is no switch.
size_t FindSwitch(const std::string& line, const std::string& name);
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace vx
