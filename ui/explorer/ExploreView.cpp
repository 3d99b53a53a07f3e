#include "ui/explorer/ExploreView.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vx {

CExploreView::CExploreView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("The explorer is not built yet."), this));
}

CExploreView::~CExploreView() = default;

bool CExploreView::OnCommand(int) { return false; }
bool CExploreView::IsDriveSelected() const { return false; }
bool CExploreView::HasCurrentObject() const { return false; }
bool CExploreView::IsSearchShown() const { return false; }
void CExploreView::OnIdle() {}
void CExploreView::OnTimer250() {}
void CExploreView::OnTimer2000() {}
void CExploreView::ShowView(int, bool) {}
void CExploreView::RebuildTree() {}
void CExploreView::SelectVolume(CVolume*) {}
void CExploreView::OnStopAnalyzing() {}
void CExploreView::HideSearchPane() {}
void CExploreView::OnCollectionChanged(CVolume*, FoundObject*, int) {}
void CExploreView::OnVolumeAdded(CVolume*, CVolume*) {}

}  // namespace vx
