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
};

// Codes carried by WM_COLLECTION_CHANGED.
enum CollectionChange : int {
    kObjectAdded = 1,
    kLostFileAdded = 2,
    kSeenAgain = 4,
    kLostFolderCreated = 16,
    kPlaceholderReplaced = 32,
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

    // Questions. The defaults answer as an unattended run would.
    // "Do you want to stop the analysis?" and the like: true means yes.
    virtual bool Confirm(int questionId, const std::string& text) { return true; }
};

// The process-wide receiver. Never null: without one set, calls go to a
// receiver that ignores them.
INotifier& Notifier();
void SetNotifier(INotifier* notifier);

}  // namespace vx
