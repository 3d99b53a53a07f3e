#pragma once
// Desktop integration: opening files with the program associated with them.
#include <functional>
#include <string>

namespace vx {

enum class OpenResult { Opened, NoApplication, Failed };

// Runs xdg-open on the path (detached; waits at most a moment for its verdict).
OpenResult OpenWithAssociatedProgram(const std::string& path);

// Tests replace the opener so that nothing is launched; null restores xdg-open.
void SetOpenHandler(std::function<OpenResult(const std::string&)> handler);

}  // namespace vx
