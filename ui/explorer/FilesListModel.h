#pragma once
// The model behind the file list and the search results: an array of
// pointers into a volume's collection, read on demand when a row is drawn.
// The array grows as objects arrive; the row count the view sees follows it
// only in Refresh (every 250 ms), which sorts once per change.
#include <QAbstractTableModel>
#include <unordered_set>
#include <vector>

namespace vx {

class CVolume;
struct FoundObject;

class CFilesListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column : int { kName = 0, kSize = 1, kType = 2, kDate = 3, kInFolder = 4 };

    // The result list has the " In Folder " column.
    explicit CFilesListModel(bool resultList, QObject* parent = nullptr);

    // The volume whose collection the pointers lead into.
    void SetVolume(CVolume* volume) { volume_ = volume; }
    CVolume* Volume() const { return volume_; }

    // Empties the array and the view.
    void Clear();
    // A pointer already in the array is not added again (a live notification
    // can arrive for a record the last fill already took from the collection).
    void Append(FoundObject* object) {
        if (members_.insert(object).second) objects_.push_back(object);
    }
    void Append(const std::vector<FoundObject*>& objects);
    // Sorts and shows the array when it has grown or a resort is pending.
    // True when it changed what the view shows.
    bool Refresh();

    // A click on a column header: flip the direction, pick the column (Type
    // and In Folder sort by name) and mark a resort.
    void ClickColumn(int column);
    int SortColumn() const { return sortColumn_; }
    bool Descending() const { return direction_; }

    FoundObject* At(int row) const;
    int RowOf(const FoundObject* object) const;
    size_t ArraySize() const { return objects_.size(); }
    int ShownCount() const { return shown_; }
    // Bytes the model holds beyond the collection, for measurements.
    size_t MemoryBytes() const {
        return objects_.capacity() * sizeof(FoundObject*) + members_.bucket_count() * sizeof(void*) +
               members_.size() * 2 * sizeof(void*);
    }

    // The sort of the array by the current column and direction.
    void SortArray(std::vector<FoundObject*>& array) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    bool busy = false;  // a fill is going on: Refresh waits

private:
    const bool resultList_;
    CVolume* volume_ = nullptr;
    std::vector<FoundObject*> objects_;
    std::unordered_set<const FoundObject*> members_;
    int shown_ = 0;
    int sortColumn_ = kName;
    bool direction_ = false;
    bool resortPending_ = false;
};

}  // namespace vx
