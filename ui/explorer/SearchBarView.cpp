#include "ui/explorer/SearchBarView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vx {

namespace {

constexpr uint64_t kUnixEpoch = 116444736000000000ull;

uint64_t ToFileTime(const QDateTime& time) {
    return kUnixEpoch + uint64_t(time.toSecsSinceEpoch()) * 10000000ull;
}

QLabel* Heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

}  // namespace

CSearchBarView::CSearchBarView(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Heading(tr("All or part of the filename:"), this));
    nameEdit = new QLineEdit(this);
    nameEdit->setMaxLength(2048);
    layout->addWidget(nameEdit);
    auto* hint = new QLabel(tr("Hint: Use the '*' and '?' wildcards"), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    layout->addSpacing(6);
    layout->addWidget(Heading(tr("When was it modified?"), this));
    dateGroup = new QButtonGroup(this);
    const QString dates[] = {tr("Don't remember"), tr("In the past week"), tr("In the past month"),
                             tr("In the past year"), tr("Specify dates")};
    for (int i = 0; i < 5; ++i) {
        auto* button = new QRadioButton(dates[i], this);
        dateGroup->addButton(button, i);
        layout->addWidget(button);
    }
    dateGroup->button(0)->setChecked(true);
    auto* dateGrid = new QGridLayout;
    from = new QDateTimeEdit(QDateTime::currentDateTime().addDays(-7), this);
    to = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    from->setCalendarPopup(true);
    to->setCalendarPopup(true);
    dateGrid->addWidget(new QLabel(tr("from"), this), 0, 0);
    dateGrid->addWidget(from, 0, 1);
    dateGrid->addWidget(new QLabel(tr("to"), this), 1, 0);
    dateGrid->addWidget(to, 1, 1);
    dateGrid->setContentsMargins(20, 0, 0, 0);
    layout->addLayout(dateGrid);

    layout->addSpacing(6);
    layout->addWidget(Heading(tr("What size is it?"), this));
    sizeGroup = new QButtonGroup(this);
    const QString sizes[] = {tr("Don't remember"), tr("Small (less than 100 KB)"), tr("Medium (less than 1 MB)"),
                             tr("Large (more than 1 MB)"), tr("Specify size (in KB)")};
    for (int i = 0; i < 5; ++i) {
        auto* button = new QRadioButton(sizes[i], this);
        sizeGroup->addButton(button, i);
        layout->addWidget(button);
    }
    sizeGroup->button(0)->setChecked(true);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->setContentsMargins(20, 0, 0, 0);
    comparison = new QComboBox(this);
    comparison->addItems({QStringLiteral(" ="), QStringLiteral(" >"), QStringLiteral(" <")});
    sizeNumber = new QSpinBox(this);
    sizeNumber->setRange(0, INT32_MAX);
    unit = new QComboBox(this);
    unit->addItems({QStringLiteral(" B "), QStringLiteral(" KB"), QStringLiteral(" MB"), QStringLiteral(" GB")});
    unit->setCurrentIndex(1);
    sizeRow->addWidget(comparison);
    sizeRow->addWidget(sizeNumber, 1);
    sizeRow->addWidget(unit);
    layout->addLayout(sizeRow);

    layout->addSpacing(6);
    deletedOnly = new QCheckBox(tr("Search for deleted files only"), this);
    ignoreFolders = new QCheckBox(tr("Ignore folders (search for files only)"), this);
    deletedOnly->setChecked(true);
    ignoreFolders->setChecked(true);
    layout->addWidget(deletedOnly);
    layout->addWidget(ignoreFolders);

    auto* buttons = new QHBoxLayout;
    searchButton = new QPushButton(tr("Search"), this);
    cancelButton = new QPushButton(tr("Cancel"), this);
    searchButton->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(searchButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    layout->addStretch(1);

    connect(dateGroup, &QButtonGroup::idClicked, this, [this] { UpdateEnabled(); });
    connect(sizeGroup, &QButtonGroup::idClicked, this, [this](int id) {
        if (id != kSizeAny) ignoreFolders->setChecked(true);
        UpdateEnabled();
    });
    connect(nameEdit, &QLineEdit::returnPressed, searchButton, &QPushButton::click);
    connect(searchButton, &QPushButton::clicked, this, [this] { emit SearchRequested(Criteria(FileTimeNow())); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { emit StopRequested(); });
    UpdateEnabled();
}

void CSearchBarView::UpdateEnabled() {
    const bool dates = dateGroup->checkedId() == kDateSpecify;
    from->setEnabled(dates);
    to->setEnabled(dates);
    const bool size = sizeGroup->checkedId() == kSizeSpecify;
    comparison->setEnabled(size);
    sizeNumber->setEnabled(size);
    unit->setEnabled(size);
    ignoreFolders->setEnabled(sizeGroup->checkedId() == kSizeAny);
}

SearchCriteria CSearchBarView::Criteria(uint64_t now) const {
    SearchCriteria c;
    const QString name = nameEdit->text().trimmed();
    c.pattern = name.isEmpty() ? std::string("*") : name.toStdString();
    c.SetDateClass(dateGroup->checkedId(), now, ToFileTime(from->dateTime()), ToFileTime(to->dateTime()));
    c.SetSizeClass(sizeGroup->checkedId(), sizeNumber->value(), unit->currentIndex(), comparison->currentIndex());
    c.deletedOnly = deletedOnly->isChecked();
    c.ignoreFolders = ignoreFolders->isChecked();
    return c;
}

void CSearchBarView::SetSearching(bool searching) { searchButton->setEnabled(!searching); }

}  // namespace vx
