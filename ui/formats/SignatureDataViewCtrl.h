#pragma once
// CSignatureDataViewCtrl: one signature of a format shown as 512 pattern
// bytes and 512 mask bytes in two hex views, with the count of bytes
// compared from the start. A signature of fixed bytes at fixed offsets (or
// one masked condition) can be edited; it is written back as one masked
// condition. Other signatures are shown as far as they can be and kept.
#include <QWidget>

#include <array>
#include <cstdint>

#include "signatures/FileType.h"

class QLabel;
class QSpinBox;

namespace vx {

class CHexEditorCtrl;

struct SignatureImage {
    std::array<uint8_t, 512> pattern{};
    std::array<uint8_t, 512> mask{};
    uint16_t count = 0;     // bytes compared from the start
    bool editable = true;   // false: conditions the image cannot express
};

SignatureImage ImageOfSignature(const FileTypeSignature& signature);
FileTypeSignature SignatureOfImage(const SignatureImage& image);

class CSignatureDataViewCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSignatureDataViewCtrl(QWidget* parent = nullptr);
    void ShowSignature(const FileTypeSignature& signature);
    // True when the user changed the shown signature.
    bool Edited() const;
    // The shown signature as edited (valid when editable).
    FileTypeSignature Signature() const;
    bool Editable() const { return image_.editable; }

    CHexEditorCtrl* dataView;
    CHexEditorCtrl* maskView;
    QSpinBox* count;

private:
    SignatureImage image_;
    uint16_t shownCount_ = 0;
    QLabel* note_;
};

}  // namespace vx
