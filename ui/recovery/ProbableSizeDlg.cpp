#include "ui/recovery/ProbableSizeDlg.h"

namespace vx {

ProbableSizeAnswer CProbableSizeDlg::Ask(QWidget*, CVolume*, const FoundObject&, const ProbableSizeQuestion&) {
    return {};
}

}  // namespace vx
