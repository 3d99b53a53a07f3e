#include "ui/viewer/DataSectorsListView.h"

#include "common/Strings.h"

namespace vx {

CData_SectorsList_View::CData_SectorsList_View(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setHeaderLabels({QString::fromUtf8(LoadString(str::RunStartSector)),
                     QString::fromUtf8(LoadString(str::RunSectorCount))});
}

void CData_SectorsList_View::ShowRuns(const std::vector<SectorRun>& runs) {
    clear();
    QList<QTreeWidgetItem*> items;
    for (size_t i = 0; i < runs.size() && i < kMaxRows; ++i) {
        auto* item = new QTreeWidgetItem({QString::number(runs[i].start), QString::number(runs[i].count)});
        item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    if (runs.size() > kMaxRows) items.append(new QTreeWidgetItem({QStringLiteral("..."), QString()}));
    addTopLevelItems(items);
    resizeColumnToContents(0);
}

}  // namespace vx
