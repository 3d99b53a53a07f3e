#include "ui/explorer/FiltersView.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/explorer/ExplorerFilter.h"

namespace vx {

namespace {
constexpr uint64_t kUnixEpoch = 116444736000000000ull;
constexpr uint64_t kSecond = 10000000ull;

// The pickers show the stored values as they are (no zone conversion).
QDateTime FromFileTime(uint64_t t) {
    if (t == 0 || t == ~uint64_t(0) || t < kUnixEpoch) return QDateTime::currentDateTimeUtc();
    return QDateTime::fromSecsSinceEpoch(int64_t((t - kUnixEpoch) / kSecond), Qt::UTC);
}
uint64_t ToFileTime(const QDateTime& time) {
    QDateTime utc = time;
    utc.setTimeSpec(Qt::UTC);
    return kUnixEpoch + uint64_t(std::max<int64_t>(0, utc.toSecsSinceEpoch())) * kSecond;
}
}  // namespace

CFiltersView::CFiltersView(CExplorerFilter& filter, QWidget* parent) : QDialog(parent), filter_(filter) {
    setWindowTitle(tr("Filters"));
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    layout->addWidget(tabs);

    auto* general = new QWidget(tabs);
    auto* grid = new QGridLayout(general);
    dateOn = new QCheckBox(tr("Date:"), general);
    between = new QDateTimeEdit(FromFileTime(filter.Time(filter_offset::From)), general);
    andTime = new QDateTimeEdit(FromFileTime(filter.Time(filter_offset::To)), general);
    between->setCalendarPopup(true);
    andTime->setCalendarPopup(true);
    grid->addWidget(dateOn, 0, 0, 1, 2);
    grid->addWidget(new QLabel(tr("Between:"), general), 1, 0);
    grid->addWidget(between, 1, 1);
    grid->addWidget(new QLabel(tr("and:"), general), 2, 0);
    grid->addWidget(andTime, 2, 1);
    deletedOnly = new QCheckBox(tr("Show deleted files only"), general);
    grid->addWidget(deletedOnly, 3, 0, 1, 2);
    wildcardsOn = new QCheckBox(tr("Show folders and files filtered by wildcards:"), general);
    pattern = new QLineEdit(QString::fromStdString(filter.Pattern()), general);
    pattern->setMaxLength(255);
    grid->addWidget(wildcardsOn, 4, 0, 1, 2);
    grid->addWidget(pattern, 5, 0, 1, 2);
    grid->setRowStretch(6, 1);
    tabs->addTab(general, tr("General"));

    auto* types = new QWidget(tabs);
    auto* typesLayout = new QVBoxLayout(types);
    auto* prompt = new QLabel(tr("Choose which file types the file list shows:"), types);
    prompt->setWordWrap(true);
    typesLayout->addWidget(prompt);
    auto* all = new QRadioButton(tr("Show all files"), types);
    all->setChecked(true);
    typesLayout->addWidget(all);
    typesLayout->addWidget(new QRadioButton(tr("Show only known file types"), types));
    typesLayout->addWidget(new QRadioButton(tr("Custom:"), types));
    auto* later = new QLabel(tr("Filtering by file type is not available in this version: every file is shown."),
                             types);
    later->setWordWrap(true);
    typesLayout->addWidget(later);
    for (QRadioButton* b : types->findChildren<QRadioButton*>()) b->setEnabled(b == all);
    typesLayout->addStretch(1);
    tabs->addTab(types, tr("File Types"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    dateOn->setChecked(filter.Flag(filter_offset::DateOn));
    deletedOnly->setChecked(filter.Flag(filter_offset::DeletedOnly));
    wildcardsOn->setChecked(filter.Flag(filter_offset::WildcardsOn));
    for (QCheckBox* box : {dateOn, deletedOnly, wildcardsOn})
        connect(box, &QCheckBox::clicked, this, [this] {
            StoreChecks();
            UpdateEnabled();
        });
    UpdateEnabled();
}

void CFiltersView::UpdateEnabled() {
    between->setEnabled(dateOn->isChecked());
    andTime->setEnabled(dateOn->isChecked());
    pattern->setEnabled(wildcardsOn->isChecked());
}

void CFiltersView::StoreChecks() {
    filter_.SetFlag(filter_offset::DateOn, dateOn->isChecked());
    filter_.SetFlag(filter_offset::DeletedOnly, deletedOnly->isChecked());
    filter_.SetFlag(filter_offset::WildcardsOn, wildcardsOn->isChecked());
    filter_.SetPattern(pattern->text().toStdString());
    filter_.Save();
}

void CFiltersView::accept() {
    StoreChecks();
    filter_.SetTime(filter_offset::From, ToFileTime(between->dateTime()));
    filter_.SetTime(filter_offset::To, ToFileTime(andTime->dateTime()));
    filter_.Save();
    QDialog::accept();
}

}  // namespace vx
