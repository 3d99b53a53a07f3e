#include "ui/explorer/FindInFound.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "device/Volume.h"
#include "ui/explorer/FilesListView.h"
#include "ui/explorer/SearchBarView.h"

namespace vx {

CFindInFound::CFindInFound(QWidget* owner) : QObject(owner) {
    pane_ = new QWidget(owner);
    auto* layout = new QVBoxLayout(pane_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* caption = new QWidget(pane_);
    caption->setAutoFillBackground(true);
    caption->setBackgroundRole(QPalette::Mid);
    auto* captionLayout = new QHBoxLayout(caption);
    captionLayout->setContentsMargins(6, 2, 2, 2);
    captionLayout->addWidget(new QLabel(tr("Search"), caption), 1);
    auto* close = new QToolButton(caption);
    close->setIcon(pane_->style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setAutoRaise(true);
    close->setToolTip(tr("Close"));
    captionLayout->addWidget(close);
    layout->addWidget(caption);
    auto* scroll = new QScrollArea(pane_);  // the form's scrollable host
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    form_ = new CSearchBarView(scroll);
    scroll->setWidget(form_);
    layout->addWidget(scroll, 1);
    results_ = new CFilesListView(true, owner);
    connect(close, &QToolButton::clicked, this, &CFindInFound::CloseRequested);
}

CFindInFound::~CFindInFound() { Stop(); }

void CFindInFound::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void CFindInFound::Forget() {
    Stop();
    {
        std::lock_guard lock(mutex_);
        found_.clear();
    }
    results_->Model().Clear();
    reported_ = true;
}

void CFindInFound::Start(CVolume* volume, const SearchCriteria& criteria) {
    Forget();
    results_->Model().SetVolume(volume);
    if (!volume) return;
    stop_ = false;
    running_ = true;
    reported_ = false;
    total_ = 0;
    form_->SetSearching(true);
    thread_ = std::thread([this, volume, criteria] { Body(volume, criteria); });
}

void CFindInFound::Body(CVolume* volume, SearchCriteria criteria) {
    std::vector<FoundObject*> batch;
    volume->collection.Visit([&](const FoundObject& record) {
        if (stop_.load(std::memory_order_relaxed) || record.id < 0) return;
        if (!criteria.Matches(record)) return;
        batch.push_back(const_cast<FoundObject*>(&record));
        if (batch.size() >= 4096) {
            std::lock_guard lock(mutex_);
            found_.insert(found_.end(), batch.begin(), batch.end());
            batch.clear();
        }
    });
    {
        std::lock_guard lock(mutex_);
        found_.insert(found_.end(), batch.begin(), batch.end());
    }
    running_ = false;
}

void CFindInFound::OnTimer() {
    const bool ended = !running_.load();
    std::vector<FoundObject*> arrived;
    {
        std::lock_guard lock(mutex_);
        arrived.swap(found_);
    }
    total_ += arrived.size();
    if (!arrived.empty()) results_->Model().Append(arrived);
    results_->Refresh();
    if (ended && !reported_) {
        reported_ = true;
        if (thread_.joinable()) thread_.join();
        form_->SetSearching(false);
        if (total_ == 0 && !stop_.load()) emit NothingFound();
    }
}

}  // namespace vx
