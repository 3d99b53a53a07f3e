#pragma once
// CDataInfo_View: the "Information" panel of the data viewer pane, the
// object information fields of one found object.
#include <QWidget>

#include "fs/FoundObject.h"

class QFormLayout;
class QLabel;

namespace vx {

class CVolume;

class CDataInfo_View : public QWidget {
    Q_OBJECT
public:
    explicit CDataInfo_View(QWidget* parent = nullptr);
    // Keeps the object and refreshes every field; null clears them.
    void ShowObject(CVolume* volume, const FoundObject* object);
    void Refresh();
    // The value shown beside a label ("Size on disk:"), for tests.
    QString Value(const QString& label) const;

private:
    CVolume* volume_ = nullptr;
    FoundObject object_;
    bool hasObject_ = false;
    QLabel* icon_;
    QFormLayout* form_;
};

}  // namespace vx
