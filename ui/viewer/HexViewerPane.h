#pragma once
// CHexViewer_Pane: the "Data viewer" pane of the main window. It follows the
// explorer's selection: the "Information" panel describes the object, the
// "Data run list" lists where its data lies, and the hex view and the preview
// show its bytes as recovery reads them. Read-only throughout.
#include <QWidget>

#include <memory>

#include "fs/FoundObject.h"

class QSplitter;
class QTabWidget;

namespace vx {

class CVolume;
class CDataInfo_View;
class CData_SectorsList_View;
class CHexEditorCtrl2;
class CPreviewView;
class CObjectByteSource;

class CHexViewer_Pane : public QWidget {
    Q_OBJECT
public:
    explicit CHexViewer_Pane(QWidget* parent = nullptr);
    ~CHexViewer_Pane() override;

    CDataInfo_View* InfoView() const { return info_; }
    CData_SectorsList_View* RunList() const { return runs_; }
    CHexEditorCtrl2* HexView() const { return hex_; }
    CPreviewView* PreviewView() const { return preview_; }
    QTabWidget* Pages() const { return pages_; }

    // Places the two splitter bars at a quarter and at half of the width.
    void ArrangePanes();

public slots:
    // The object to show (null for none). The object's record must stay
    // valid until the next call: call again with null before its volume is
    // analysed again or dropped.
    void ShowObject(vx::CVolume* volume, const vx::FoundObject* object);

private:
    void ShowPreviewIfVisible();

    QSplitter* splitter_;
    CDataInfo_View* info_;
    CData_SectorsList_View* runs_;
    QTabWidget* pages_;
    CHexEditorCtrl2* hex_;
    CPreviewView* preview_;
    std::shared_ptr<CObjectByteSource> source_;
    bool previewShown_ = false;
};

}  // namespace vx
