#pragma once
// CObjectInformationView: the "File Format Properties" sheet of one format
// of the file-type database, on three pages. OK writes the fields and the
// signatures into the format in memory; they reach the registry when the
// database is saved.
#include <QDialog>

#include <vector>

#include "signatures/FileType.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace vx {

class CSignatureDataViewCtrl;

class CObjectInformationView : public QDialog {
    Q_OBJECT
public:
    explicit CObjectInformationView(FileType& type, QWidget* parent = nullptr);
    enum Page { Description = 0, TechnicalInfo, SignaturePage };

    // Writes every page into the format (what OK does).
    void Apply();
    QTabWidget* Tabs() const { return tabs_; }
    int ShownSignature() const { return shown_; }
    void ShowSignature(int index);
    void AddSignature();
    void RemoveSignature();

    // Description page.
    QLineEdit *title, *description, *url;
    // Technical Info page.
    QSpinBox *typicalSize, *searchOrder, *coincidence;
    QLineEdit *prefix, *extensions, *formatId;
    QComboBox* group;
    // Signature page.
    CSignatureDataViewCtrl* signatureView;
    QLabel* index;
    QPushButton *previous, *next, *add, *remove;
    QCheckBox* checkByBits;

public slots:
    void accept() override;

private:
    void KeepShownEdits();
    void UpdateIndex();

    FileType& type_;
    QTabWidget* tabs_;
    std::vector<FileTypeSignature> signatures_;  // the working copy
    std::vector<bool> edited_;
    int shown_ = -1;
};

}  // namespace vx
