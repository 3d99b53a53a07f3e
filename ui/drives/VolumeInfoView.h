#pragma once
// The drive views: what the right-hand pane shows for a drive-tree node.
// CVolumeInfoView lists a disk's or volume's properties; the text rules
// (sizes, serials, media types) are free functions the dialogs share.
#include <QTreeWidget>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vx {

class CVolume;

// " Total Space": "232 GB (250 059 350 016 bytes)".
std::string TotalSpaceText(uint64_t bytes);
// "%X" of the serial, with the high part in front when it is not 0.
std::string SerialText(uint32_t high, uint32_t low);
// The disk geometry's media type in words; empty for an unknown value.
const char* MediaTypeText(uint32_t mediaType);
// The rows of CVolumeInfoView, names with their leading blank.
std::vector<std::pair<std::string, std::string>> VolumeInfoRows(CVolume& volume);

class CVolumeInfoView : public QTreeWidget {
    Q_OBJECT
public:
    explicit CVolumeInfoView(QWidget* parent = nullptr);
    // Clears and rebuilds the list for `volume` (null: empty).
    void Show(CVolume* volume);
    QString Value(const QString& name) const;
};

}  // namespace vx
