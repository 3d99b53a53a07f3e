#pragma once
// The "Create Virtual Drive" dialog: a range of a volume by its start and
// size, each in Gb, Mb or Kb (decimal units, as the dialog shows the size in
// tenths of a gigabyte). OK adds the Virtual volume below the chosen one.
#include <QDialog>

#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;

namespace vx {

class CVolume;

class CCreateVirtualDriveDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCreateVirtualDriveDlg(CVolume& volume, QWidget* parent = nullptr);

    // The range the fields give, in bytes (start rounded down and size cut
    // to whole sectors, size cut at the volume's end). False when a field
    // holds no number or the range is empty.
    bool Range(uint64_t& start, uint64_t& size) const;
    CVolume* Created() const { return created_; }

    QLineEdit *start, *size;
    QComboBox *startUnit, *sizeUnit;
    QLabel* right;

public slots:
    void accept() override;

signals:
    void HelpRequested();

private:
    CVolume& volume_;
    CVolume* created_ = nullptr;
};

// "%d.%d": bytes as tenths of a (decimal) gigabyte.
QString TenthsOfGigabyte(uint64_t bytes);

}  // namespace vx
