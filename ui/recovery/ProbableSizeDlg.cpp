#include "ui/recovery/ProbableSizeDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "fs/FoundObject.h"
#include "recovery/RecoveryJob.h"

namespace vx {

namespace {
constexpr uint64_t kUnits[] = {1, 1024, 0x100000, 0x40000000};
}

QString CProbableFileSizeDlg::KBytesText(uint64_t bytes) {
    QString digits = QString::number(qulonglong(bytes / 1024));
    for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(' '));
    return digits + QStringLiteral(" KBytes");
}

std::pair<uint64_t, int> CProbableFileSizeDlg::InitialCustom(uint64_t size) {
    if (size == kSizeUnknown) return {0, 1};
    const int unit = size > 0x40000000ull ? 3 : size > 0x100000ull ? 2 : size > 1024 ? 1 : 0;
    return {size / kUnits[unit], unit};
}

CProbableFileSizeDlg::CProbableFileSizeDlg(const FoundObject& object, const ProbableSizeQuestion& question,
                                           QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Enter probable file size"));
    const QString typeName = QString::fromStdString(question.typeName);
    auto* layout = new QVBoxLayout(this);
    explanation = new QLabel(
        tr("The file of the '%1' type is found, but its attributes such as name, parent folder, size, security "
           "settings, etc. are lost. We tried to determine its size by its content, but did not succeed. We don't "
           "know the extract size of this particular file.")
            .arg(typeName),
        this);
    explanation->setWordWrap(true);
    explanation->setMinimumWidth(460);
    layout->addWidget(explanation);

    auto* facts = new QGridLayout;
    const QString fields[][2] = {
        {tr("Offset:"), QString::number(qulonglong(object.start))},
        {tr("Name:"), object.name ? QString::fromUtf8(object.name) : QString()},
        {tr("Type:"), typeName},
        {tr("Condition:"), object.IsDeleted() ? tr("Deleted") : tr("Live")},
    };
    for (int i = 0; i < 4; ++i) {
        facts->addWidget(new QLabel(fields[i][0], this), i, 0);
        auto* value = new QLabel(fields[i][1], this);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        facts->addWidget(value, i, 1);
    }
    facts->setColumnStretch(1, 1);
    layout->addLayout(facts);

    auto* ruleBox = new QGroupBox(tr("File size"), this);
    auto* ruleGrid = new QGridLayout(ruleBox);
    rules = new QButtonGroup(this);
    const QString ruleTexts[] = {tr("The default file size for this file type is:"),
                                 tr("Distance to the next file of any type:"),
                                 tr("Distance to the next file of the same type:"), tr("Custome size:")};
    const QString sizes[] = {KBytesText(question.typicalSize), KBytesText(question.nextAnyDistance),
                             KBytesText(question.nextSameDistance)};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QRadioButton(ruleTexts[i], ruleBox);
        rules->addButton(button, i + 1);
        ruleGrid->addWidget(button, i, 0);
        if (i < 3) ruleGrid->addWidget(new QLabel(sizes[i], ruleBox), i, 1, Qt::AlignRight);
    }
    rules->button(1)->setChecked(true);
    auto* custom = new QHBoxLayout;
    customEdit = new QLineEdit(ruleBox);
    unit = new QComboBox(ruleBox);
    unit->addItems({QStringLiteral(" B "), QStringLiteral(" KB"), QStringLiteral(" MB"), QStringLiteral(" GB")});
    const auto [value, unitIndex] = InitialCustom(object.size);
    customEdit->setText(QString::number(qulonglong(value)));
    unit->setCurrentIndex(unitIndex);
    custom->addWidget(customEdit, 1);
    custom->addWidget(unit);
    ruleGrid->addLayout(custom, 3, 1);
    layout->addWidget(ruleBox);

    auto* scopeBox = new QGroupBox(tr("Apply to"), this);
    auto* scopeLayout = new QVBoxLayout(scopeBox);
    scopes = new QButtonGroup(this);
    const QString scopeTexts[] = {tr("This file only"), tr("All files of this type"), tr("All files of any type")};
    for (int i = 0; i < 3; ++i) {
        auto* button = new QRadioButton(scopeTexts[i], scopeBox);
        scopes->addButton(button, i);
        scopeLayout->addWidget(button);
    }
    scopes->button(0)->setChecked(true);
    layout->addWidget(scopeBox);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QDialogButtonBox::Ok);
    QPushButton* skip = buttons->addButton(tr("Skip File"), QDialogButtonBox::ActionRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CProbableFileSizeDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { done(kSizeCancel); });
    connect(skip, &QPushButton::clicked, this, [this] { done(kSizeSkip); });
    connect(rules, &QButtonGroup::idClicked, this, [this] { UpdateEnabled(); });
    UpdateEnabled();
}

void CProbableFileSizeDlg::UpdateEnabled() {
    const bool custom = rules->checkedId() == kSizeRuleCustom;
    customEdit->setEnabled(custom);
    unit->setEnabled(custom);
}

void CProbableFileSizeDlg::accept() {
    answer_ = {};
    answer_.rule = uint32_t(rules->checkedId());
    answer_.scope = uint32_t(scopes->checkedId());
    if (answer_.rule == kSizeRuleCustom) {
        bool ok = false;
        const int32_t value = customEdit->text().trimmed().toInt(&ok);
        if (!ok || value < 0) {
            QApplication::beep();
            customEdit->setFocus();
            return;
        }
        answer_.customSize = uint64_t(value) * kUnits[std::clamp(unit->currentIndex(), 0, 3)];
    }
    answer_.button = kSizeOk;
    done(kSizeOk);
}

ProbableSizeAnswer CProbableSizeDlg::Ask(QWidget* owner, CVolume*, const FoundObject& object,
                                         const ProbableSizeQuestion& question) {
    CProbableFileSizeDlg dialog(object, question, owner);
    const int result = dialog.exec();
    ProbableSizeAnswer answer = dialog.Answer();
    answer.button = result == kSizeOk ? kSizeOk : result == kSizeSkip ? kSizeSkip : kSizeCancel;
    return answer;
}

}  // namespace vx
