#pragma once
// The help window: the HTML pages of media/help with a contents page, back
// and forward, and a search field that lists the pages mentioning a word.
#include <QWidget>

class QLineEdit;
class QTextBrowser;

namespace vx {

class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* parent = nullptr);

    static QString HelpFolder();
    // Shows a page of the help folder ("index.html", "quickstart.html").
    void ShowPage(const QString& page);
    // The search field, focused, with an empty query.
    void ShowSearch();
    // Lists the pages that contain every word of the query.
    void Search(const QString& query);

    QTextBrowser* Browser() const { return browser_; }

private:
    QTextBrowser* browser_;
    QLineEdit* search_;
};

}  // namespace vx
