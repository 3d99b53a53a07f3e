#pragma once
// CData_SectorsList_View: the "Data run list" of the data viewer pane, the
// runs of consecutive sectors an object's data occupies.
#include <QTreeWidget>

#include <vector>

#include "fs/FileSystem.h"

namespace vx {

class CData_SectorsList_View : public QTreeWidget {
    Q_OBJECT
public:
    explicit CData_SectorsList_View(QWidget* parent = nullptr);
    void ShowRuns(const std::vector<SectorRun>& runs);

    // More runs than this are cut, with a last line saying so.
    static constexpr size_t kMaxRows = 100000;
};

}  // namespace vx
