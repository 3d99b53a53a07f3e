#include "ui/viewer/DataInfoView.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "device/Volume.h"
#include "ui/viewer/ObjectInformation.h"

namespace vx {

CDataInfo_View::CDataInfo_View(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    icon_ = new QLabel(this);
    layout->addWidget(icon_);
    form_ = new QFormLayout;
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    layout->addLayout(form_);
    layout->addStretch(1);
}

void CDataInfo_View::ShowObject(CVolume* volume, const FoundObject* object) {
    volume_ = volume;
    hasObject_ = volume && object;
    if (hasObject_ && !volume->collection.CopyRecord(object, object_)) object_ = *object;
    Refresh();
}

void CDataInfo_View::Refresh() {
    while (form_->rowCount() > 0) form_->removeRow(0);
    icon_->clear();
    if (!hasObject_) return;
    const ObjectInformation info = DescribeObject(*volume_, object_);
    icon_->setPixmap(info.icon.pixmap(32, 32));
    for (const auto& [label, value] : info.rows) {
        auto* field = new QLabel(value, this);
        field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        field->setWordWrap(true);
        form_->addRow(label, field);
    }
}

QString CDataInfo_View::Value(const QString& label) const {
    for (int row = 0; row < form_->rowCount(); ++row) {
        auto* name = qobject_cast<QLabel*>(form_->itemAt(row, QFormLayout::LabelRole)->widget());
        auto* value = qobject_cast<QLabel*>(form_->itemAt(row, QFormLayout::FieldRole)->widget());
        if (name && value && name->text() == label) return value->text();
    }
    return {};
}

}  // namespace vx
