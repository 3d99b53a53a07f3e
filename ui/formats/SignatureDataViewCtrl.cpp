#include "ui/formats/SignatureDataViewCtrl.h"

#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

#include <algorithm>
#include <cstring>

#include "common/Strings.h"
#include "ui/viewer/HexEditorCtrl.h"

namespace vx {

namespace {
QString S(int id) { return QString::fromUtf8(LoadString(id)); }
constexpr size_t kHalf = 512;
}  // namespace

SignatureImage ImageOfSignature(const FileTypeSignature& signature) {
    SignatureImage image;
    size_t end = 0;
    for (const SignatureCondition& c : signature.conditions) {
        if (c.kind == CondMasked && c.data.size() == 2 * kHalf && c.offset >= 0 && size_t(c.offset) < kHalf) {
            const size_t n = std::min<size_t>(c.length, kHalf - size_t(c.offset));
            for (size_t j = 0; j < n; ++j) {
                image.pattern[size_t(c.offset) + j] = c.data[j];
                image.mask[size_t(c.offset) + j] = c.data[kHalf + j];
            }
            end = std::max(end, size_t(c.offset) + n);
            continue;
        }
        const bool fixed = c.kind == CondByte || c.kind == CondWord || c.kind == CondDword || c.kind == CondQword ||
                           c.kind == CondBytes;
        const size_t width = c.kind == CondBytes ? c.length : ConditionWidth(c.kind);
        if (!fixed || c.repeat != 0 || c.offset < 0 || size_t(c.offset) + width > kHalf || c.data.size() < width) {
            image.editable = false;
            continue;
        }
        for (size_t j = 0; j < width; ++j) {
            image.pattern[size_t(c.offset) + j] = c.data[j];
            image.mask[size_t(c.offset) + j] = 0xFF;
        }
        end = std::max(end, size_t(c.offset) + width);
    }
    image.count = uint16_t(end);
    return image;
}

FileTypeSignature SignatureOfImage(const SignatureImage& image) {
    std::vector<uint8_t> data(2 * kHalf);
    std::memcpy(data.data(), image.pattern.data(), kHalf);
    std::memcpy(data.data() + kHalf, image.mask.data(), kHalf);
    FileTypeSignature signature;
    signature.conditions.push_back(
        SignatureCondition::Make(CondMasked, std::move(data), 0, std::max<uint16_t>(image.count, 1)));
    signature.conditions.back().length = image.count;
    return signature;
}

CSignatureDataViewCtrl::CSignatureDataViewCtrl(QWidget* parent) : QWidget(parent) {
    auto* layout = new QGridLayout(this);
    dataView = new CHexEditorCtrl(this);
    maskView = new CHexEditorCtrl(this);
    count = new QSpinBox(this);
    count->setRange(0, int(kHalf));
    note_ = new QLabel(S(str::SignatureNotEditable), this);
    note_->setWordWrap(true);
    note_->hide();
    layout->addWidget(new QLabel(S(str::SignatureData), this), 0, 0);
    layout->addWidget(dataView, 1, 0, 1, 2);
    layout->addWidget(new QLabel(S(str::SignatureMask), this), 2, 0);
    layout->addWidget(maskView, 3, 0, 1, 2);
    layout->addWidget(new QLabel(S(str::CompareByteCount), this), 4, 0);
    layout->addWidget(count, 4, 1);
    layout->addWidget(note_, 5, 0, 1, 2);
}

void CSignatureDataViewCtrl::ShowSignature(const FileTypeSignature& signature) {
    image_ = ImageOfSignature(signature);
    dataView->SetMemory(image_.pattern.data(), kHalf);
    maskView->SetMemory(image_.mask.data(), kHalf);
    dataView->SetReadOnly(!image_.editable);
    maskView->SetReadOnly(!image_.editable);
    count->setEnabled(image_.editable);
    count->setValue(image_.count);
    shownCount_ = image_.count;
    note_->setVisible(!image_.editable);
}

bool CSignatureDataViewCtrl::Edited() const {
    return image_.editable &&
           (dataView->UndoCount() > 0 || maskView->UndoCount() > 0 || count->value() != shownCount_);
}

FileTypeSignature CSignatureDataViewCtrl::Signature() const {
    SignatureImage edited = image_;
    edited.count = uint16_t(count->value());
    return SignatureOfImage(edited);
}

}  // namespace vx
