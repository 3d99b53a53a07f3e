#include "ui/recovery/DlgTryOpen.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "settings/ProgramSettings.h"

namespace vx {

CDlgTryOpen::CDlgTryOpen(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Warning!"));
    auto* layout = new QVBoxLayout(this);
    const QString texts[] = {
        tr("You are trying to open a file in a program associated with the file type. If the file is not damaged or "
           "partly overwritten, it will be opened and displayed as expected."),
        tr("If, however, the file is damaged in some way, certain problems may arise, e.g. the file will open but "
           "only \"garbage\" will be displayed, or the file will fail to open and the associated program will hang."),
        tr("If the program hangs, close its window: when it does not respond, the desktop offers to force it to "
           "quit. Or open the System Monitor, find and select the program in the list of processes and choose "
           "\"End Process\" (in a terminal: kill followed by its process number)."),
    };
    for (const QString& text : texts) {
        auto* label = new QLabel(text, this);
        label->setWordWrap(true);
        label->setMinimumWidth(420);
        layout->addWidget(label);
    }
    dontShow = new QCheckBox(tr("Don't show this warning again."), this);
    dontShow->setChecked(Settings().Flag(settings_offset::SuppressTryOpenWarning));
    layout->addWidget(dontShow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CDlgTryOpen::done(int result) {
    Settings().SetFlag(settings_offset::SuppressTryOpenWarning, dontShow->isChecked());
    QDialog::done(result);
}

}  // namespace vx
