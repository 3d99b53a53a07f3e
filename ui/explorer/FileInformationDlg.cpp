#include "ui/explorer/FileInformationDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "device/Volume.h"
#include "fs/ObjectTypes.h"
#include "signatures/FileTypeDatabase.h"
#include "ui/explorer/ExplorerText.h"
#include "ui/explorer/ObjectIcons.h"

namespace vx {

std::vector<std::pair<QString, QString>> CFileInformationViewDlg::Rows(CVolume& volume, const FoundObject& object) {
    auto number = [](uint64_t v) { return QString::number(qulonglong(v)); };
    const FileType* type = object.IsFolder() ? nullptr : FileTypes().FindForObject(object);
    const bool named = object.name && *object.name && !object.Is(object_flag::FoundByContent);
    QString typeText, signature = QString::fromUtf8(LoadString(str::Unknown));
    if (object.IsFolder()) typeText = QString::fromUtf8(LoadString(str::Folder));
    else typeText = QString::fromStdString(ObjectTypeName(object));
    if (!named && type) signature = QString::fromStdString(type->DisplayName());
    QString offset = QStringLiteral("0"), size = QStringLiteral("0"), onDisk = QStringLiteral("0");
    if (!object.IsFolder()) {
        offset = number(object.start);
        size = object.SizeKnown() ? number(object.size) : QStringLiteral("-1");
        const uint64_t cluster = std::max<uint32_t>(volume.bytesPerCluster, 1);
        onDisk = object.SizeKnown() ? number((object.size + cluster - 1) / cluster * cluster) : QStringLiteral("-1");
    }
    return {
        {tr("Status:"), object.IsDeleted() ? tr("Deleted") : tr("Live")},
        {tr("Id:"), QString::number(object.id)},
        {tr("Parent Id:"), QString::number(object.parent)},
        {tr("Type:"), typeText},
        {tr("Signature:"), signature},
        {tr("Location:"), QString::fromStdString(volume.ObjectFolderPath(object))},
        {tr("Offset:"), offset},
        {tr("Size:"), size},
        {tr("Size on disk:"), onDisk},
        {tr("Created time:"), DateTextOrUnknown(object.created)},
        {tr("Modified time:"), DateTextOrUnknown(object.modified)},
        {tr("Accessed time:"), DateTextOrUnknown(object.accessed)},
    };
}

CFileInformationViewDlg::CFileInformationViewDlg(CVolume& volume, const FoundObject& object, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(LoadString(348)));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* icon = new QLabel(this);
    const int image = object.IsFolder() ? (object.IsDeleted() ? kImageDeletedFolder : kImageFolder)
                                        : (object.IsDeleted() ? kImageDeletedFile : kImageFile);
    icon->setPixmap(ImageIcon(image).pixmap(16, 16));
    top->addWidget(icon);
    auto* name = new QLabel(NameText(object), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(name, 1);
    layout->addLayout(top);
    auto* form = new QFormLayout;
    for (const auto& [label, value] : Rows(volume, object)) {
        auto* field = new QLabel(value, this);
        field->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label, field);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace vx
