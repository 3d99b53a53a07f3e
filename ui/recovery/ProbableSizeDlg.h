#pragma once
// The probable-size dialog: a file found by content whose size is unknown.
// Asked on the user-interface thread on behalf of the recovery thread, which
// waits for the answer; the Set New Size command shows it too.
#include <QDialog>
#include <QString>

#include "common/Notifier.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;

namespace vx {

class CVolume;
struct FoundObject;

class CProbableFileSizeDlg : public QDialog {
    Q_OBJECT
public:
    CProbableFileSizeDlg(const FoundObject& object, const ProbableSizeQuestion& question, QWidget* parent = nullptr);

    // The answer once the dialog has ended (button from its result).
    ProbableSizeAnswer Answer() const { return answer_; }

    // "1 234 567 KBytes" for a size in bytes (rounded down to KB).
    static QString KBytesText(uint64_t bytes);
    // The custom size field's start: the size in the largest unit that leaves
    // at least 1 (unit 0 B, 1 KB, 2 MB, 3 GB) and the value in it.
    static std::pair<uint64_t, int> InitialCustom(uint64_t size);

    QButtonGroup* rules = nullptr;
    QButtonGroup* scopes = nullptr;
    QLineEdit* customEdit = nullptr;
    QComboBox* unit = nullptr;
    QLabel* explanation = nullptr;

    void accept() override;

private:
    void UpdateEnabled();
    ProbableSizeAnswer answer_;
};

class CProbableSizeDlg {
public:
    static ProbableSizeAnswer Ask(QWidget* owner, CVolume* volume, const FoundObject& object,
                                  const ProbableSizeQuestion& question);
};

}  // namespace vx
