#pragma once
// The probable-size dialog: a file found by content whose size is unknown.
// Asked on the user-interface thread on behalf of the recovery thread, which
// waits for the answer.
#include "common/Notifier.h"

class QWidget;

namespace vx {

class CProbableSizeDlg {
public:
    static ProbableSizeAnswer Ask(QWidget* owner, CVolume* volume, const FoundObject& object,
                                  const ProbableSizeQuestion& question);
};

}  // namespace vx
