#include "ui/app/HelpWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "platform/MediaFolder.h"
#include "ui/app/Icons.h"

namespace vx {

CHelpWindow::CHelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(LoadString(str::HelpTitle));
    setWindowIcon(ProgramIcon());
    resize(760, 600);
    browser_ = new QTextBrowser(this);
    browser_->setOpenLinks(false);
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QString(LoadString(str::HelpSearchLabel)).remove("..."));
    search_->setClearButtonEnabled(true);

    auto button = [this](int textId, const char* icon) {
        auto* b = new QToolButton(this);
        b->setText(LoadString(textId));
        b->setIcon(QIcon::fromTheme(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        return b;
    };
    QToolButton* back = button(str::Back, "go-previous");
    QToolButton* forward = button(str::Forward, "go-next");
    QToolButton* home = button(str::Home, "go-home");
    QToolButton* find = button(str::Search, "edit-find");
    connect(back, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(home, &QToolButton::clicked, this, [this] { ShowPage("index.html"); });
    connect(find, &QToolButton::clicked, this, [this] { Search(search_->text()); });
    connect(search_, &QLineEdit::returnPressed, this, [this] { Search(search_->text()); });
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (url.isLocalFile() || url.isRelative()) browser_->setSource(url);
        else QDesktopServices::openUrl(url);
    });
    back->setEnabled(false);
    forward->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(back);
    bar->addWidget(forward);
    bar->addWidget(home);
    bar->addStretch(1);
    bar->addWidget(search_, 2);
    bar->addWidget(find);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(browser_, 1);
    browser_->setSearchPaths({HelpFolder()});
}

QString CHelpWindow::HelpFolder() { return QString::fromStdString(MediaFolder()) + "/help"; }

void CHelpWindow::ShowPage(const QString& page) {
    const QString path = HelpFolder() + "/" + page;
    if (QFile::exists(path)) browser_->setSource(QUrl::fromLocalFile(path));
    else browser_->setHtml(QString("<p>%1</p>").arg(QString::asprintf(LoadString(str::HelpMissing),
                                                                     path.toUtf8().constData()).toHtmlEscaped()));
    show();
    raise();
    activateWindow();
}

void CHelpWindow::ShowSearch() {
    if (browser_->source().isEmpty()) ShowPage("index.html");
    show();
    raise();
    activateWindow();
    search_->clear();
    search_->setFocus();
}

void CHelpWindow::Search(const QString& query) {
    const QStringList words = query.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    if (words.isEmpty()) return;
    QString html = QString("<h2>%1</h2><ul>")
                       .arg(QString::asprintf(LoadString(str::HelpMatches), query.toUtf8().constData()).toHtmlEscaped());
    int found = 0;
    QDir folder(HelpFolder());
    for (const QString& name : folder.entryList({"*.html"}, QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(file.readAll()));
        const QString text = doc.toPlainText();
        bool all = true;
        for (const QString& w : words) all = all && text.contains(w, Qt::CaseInsensitive);
        if (!all) continue;
        ++found;
        const QString title = doc.metaInformation(QTextDocument::DocumentTitle);
        html += QString("<li><a href=\"%1\">%2</a></li>")
                    .arg(QUrl::fromLocalFile(folder.filePath(name)).toString(), (title.isEmpty() ? name : title).toHtmlEscaped());
    }
    html += "</ul>";
    if (!found)
        html = QString("<p>%1</p>").arg(QString::asprintf(LoadString(str::HelpNoMatch), query.toUtf8().constData()).toHtmlEscaped());
    browser_->setHtml(html);
}

}  // namespace vx
