#include "ui/app/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Strings.h"
#include "ui/app/Icons.h"

namespace vx {

QString CAboutDlg::FileVersion() {
    // The project version "major.minor.patch" and a build number of 0.
    const QStringList parts = QString(VORNEX_VERSION).split('.');
    return QString("%1, %2, %3, 0").arg(parts.value(0, "0"), parts.value(1, "0"), parts.value(2, "0"));
}

QString CAboutDlg::VersionText(const QString& v) {
    const int first = v.indexOf(',');
    const int last = v.lastIndexOf(',');
    if (first < 0) return QString::asprintf(LoadString(str::AboutVersion), v.toUtf8().constData(), "", "");
    const int next = v.indexOf(',', first + 2);
    const QString major = v.left(first);
    const QString minor = v.mid(first + 2, next < 0 ? -1 : next - first - 2);
    const QString build = v.mid(last + 2);
    return QString::asprintf(LoadString(str::AboutVersion), major.toUtf8().constData(), minor.toUtf8().constData(),
                             build.toUtf8().constData());
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(LoadString(100));
    auto* picture = new QLabel(this);
    picture->setPixmap(ProgramIcon().pixmap(64, 64));
    auto* name = new QLabel(QString("<b>%1</b>").arg(LoadString(str::AppTitle)), this);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    name->setFont(big);
    auto* version = new QLabel(VersionText(FileVersion()), this);
    auto* text = new QLabel(LoadString(str::AboutText), this);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        emit HelpRequested();
        accept();
    });
    auto* column = new QVBoxLayout;
    column->addWidget(name);
    column->addWidget(version);
    column->addWidget(text);
    auto* row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addLayout(column, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

}  // namespace vx
