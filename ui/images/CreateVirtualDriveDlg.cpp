#include "ui/images/CreateVirtualDriveDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include <cmath>

#include "common/Strings.h"
#include "device/LocalComputer.h"
#include "device/Volume.h"

namespace vx {

namespace {

QString S(int id) { return QString::fromUtf8(LoadString(id)); }

QComboBox* Units(QWidget* parent) {
    auto* units = new QComboBox(parent);
    units->addItem(QStringLiteral("Gb"), 1e9);
    units->addItem(QStringLiteral("Mb"), 1e6);
    units->addItem(QStringLiteral("Kb"), 1e3);
    units->setCurrentIndex(0);
    return units;
}

bool Bytes(const QLineEdit* edit, const QComboBox* unit, long double& out) {
    bool ok = false;
    const double value = edit->text().trimmed().replace(',', '.').toDouble(&ok);
    if (!ok || value < 0 || !std::isfinite(value)) return false;
    out = (long double)value * (long double)unit->currentData().toDouble();
    return true;
}

}  // namespace

QString TenthsOfGigabyte(uint64_t bytes) {
    const uint64_t tenths = bytes / 1000 / 1000 / 100;
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

CCreateVirtualDriveDlg::CCreateVirtualDriveDlg(CVolume& volume, QWidget* parent) : QDialog(parent), volume_(volume) {
    setWindowTitle(S(str::CreateVirtualCaption));
    auto* grid = new QGridLayout;
    start = new QLineEdit(QStringLiteral("0.0"), this);
    size = new QLineEdit(TenthsOfGigabyte(volume.totalBytes), this);
    startUnit = Units(this);
    sizeUnit = Units(this);
    grid->addWidget(new QLabel(S(str::StartFrom), this), 0, 0);
    grid->addWidget(start, 0, 1);
    grid->addWidget(startUnit, 0, 2);
    grid->addWidget(new QLabel(S(str::VirtualSize), this), 1, 0);
    grid->addWidget(size, 1, 1);
    grid->addWidget(sizeUnit, 1, 2);
    grid->addWidget(new QLabel(S(str::ZeroGb), this), 2, 0);
    const uint64_t tenths = volume.totalBytes / 1000 / 1000 / 100;
    right = new QLabel(QString::fromStdString(Format(LoadString(str::TenthsGb), int(tenths / 10), int(tenths % 10))), this);
    right->setAlignment(Qt::AlignRight);
    grid->addWidget(right, 2, 1, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCreateVirtualDriveDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CCreateVirtualDriveDlg::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, &CCreateVirtualDriveDlg::HelpRequested);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

bool CCreateVirtualDriveDlg::Range(uint64_t& from, uint64_t& length) const {
    long double a = 0, b = 0;
    if (!Bytes(start, startUnit, a) || !Bytes(size, sizeUnit, b)) return false;
    const long double total = (long double)volume_.totalBytes;
    if (a >= total) return false;
    from = uint64_t(a) / kSectorSize * kSectorSize;
    const long double rest = total - (long double)from;
    length = uint64_t(std::min(b, rest)) / kSectorSize * kSectorSize;
    return length >= kSectorSize;
}

void CCreateVirtualDriveDlg::accept() {
    uint64_t from = 0, length = 0;
    if (!Range(from, length)) {
        QMessageBox::warning(this, windowTitle(), S(str::VirtualNotANumber));
        return;
    }
    created_ = Computer().AddVirtualVolume(volume_, from, length);
    if (!created_) {
        QMessageBox::warning(this, windowTitle(), S(str::VirtualOutside));
        return;
    }
    QDialog::accept();
}

}  // namespace vx
