#include "ui/app/UiNotifier.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

#include "ui/recovery/ProbableSizeDlg.h"

namespace vx {

CUiNotifier::CUiNotifier(QObject* parent) : QObject(parent) {
    qRegisterMetaType<vx::CVolume*>();
    qRegisterMetaType<vx::FoundObject*>();
    qRegisterMetaType<vx::CImageJob*>();
}

template <typename F>
auto CUiNotifier::OnUiThread(F ask) -> decltype(ask()) {
    if (QThread::currentThread() == thread()) return ask();
    decltype(ask()) result{};
    QMetaObject::invokeMethod(this, [&] { result = ask(); }, Qt::BlockingQueuedConnection);
    return result;
}

void CUiNotifier::OnLogLine(const std::string& line) { emit LogLine(QString::fromStdString(line)); }
void CUiNotifier::OnStatusText(int stringId, intptr_t arg) { emit StatusText(stringId, arg); }
void CUiNotifier::OnCollectionChanged(CVolume* volume, FoundObject* object, int code) {
    emit CollectionChanged(volume, object, code);
}
void CUiNotifier::OnVolumeAdded(CVolume* volume, CVolume* parent) { emit VolumeAdded(volume, parent); }
void CUiNotifier::OnAnalysisEvent(uint32_t message, CVolume* volume) { emit AnalysisEvent(message, volume); }
void CUiNotifier::OnImageEvent(uint32_t message, CImageJob* job, int error) { emit ImageEvent(message, job, error); }

bool CUiNotifier::Confirm(int, const std::string& text) {
    return OnUiThread([&] {
        return QMessageBox::question(owner_, tr("Confirmation"), QString::fromStdString(text)) ==
               QMessageBox::Yes;
    });
}

ProbableSizeAnswer CUiNotifier::AskProbableSize(CVolume* volume, const FoundObject& object,
                                                const ProbableSizeQuestion& question) {
    return OnUiThread([&] { return CProbableSizeDlg::Ask(owner_, volume, object, question); });
}

bool CUiNotifier::AskOtherDestination(const std::string& text, std::string& folder) {
    return OnUiThread([&] {
        QMessageBox::warning(owner_, tr("Warning"), QString::fromStdString(text));
        QString chosen = QFileDialog::getExistingDirectory(owner_, QString(), QString::fromStdString(folder));
        if (chosen.isEmpty()) return false;
        folder = chosen.toStdString();
        return true;
    });
}

bool CUiNotifier::ConfirmOverwrite(const std::string& path) {
    return OnUiThread([&] {
        return QMessageBox::question(owner_, tr("Confirmation"),
                                     tr("%1 already exists.\nDo you want to replace it?")
                                         .arg(QString::fromStdString(path))) == QMessageBox::Yes;
    });
}

void CUiNotifier::ShowError(const std::string& caption, const std::string& text) {
    OnUiThread([&] {
        QMessageBox::critical(owner_, QString::fromStdString(caption), QString::fromStdString(text));
        return 0;
    });
}

void CUiNotifier::ShowMessage(const std::string& caption, const std::string& text) {
    OnUiThread([&] {
        QMessageBox::information(owner_, QString::fromStdString(caption), QString::fromStdString(text));
        return 0;
    });
}

}  // namespace vx
