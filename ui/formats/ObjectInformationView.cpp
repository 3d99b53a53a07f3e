#include "ui/formats/ObjectInformationView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "common/Strings.h"
#include "signatures/FileTypeDatabase.h"
#include "ui/formats/SignatureDataViewCtrl.h"

namespace vx {

namespace {

QString S(int id) { return QString::fromUtf8(LoadString(id)); }

QLineEdit* Edit(const std::string& text, int maxLength, QWidget* parent) {
    auto* edit = new QLineEdit(QString::fromStdString(text), parent);
    edit->setMaxLength(maxLength);
    return edit;
}

// A masked signature that compares nothing would match every sector.
bool ComparesSomething(const FileTypeSignature& signature) {
    for (const SignatureCondition& c : signature.conditions) {
        if (c.kind != CondMasked) return true;
        const size_t half = c.data.size() / 2;
        for (size_t j = 0; j < c.length && j < half; ++j)
            if (c.data[half + j] != 0) return true;
    }
    return false;
}

}  // namespace

CObjectInformationView::CObjectInformationView(FileType& type, QWidget* parent)
    : QDialog(parent), type_(type), signatures_(type.signatures), edited_(type.signatures.size(), false) {
    setWindowTitle(S(str::FormatPropertiesCaption));
    tabs_ = new QTabWidget(this);

    auto* descriptionPage = new QWidget;
    auto* form = new QFormLayout(descriptionPage);
    title = Edit(type.Title(), 99, descriptionPage);
    description = Edit(type.Description(), 259, descriptionPage);
    url = Edit(type.DescriptionUrl(), 259, descriptionPage);
    auto* category = new QComboBox(descriptionPage);
    category->setEnabled(false);
    form->addRow(S(str::FormatTitle), title);
    form->addRow(S(str::FormatShortDescription), description);
    form->addRow(S(str::FormatDescriptionUrl), url);
    form->addRow(S(str::FormatCategory), category);
    tabs_->addTab(descriptionPage, S(str::PageDescription));

    auto* technicalPage = new QWidget;
    auto* tech = new QFormLayout(technicalPage);
    typicalSize = new QSpinBox(technicalPage);
    typicalSize->setRange(0, INT_MAX);
    typicalSize->setValue(std::max(type.TypicalSizeKb(), 0));
    searchOrder = new QSpinBox(technicalPage);
    searchOrder->setRange(0, 100);
    searchOrder->setValue(int(std::min<uint32_t>(type.SearchOrder(), 100)));
    searchOrder->setToolTip(S(str::FormatSearchOrderNote));
    prefix = Edit(type.NamePrefix(), 29, technicalPage);
    extensions = Edit(type.Extensions(), 99, technicalPage);
    formatId = new QLineEdit(QString::number(type.Id()), technicalPage);
    formatId->setValidator(new QIntValidator(formatId));
    formatId->setReadOnly(type.Id() < 1000);
    coincidence = new QSpinBox(technicalPage);
    coincidence->setRange(0, 100);
    coincidence->setValue(int(std::min<uint32_t>(type.Coincidence(), 100)));
    group = new QComboBox(technicalPage);
    for (const FileType* g : FileTypes().Groups()) {
        group->addItem(QString::fromStdString(g->DisplayName()), g->GroupId());
        if (g->GroupId() == type.GroupId()) group->setCurrentIndex(group->count() - 1);
    }
    if (group->findData(type.GroupId()) < 0) {
        group->addItem(QString::number(type.GroupId()), type.GroupId());  // a system format's group
        group->setCurrentIndex(group->count() - 1);
    }
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(group, 1);
    groupRow->addWidget(new QPushButton(S(str::FormatNewGroup), technicalPage));
    tech->addRow(S(str::FormatTypicalSize), typicalSize);
    tech->addRow(S(str::FormatSearchOrder), searchOrder);
    tech->addRow(QString(), new QLabel(S(str::FormatSearchOrderNote), technicalPage));
    tech->addRow(S(str::FormatNamePrefix), prefix);
    tech->addRow(S(str::FormatExtensions), extensions);
    tech->addRow(S(str::FormatId), formatId);
    tech->addRow(S(str::FormatCoincidence), coincidence);
    tech->addRow(S(str::FormatGroup), groupRow);
    tabs_->addTab(technicalPage, S(str::PageTechnicalInfo));

    auto* signaturePage = new QWidget;
    auto* sig = new QVBoxLayout(signaturePage);
    signatureView = new CSignatureDataViewCtrl(signaturePage);
    sig->addWidget(signatureView, 1);
    auto* nav = new QHBoxLayout;
    index = new QLabel(signaturePage);
    previous = new QPushButton(QStringLiteral("<"), signaturePage);
    next = new QPushButton(QStringLiteral(">"), signaturePage);
    add = new QPushButton(QStringLiteral("+"), signaturePage);
    remove = new QPushButton(QStringLiteral("-"), signaturePage);
    checkByBits = new QCheckBox(S(str::CheckByBits), signaturePage);
    nav->addWidget(index);
    for (QPushButton* b : {previous, next, add, remove}) {
        b->setFixedWidth(32);
        nav->addWidget(b);
    }
    nav->addStretch(1);
    nav->addWidget(checkByBits);
    sig->addLayout(nav);
    tabs_->addTab(signaturePage, S(str::PageSignature));
    connect(previous, &QPushButton::clicked, this, [this] { ShowSignature(shown_ - 1); });
    connect(next, &QPushButton::clicked, this, [this] { ShowSignature(shown_ + 1); });
    connect(add, &QPushButton::clicked, this, &CObjectInformationView::AddSignature);
    connect(remove, &QPushButton::clicked, this, &CObjectInformationView::RemoveSignature);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CObjectInformationView::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CObjectInformationView::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons);
    resize(720, 620);
    ShowSignature(0);
}

void CObjectInformationView::KeepShownEdits() {
    if (shown_ < 0 || shown_ >= int(signatures_.size())) return;
    if (signatureView->Edited()) {
        signatures_[size_t(shown_)] = signatureView->Signature();
        edited_[size_t(shown_)] = true;
    }
}

void CObjectInformationView::UpdateIndex() {
    const int total = int(signatures_.size());
    index->setText(QString::fromStdString(Format(LoadString(str::SignatureIndex), total ? shown_ + 1 : 0, total)));
    previous->setEnabled(shown_ > 0);
    next->setEnabled(shown_ + 1 < total);
    remove->setEnabled(total > 0);
    signatureView->setEnabled(total > 0);
}

void CObjectInformationView::ShowSignature(int i) {
    KeepShownEdits();
    if (signatures_.empty()) {
        shown_ = -1;
        signatureView->ShowSignature(FileTypeSignature());
    } else {
        shown_ = std::clamp(i, 0, int(signatures_.size()) - 1);
        signatureView->ShowSignature(signatures_[size_t(shown_)]);
    }
    UpdateIndex();
}

void CObjectInformationView::AddSignature() {
    KeepShownEdits();
    signatures_.push_back(SignatureOfImage(SignatureImage()));
    edited_.push_back(true);
    shown_ = -1;
    ShowSignature(int(signatures_.size()) - 1);
}

void CObjectInformationView::RemoveSignature() {
    if (shown_ < 0) return;
    signatures_.erase(signatures_.begin() + shown_);
    edited_.erase(edited_.begin() + shown_);
    const int keep = shown_;
    shown_ = -1;
    ShowSignature(keep);
}

void CObjectInformationView::Apply() {
    KeepShownEdits();
    type_.SetTitle(title->text().toStdString());
    type_.SetDescription(description->text().toStdString());
    type_.SetDescriptionUrl(url->text().toStdString());
    type_.SetTypicalSizeKb(typicalSize->value());
    type_.SetSearchOrder(uint32_t(searchOrder->value()));
    type_.SetNamePrefix(prefix->text().toStdString());
    type_.SetExtensions(extensions->text().toStdString());
    if (type_.Id() >= 1000 && formatId->hasAcceptableInput()) type_.SetId(formatId->text().toInt());
    type_.SetCoincidence(uint32_t(coincidence->value()));
    type_.SetGroupId(group->currentData().toInt());
    std::vector<FileTypeSignature> kept;
    for (size_t i = 0; i < signatures_.size(); ++i)
        if (!edited_[i] || ComparesSomething(signatures_[i])) kept.push_back(signatures_[i]);
    if (kept != type_.signatures) {
        type_.signatures = std::move(kept);
        FileTypes().SignaturesChanged();
    }
}

void CObjectInformationView::accept() {
    Apply();
    QDialog::accept();
}

}  // namespace vx
