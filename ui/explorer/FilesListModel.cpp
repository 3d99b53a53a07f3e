#include "ui/explorer/FilesListModel.h"

#include <strings.h>

#include <QIcon>
#include <cstring>
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
    members_ = {};
    shown_ = 0;
    endResetModel();
}

void CFilesListModel::Append(const std::vector<FoundObject*>& objects) {
    members_.reserve(members_.size() + objects.size());
    objects_.reserve(objects_.size() + objects.size());
    for (FoundObject* object : objects) Append(object);
}

void CFilesListModel::ClickColumn(int column) {
    direction_ = !direction_;
    sortColumn_ = column == kType || column == kInFolder ? kName : column;
    resortPending_ = true;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

namespace {

// A sort key: folders first, then a 64-bit key (for names the first eight
// letters folded to lower case, so most comparisons never touch the text).
struct Keyed {
    uint64_t key;
    uint64_t key2;   // names: letters 9 to 16
    FoundObject* object;
    uint32_t rank;   // 0 folder, 1 file
};

// Eight letters of a name from `from` on, folded to lower case, as a number
// that orders like the letters; `name` must have at least `from` letters.
uint64_t NamePart(const char* name, int from) {
    uint64_t key = 0;
    int i = 0;
    const char* p = name + from;
    for (; i < 8 && p[i]; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c | 0x20);
        key = (key << 8) | c;
    }
    return i == 0 ? 0 : key << (8 * (8 - i));
}

}  // namespace

void CFilesListModel::SortArray(std::vector<FoundObject*>& array) const {
    const bool reversed = direction_;
    const int column = sortColumn_;
    std::vector<Keyed> keyed;
    keyed.reserve(array.size());
    auto lock = volume_ ? volume_->collection.ReadLock() : std::shared_lock<std::shared_mutex>();
    for (FoundObject* object : array) {
        uint64_t key, key2 = 0;
        if (column == kSize) key = reversed ? object->size : ~object->size;            // larger first
        else if (column == kDate) key = reversed ? object->modified : ~object->modified;  // later first
        else {
            const char* name = object->name ? object->name : "";
            key = NamePart(name, 0);
            if (std::strlen(name) > 8) key2 = NamePart(name, 8);
            if (reversed) {
                key = ~key;
                key2 = ~key2;
            }
        }
        keyed.push_back({key, key2, object, object->IsFolder() ? 0u : 1u});
    }
    const bool byName = column != kSize && column != kDate;
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed& a, const Keyed& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.key != b.key) return a.key < b.key;
        if (!byName) return false;
        if (a.key2 != b.key2) return a.key2 < b.key2;
        const int c = strcasecmp(a.object->name ? a.object->name : "", b.object->name ? b.object->name : "");
        return reversed ? c > 0 : c < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i) array[i] = keyed[i].object;
}

bool CFilesListModel::Refresh() {
    if (busy) return false;
    if (int(objects_.size()) == shown_ && !resortPending_) return false;
    resortPending_ = false;
    const int count = int(std::min<size_t>(objects_.size(), size_t(INT32_MAX)));
    if (shown_ == 0) {
        // Nothing shown yet (a fresh fill): sort first, then show it at once.
        SortArray(objects_);
        beginResetModel();
        shown_ = count;
        endResetModel();
        return true;
    }
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
