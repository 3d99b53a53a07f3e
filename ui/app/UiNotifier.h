#pragma once
// The desktop program's receiver of the core's notifications. Calls arrive on
// any thread: events become Qt signals delivered as queued events on the
// user-interface thread (connect with the default connection type); questions
// run their dialog on the user-interface thread while the asking worker waits.
#include <QObject>
#include <QString>

#include "common/Notifier.h"

class QWidget;

namespace vx {

class CUiNotifier : public QObject, public INotifier {
    Q_OBJECT
public:
    explicit CUiNotifier(QObject* parent = nullptr);

    // The window that owns message boxes and dialogs (the top-level window).
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void OnLogLine(const std::string& line) override;
    void OnStatusText(int stringId, intptr_t arg) override;
    void OnCollectionChanged(CVolume* volume, FoundObject* object, int code) override;
    void OnVolumeAdded(CVolume* volume, CVolume* parent) override;
    void OnAnalysisEvent(uint32_t message, CVolume* volume) override;
    void OnImageEvent(uint32_t message, CImageJob* job, int error) override;

    bool Confirm(int questionId, const std::string& text) override;
    ProbableSizeAnswer AskProbableSize(CVolume* volume, const FoundObject& object,
                                       const ProbableSizeQuestion& question) override;
    bool AskOtherDestination(const std::string& text, std::string& folder) override;
    bool ConfirmOverwrite(const std::string& path) override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;

signals:
    void LogLine(const QString& line);
    void StatusText(int stringId, qintptr arg);
    void CollectionChanged(vx::CVolume* volume, vx::FoundObject* object, int code);
    void VolumeAdded(vx::CVolume* volume, vx::CVolume* parent);
    void AnalysisEvent(quint32 message, vx::CVolume* volume);
    void ImageEvent(quint32 message, vx::CImageJob* job, int error);

private:
    // Runs `ask` on the user-interface thread; the calling thread waits.
    template <typename F>
    auto OnUiThread(F ask) -> decltype(ask());

    QWidget* owner_ = nullptr;
};

}  // namespace vx

// The pointer types the signals carry across threads.
Q_DECLARE_OPAQUE_POINTER(vx::CVolume*)
Q_DECLARE_OPAQUE_POINTER(vx::FoundObject*)
Q_DECLARE_OPAQUE_POINTER(vx::CImageJob*)
Q_DECLARE_METATYPE(vx::CVolume*)
Q_DECLARE_METATYPE(vx::FoundObject*)
Q_DECLARE_METATYPE(vx::CImageJob*)
