#pragma once
// The log list in the status bar: a drop-down list of the event log's lines,
// newest first, the newest one shown while the list is closed.
#include <QComboBox>

namespace vx {

class CLogView : public QComboBox {
    Q_OBJECT
public:
    explicit CLogView(QWidget* parent = nullptr);
    QStringList Lines() const;  // top to bottom

    // The list opens this far below the status bar pane.
    static constexpr int kDropHeight = 300;

public slots:
    void AddLine(const QString& line);

protected:
    void showPopup() override;
};

}  // namespace vx
