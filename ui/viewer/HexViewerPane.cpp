#include "ui/viewer/HexViewerPane.h"

#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "device/Volume.h"
#include "fs/ObjectRuns.h"
#include "ui/viewer/DataInfoView.h"
#include "ui/viewer/DataSectorsListView.h"
#include "ui/viewer/HexEditorCtrl.h"
#include "ui/viewer/ObjectByteSource.h"
#include "ui/viewer/PreviewView.h"

namespace vx {

namespace {
QString S(int id) { return QString::fromUtf8(LoadString(id)); }
}  // namespace

CHexViewer_Pane::CHexViewer_Pane(QWidget* parent) : QWidget(parent) {
    setWindowTitle(S(str::DataViewerCaption));
    splitter_ = new QSplitter(Qt::Horizontal, this);
    info_ = new CDataInfo_View;
    runs_ = new CData_SectorsList_View;
    pages_ = new QTabWidget;
    hex_ = new CHexEditorCtrl2;
    hex_->SetReadOnly(true);
    preview_ = new CPreviewView;
    pages_->addTab(hex_, S(str::HexPage));
    pages_->addTab(preview_, S(str::PreviewPage));
    auto titled = [](QWidget* inner, const QString& title) {
        auto* tabs = new QTabWidget;
        tabs->addTab(inner, title);
        return tabs;
    };
    splitter_->addWidget(titled(info_, S(str::InformationPanel)));
    splitter_->addWidget(titled(runs_, S(str::DataRunList)));
    splitter_->addWidget(pages_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);
    connect(pages_, &QTabWidget::currentChanged, this, [this] { ShowPreviewIfVisible(); });
    ArrangePanes();
}

CHexViewer_Pane::~CHexViewer_Pane() = default;

void CHexViewer_Pane::ArrangePanes() {
    const int width = std::max(splitter_->width(), 4);
    splitter_->setSizes({width / 4, width / 4, width - width / 2});
}

void CHexViewer_Pane::ShowObject(CVolume* volume, const FoundObject* object) {
    info_->ShowObject(volume, object);
    previewShown_ = false;
    preview_->Clear();
    if (!volume || !object) {
        source_.reset();
        hex_->SetSource(nullptr);
        runs_->ShowRuns({});
        return;
    }
    FoundObject copy;
    if (!volume->collection.CopyRecord(object, copy)) copy = *object;
    runs_->ShowRuns(ObjectSectorRuns(*volume, copy));
    source_ = std::make_shared<CObjectByteSource>(*volume, copy);
    hex_->SetSource(source_);
    ShowPreviewIfVisible();
}

void CHexViewer_Pane::ShowPreviewIfVisible() {
    // The preview reads more than the hex view: only when it is looked at.
    if (previewShown_ || !source_ || pages_->currentWidget() != preview_) return;
    previewShown_ = true;
    preview_->ShowSource(source_.get());
}

}  // namespace vx
