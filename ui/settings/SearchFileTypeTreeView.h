#pragma once
// CSearchFileTypeTreeView: the groups of the file-type database with their
// formats below, each with a check box. A group shows checked when all its
// formats are, partly checked when some are; checking a group checks all of
// its formats. Edits stay in the tree until Apply writes them.
#include <QTreeWidget>

#include <vector>

namespace vx {

class FileType;

class CSearchFileTypeTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CSearchFileTypeTreeView(QWidget* parent = nullptr);
    // Fills the tree from the database's search flags.
    void Load();
    // Every format's search flag takes its check state.
    void Apply() const;
    void SetAll(bool checked);
    // The format of an item (null for a group).
    static FileType* TypeOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* ItemOf(const FileType* type) const;
    QTreeWidgetItem* GroupItem(int32_t groupId) const;

signals:
    void PropertiesRequested(vx::FileType* type);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace vx
