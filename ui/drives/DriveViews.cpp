#include "ui/drives/DriveViews.h"

#include <QContextMenuEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFormLayout>
#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"
#include "platform/MediaFolder.h"
#include "platform/Paths.h"
#include "platform/Shell.h"
#include "platform/Trash.h"
#include "ui/drives/VolumeInfoView.h"
#include "ui/images/CreatingImageDlg.h"

namespace vx {

namespace {

QString S(int id) { return QString::fromUtf8(LoadString(id)); }

bool IsFat(const CVolume& v) { return v.typeCode == 1 || v.typeCode == 4 || v.typeCode == 6 || v.typeCode == 11 || v.typeCode == 14 || v.typeCode == 12; }

}  // namespace

// --- My Computer ---------------------------------------------------------------

CMyComputerView::CMyComputerView(QWidget* parent) : QTextBrowser(parent) {
    setFrameShadow(QFrame::Sunken);
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.scheme() == QLatin1String("vornex")) {
            bool ok = false;
            const int id = url.path().section('/', -1).toInt(&ok);
            if (ok) emit CommandRequested(id);
            return;
        }
        if (url.isLocalFile() || url.isRelative()) setSource(url.isRelative() ? source().resolved(url) : url);
        else QDesktopServices::openUrl(url);
    });
    Navigate();
}

void CMyComputerView::Navigate() {
    const QString page = QString::fromStdString(JoinPath(MediaFolder(), "index.html"));
    if (QFileInfo::exists(page)) setSource(QUrl::fromLocalFile(page));
}

// --- Trash ------------------------------------------------------------------------

CRecycleBinView::CRecycleBinView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setUniformRowHeights(true);
    setHeaderLabels({S(str::TrashName), S(str::TrashOriginalPath), S(str::TrashDeleted)});
    Fill();
}

void CRecycleBinView::Fill(const std::string& dataHome) {
    clear();
    const QIcon file = style()->standardIcon(QStyle::SP_FileIcon), folder = style()->standardIcon(QStyle::SP_DirIcon);
    for (const TrashItem& t : ListTrash(dataHome)) {
        const QDateTime when = QDateTime::fromString(QString::fromStdString(t.deletionDate), Qt::ISODate);
        auto* item = new QTreeWidgetItem(
            {QString::fromStdString(t.name), QString::fromStdString(t.originalPath),
             when.isValid() ? QLocale().toString(when, QLocale::ShortFormat) : QString::fromStdString(t.deletionDate)});
        item->setIcon(0, QFileInfo(QString::fromStdString(t.file)).isDir() ? folder : file);
        item->setData(0, Qt::UserRole, QString::fromStdString(t.file));
        addTopLevelItem(item);
    }
    for (int c = 0; c < 3; ++c) resizeColumnToContents(c);
}

void CRecycleBinView::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(viewport()->mapFromGlobal(event->globalPos()));
    if (!item) return;
    const std::string path = item->data(0, Qt::UserRole).toString().toStdString();
    QMenu menu(this);
    menu.addAction(S(str::TrashOpen), this, [path] { OpenWithAssociatedProgram(path); });
    menu.exec(event->globalPos());
}

// --- Volume list --------------------------------------------------------------------

CVolumeListCtrl::CVolumeListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHeaderLabels({S(str::VolumeListDrive), S(str::VolumeListType), S(str::VolumeListTotal), S(str::VolumeListSerial),
                     S(str::VolumeListStatus)});
    const int widths[] = {100, 60, 100, 70, 70};
    for (int c = 0; c < 5; ++c) setColumnWidth(c, widths[c]);
    headerItem()->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    Fill();
}

void CVolumeListCtrl::Fill() {
    clear();
    for (CVolume* v : Computer().Volumes().Snapshot()) {
        if (v->kind != VolumeKind::Logical) continue;
        const bool queried = v->state.load() != VolumeState::QueryInformation;
        auto* item = new QTreeWidgetItem(
            {QString::fromStdString(v->DisplayName()), queried ? QString::fromStdString(v->fileSystemName) : QString(),
             queried ? QString::fromStdString(GroupDigits(v->totalBytes)) : QString(),
             queried && v->serialNumber ? QString::fromStdString(SerialText(v->serialNumberHigh, v->serialNumber))
                                        : QString(),
             QString::fromUtf8(VolumeStateText(v->state.load()))});
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(v)));
        addTopLevelItem(item);
    }
}

CVolume* CVolumeListCtrl::SelectedVolume() const {
    QTreeWidgetItem* item = currentItem();
    return item ? static_cast<CVolume*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

void CVolumeListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(S(str::VolumeSelect), this, [this] { emit CommandRequested(Select); });
    menu.addAction(S(str::VolumeRescan), this, [this] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        Computer().Volumes().Rescan();
        Fill();
        QApplication::restoreOverrideCursor();
    });
    QAction* properties = menu.addAction(S(str::VolumeProperties), this, [this] {
        if (CVolume* v = SelectedVolume()) {
            CVolumeInformationDlg dialog(*v, window());
            dialog.exec();
        }
    });
    properties->setEnabled(SelectedVolume() != nullptr);
    menu.exec(event->globalPos());
}

// --- Volume Information ----------------------------------------------------------------

std::vector<std::pair<std::string, std::string>> CVolumeInformationDlg::GeneralRows(const CVolume& v) {
    std::string oem;
    for (uint8_t c : v.oemName)
        if (c >= 32 && c < 127) oem += char(c);
    return {
        {"FileSystem:", v.fileSystemName},
        {"Status:", VolumeStateText(v.state.load())},
        {"Volume:", v.DisplayName()},
        {"OEM ID:", oem},
        {"S/N:", v.serialNumber ? SerialText(v.serialNumberHigh, v.serialNumber) : ""},
        {"Total Space:", TotalSpaceText(v.totalBytes)},
        {"Free Space:", v.freeBytes ? TotalSpaceText(v.freeBytes) : LoadString(str::Unknown)},
    };
}

std::vector<std::pair<std::string, std::string>> CVolumeInformationDlg::InformationRows(const CVolume& v) {
    const uint64_t offset =
        v.kind == VolumeKind::Logical && v.layout.partitionCount ? v.layout.entries[0].startingOffset : v.startOffset;
    return {
        {"Offset from Pysical:", GroupDigits(offset)},
        {"Sectors per Cluster:", std::to_string(v.sectorsPerCluster)},
        {"Bytes per Sector:", std::to_string(v.bytesPerSector)},
        {"Bytes per Cluster:", std::to_string(uint64_t(v.sectorsPerCluster) * v.bytesPerSector)},
    };
}

std::vector<std::pair<std::string, std::string>> CVolumeInformationDlg::CapabilityRows(const CVolume& v) {
    // What the file system itself can do, as it lies on the disk.
    const bool ntfs = v.typeCode == 7, fat = IsFat(v);
    const std::string yes = LoadString(str::Yes), no = LoadString(str::No);
    auto flag = [&](bool on) { return on ? yes : no; };
    return {
        {"Named streams:", flag(ntfs)},
        {"Read only:", flag(false)},
        {"Object identifiers:", flag(ntfs)},
        {"Reparse points:", flag(ntfs)},
        {"Sparse files:", flag(ntfs)},
        {"Disk quotas:", flag(ntfs)},
        {"Preserves the case of file names:", flag(ntfs || fat)},
        {"Case-sensitive file names:", flag(ntfs)},
        {"File-based compression:", flag(ntfs)},
        {"Encrypted file system (EFS):", flag(ntfs)},
        {"Preserves and enforces ACLs:", flag(ntfs)},
        {"Unicode in filenames as they appear on disk:", flag(ntfs || fat)},
        {"Compressed volume:", flag(false)},
    };
}

CVolumeInformationDlg::CVolumeInformationDlg(CVolume& volume, QWidget* parent) : QDialog(parent) {
    setWindowTitle(S(str::VolumeInformationCaption));
    auto* tabs = new QTabWidget(this);
    auto page = [&](int title, const std::vector<std::pair<std::string, std::string>>& rows, bool icon) {
        auto* widget = new QWidget;
        auto* outer = new QHBoxLayout(widget);
        if (icon) {
            auto* picture = new QLabel(widget);
            picture->setPixmap(style()->standardIcon(QStyle::SP_DriveHDIcon).pixmap(48, 48));
            picture->setAlignment(Qt::AlignTop);
            outer->addWidget(picture);
        }
        auto* form = new QFormLayout;
        for (const auto& [label, value] : rows) {
            auto* field = new QLabel(QString::fromStdString(value), widget);
            field->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(QString::fromStdString(label), field);
        }
        outer->addLayout(form, 1);
        tabs->addTab(widget, S(title));
    };
    page(str::PageGeneral, GeneralRows(volume), true);
    page(str::PageInformation, InformationRows(volume), false);
    page(str::PageCapabilities, CapabilityRows(volume), true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
}

}  // namespace vx
