#pragma once
// The search in found objects: the search pane (caption, form) and the
// result list, and the search thread that walks the shown drive's collection.
// The thread only appends to its own array; the 250 ms timer moves what it
// found into the result list.
#include <QWidget>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/explorer/SearchCriteria.h"

namespace vx {

class CVolume;
class CFilesListView;
class CSearchBarView;
struct FoundObject;

class CFindInFound : public QObject {
    Q_OBJECT
public:
    explicit CFindInFound(QWidget* owner);
    ~CFindInFound() override;

    QWidget* Pane() const { return pane_; }            // left: caption and form
    CFilesListView* Results() const { return results_; }  // right
    CSearchBarView* Form() const { return form_; }

    // Stops a running search, empties the results and starts a new one.
    void Start(CVolume* volume, const SearchCriteria& criteria);
    // Sets the stop flag and waits for the thread.
    void Stop();
    // Empties the results (their records are about to go away).
    void Forget();
    bool Running() const { return running_.load(); }
    // Moves what the thread found into the list and refreshes it; on the end
    // of a search re-enables "Search" and reports when nothing was found.
    void OnTimer();

signals:
    void CloseRequested();
    void NothingFound();

private:
    void Body(CVolume* volume, SearchCriteria criteria);

    QWidget* pane_;
    CSearchBarView* form_;
    CFilesListView* results_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    bool reported_ = true;
    std::mutex mutex_;
    std::vector<FoundObject*> found_;  // guarded by mutex_
    size_t total_ = 0;                 // found by the current search, UI thread
};

}  // namespace vx
