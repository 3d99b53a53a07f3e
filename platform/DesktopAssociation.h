#pragma once
// The signature-file association on a freedesktop desktop: a MIME type for
// ".filesig" files and a desktop entry that opens them with "vornex /addsig",
// written below the user's data folder, after which the desktop's MIME and
// application databases are refreshed when their tools are installed.
#include <string>

namespace vx {

inline constexpr const char* kSignatureMimeType = "application/x-quillon-filesignature";

// $XDG_DATA_HOME, else ~/.local/share.
std::string DataHomeFolder();

// Writes mime/packages/quillon-filesignature.xml and
// applications/quillon-filesignature.desktop below DataHomeFolder(), the
// entry running `programPath` with "/addsig" and the file. 1 when both
// files were written.
int RegisterSignatureFileAssociation(const std::string& programPath);

}  // namespace vx
