#pragma once
// The one way the core reaches a user interface. Worker threads call these
// from any thread; a GUI implementation queues each call as an event to the
// receiving object and returns at once (questions excepted, which block the
// asking worker until the user answers). The command-line tool and the tests
// implement it directly. Every method has a do-nothing default so a receiver
// implements only what it shows.
#include <cstdint>
#include <string>

namespace vx {

class CVolume;
class CImageJob;
struct FoundObject;

// Private message numbers of the application range, kept for the GUI's event
// types and for logs.
enum : uint32_t {
    WM_LOG_LINE = 0x8069,
    WM_STATUS_TEXT = 0x806A,
    WM_FS_ANALYSIS_DONE = 0x806B,
    WM_SECTOR_ANALYSIS_DONE = 0x806C,
    WM_ANALYSIS_FINISHED = 0x806F,
    WM_START_RECOVERY = 0x8131,
    WM_COLLECTION_CHANGED = 0x81F4,
    WM_OBJECT_SELECTED = 0x81F5,
    WM_VOLUME_ADDED = 0x81F6,
    WM_IMAGE_PROGRESS = 0x80D5,
    WM_IMAGE_CREATE_ERROR = 0x80D6,
    WM_IMAGE_DONE = 0x80D7,
};

// Codes carried by WM_COLLECTION_CHANGED.
enum CollectionChange : int {
    kObjectAdded = 1,
    kLostFileAdded = 2,
    kSeenAgain = 4,
    kLostFolderCreated = 16,
    kPlaceholderReplaced = 32,
};

// The probable-size question: a file found by content whose size is not
// known. The candidates are in bytes (0 when there is none).
struct ProbableSizeQuestion {
    std::string typeName;
    uint64_t typicalSize = 0;       // the type's typical size
    uint64_t nextAnyDistance = 0;   // distance to the next file of any type
    uint64_t nextSameDistance = 0;  // distance to the next file of the same type
};

// Buttons of the answer, in the dialog's result numbers.
enum ProbableSizeButton : int { kSizeOk = 1, kSizeCancel = 2, kSizeSkip = 5 };

struct ProbableSizeAnswer {
    int button = kSizeOk;
    uint32_t rule = 1;        // SizeRule 1..4
    uint32_t scope = 0;       // 0 this file only, 1 all files of this type, 2 all files of any type
    uint64_t customSize = 0;  // bytes, for rule 4
};

class INotifier {
public:
    virtual ~INotifier() = default;

    // A new line of the event log, fully formatted.
    virtual void OnLogLine(const std::string& line) {}
    // A status text by string-table id (WM_STATUS_TEXT).
    virtual void OnStatusText(int stringId, intptr_t arg) {}
    // WM_COLLECTION_CHANGED: a record of `volume`'s collection changed.
    virtual void OnCollectionChanged(CVolume* volume, FoundObject* object, int code) {}
    // WM_VOLUME_ADDED: a found volume was added below `parent`.
    virtual void OnVolumeAdded(CVolume* volume, CVolume* parent) {}
    // WM_FS_ANALYSIS_DONE, WM_SECTOR_ANALYSIS_DONE, WM_ANALYSIS_FINISHED.
    virtual void OnAnalysisEvent(uint32_t message, CVolume* volume) {}

    // The drive-image copy: WM_IMAGE_PROGRESS, WM_IMAGE_CREATE_ERROR (with the
    // system's error number) and WM_IMAGE_DONE. Progress views may poll instead.
    virtual void OnImageEvent(uint32_t message, CImageJob* job, int error) {}

    // Questions. The defaults answer as an unattended run would.
    // "Do you want to stop the analysis?" and the like: true means yes.
    virtual bool Confirm(int questionId, const std::string& text) { return true; }
    // The probable-size dialog for `object` of `volume`; the default is the
    // dialog's own preset: OK, typical size of the type, this file only.
    virtual ProbableSizeAnswer AskProbableSize(CVolume* volume, const FoundObject& object,
                                               const ProbableSizeQuestion& question) {
        return {};
    }
    // The destination lies on the source: `text` explains; a receiver may put
    // another folder into `folder` and return true. The default gives up.
    virtual bool AskOtherDestination(const std::string& text, std::string& folder) { return false; }
    // A recovered file would replace the existing file `path`: true replaces
    // it, false writes the new file under a free name beside it.
    virtual bool ConfirmOverwrite(const std::string& path) { return false; }
    // A plain error the user must see (a message box in the GUI).
    virtual void ShowError(const std::string& caption, const std::string& text) {}
    // A plain notice with an OK button ("Signature file '...' added!").
    virtual void ShowMessage(const std::string& caption, const std::string& text) {}
};

// The process-wide receiver. Never null: without one set, calls go to a
// receiver that ignores them.
INotifier& Notifier();
void SetNotifier(INotifier* notifier);

}  // namespace vx
