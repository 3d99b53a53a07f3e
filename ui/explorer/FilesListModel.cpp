#include "ui/explorer/FilesListModel.h"

#include <strings.h>

#include <QIcon>
#include <algorithm>

#include "device/Volume.h"
#include "fs/ObjectTypes.h"
#include "ui/explorer/ExplorerText.h"
#include "ui/explorer/ObjectIcons.h"

namespace vx {

CFilesListModel::CFilesListModel(bool resultList, QObject* parent)
    : QAbstractTableModel(parent), resultList_(resultList) {}

void CFilesListModel::Clear() {
    beginResetModel();
    objects_.clear();
    objects_.shrink_to_fit();
    shown_ = 0;
    endResetModel();
}

void CFilesListModel::Append(const std::vector<FoundObject*>& objects) {
    objects_.insert(objects_.end(), objects.begin(), objects.end());
}

void CFilesListModel::ClickColumn(int column) {
    direction_ = !direction_;
    sortColumn_ = column == kType || column == kInFolder ? kName : column;
    resortPending_ = true;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void CFilesListModel::SortArray(std::vector<FoundObject*>& array) const {
    const bool reversed = direction_;
    auto folderFirst = [](const FoundObject* a, const FoundObject* b, bool& decided) {
        decided = a->IsFolder() != b->IsFolder();
        return a->IsFolder();
    };
    auto lock = volume_ ? volume_->collection.ReadLock() : std::shared_lock<std::shared_mutex>();
    switch (sortColumn_) {
        case kSize:
            std::sort(array.begin(), array.end(), [&](const FoundObject* a, const FoundObject* b) {
                bool decided;
                const bool first = folderFirst(a, b, decided);
                if (decided) return first;
                return reversed ? a->size < b->size : a->size > b->size;
            });
            break;
        case kDate:
            std::sort(array.begin(), array.end(), [&](const FoundObject* a, const FoundObject* b) {
                bool decided;
                const bool first = folderFirst(a, b, decided);
                if (decided) return first;
                return reversed ? a->modified < b->modified : a->modified > b->modified;
            });
            break;
        default:
            std::sort(array.begin(), array.end(), [&](const FoundObject* a, const FoundObject* b) {
                bool decided;
                const bool first = folderFirst(a, b, decided);
                if (decided) return first;
                const int c = strcasecmp(a->name ? a->name : "", b->name ? b->name : "");
                return reversed ? c > 0 : c < 0;
            });
            break;
    }
}

bool CFilesListModel::Refresh() {
    if (busy) return false;
    if (int(objects_.size()) == shown_ && !resortPending_) return false;
    resortPending_ = false;
    const int count = int(std::min<size_t>(objects_.size(), size_t(INT32_MAX)));
    if (count > shown_) {
        beginInsertRows({}, shown_, count - 1);
        shown_ = count;
        endInsertRows();
    } else if (count < shown_) {
        beginResetModel();
        shown_ = count;
        endResetModel();
    }
    // Sort with the view's selection following its objects.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList persistent = persistentIndexList();
    std::vector<FoundObject*> kept;
    kept.reserve(size_t(persistent.size()));
    for (const QModelIndex& index : persistent) kept.push_back(At(index.row()));
    SortArray(objects_);
    if (!persistent.isEmpty()) {
        QModelIndexList moved;
        moved.reserve(persistent.size());
        for (qsizetype i = 0; i < persistent.size(); ++i) {
            const int row = RowOf(kept[size_t(i)]);
            moved.push_back(row < 0 ? QModelIndex() : index(row, persistent[i].column()));
        }
        changePersistentIndexList(persistent, moved);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

FoundObject* CFilesListModel::At(int row) const {
    return row >= 0 && row < shown_ && size_t(row) < objects_.size() ? objects_[size_t(row)] : nullptr;
}

int CFilesListModel::RowOf(const FoundObject* object) const {
    if (!object) return -1;
    for (int i = 0; i < shown_; ++i)
        if (objects_[size_t(i)] == object) return i;
    return -1;
}

int CFilesListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int CFilesListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : resultList_ ? 5 : 4;
}

QVariant CFilesListModel::data(const QModelIndex& index, int role) const {
    const FoundObject* object = At(index.row());
    if (!object || !volume_) return {};
    if (role != Qt::DisplayRole && role != Qt::DecorationRole && role != Qt::TextAlignmentRole) return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() == kSize ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    FoundObject record;
    if (!volume_->collection.CopyRecord(object, record)) return {};
    if (role == Qt::DecorationRole)
        return index.column() == kName ? QVariant(ImageIcon(ImageOf(record, volume_->collection.rootId, false)))
                                       : QVariant();
    try {
        switch (index.column()) {
            case kName: return NameText(record);
            case kSize: return SizeText(record);
            case kType: return QString::fromStdString(ObjectTypeName(record));
            case kDate: return DateText(record.modified);
            case kInFolder:
                return record.Is(object_flag::NameAssigned) ? QString::fromStdString(volume_->ObjectFolderPath(record))
                                                            : QString();
        }
    } catch (...) {
    }
    return {};
}

QVariant CFilesListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        static const char* const kTitles[] = {" Name ", " Size ", " Type ", " Date Modified ", " In Folder "};
        return section >= 0 && section < 5 ? QString::fromLatin1(kTitles[section]) : QString();
    }
    if (role == Qt::TextAlignmentRole && section == kSize) return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

}  // namespace vx
