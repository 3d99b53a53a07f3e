#pragma once
// The pages of the settings sheet. Each loads its controls from the settings
// record when first shown and stores them at OK (Store returns false, after a
// beep and with the focus on the field, when a number field holds no number).
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vx {

class CSearchFileTypeTreeView;

class CProgSettingsPage : public QWidget {
    Q_OBJECT
public:
    CProgSettingsPage(int captionId, int icon, QWidget* parent = nullptr);
    QString Caption() const { return caption_; }
    bool WasShown() const { return shown_; }
    // Loads the controls now (once), as showing the page does.
    void EnsureLoaded();
    virtual bool Store() = 0;

signals:
    void FirstShown();
    void HelpRequested();

protected:
    virtual void Load() = 0;
    void showEvent(QShowEvent* event) override;
    // Beeps and focuses the field when it holds no number.
    static bool CheckNumber(QSpinBox* field);
    QWidget* body_;

private:
    QString caption_;
    bool shown_ = false;
};

class CProgSettings_Common : public CProgSettingsPage {
    Q_OBJECT
public:
    explicit CProgSettings_Common(QWidget* parent = nullptr);
    bool Store() override;
    QCheckBox* splash;
    QCheckBox* autoCheck;
    QSpinBox* period;

protected:
    void Load() override;
};

class CProgSettings_Confirms : public CProgSettingsPage {
    Q_OBJECT
public:
    explicit CProgSettings_Confirms(QWidget* parent = nullptr);
    bool Store() override;
    QCheckBox *shutdown, *scanAbort, *recoveryAbort, *overwrite, *tryOpen;
    QLabel* helpLink;

protected:
    void Load() override;
};

class CProgSettings_SearchFileTypes : public CProgSettingsPage {
    Q_OBJECT
public:
    explicit CProgSettings_SearchFileTypes(QWidget* parent = nullptr);
    bool Store() override;
    CSearchFileTypeTreeView* tree;

protected:
    void Load() override;
};

class CProgSettings_Temporary : public CProgSettingsPage {
    Q_OBJECT
public:
    explicit CProgSettings_Temporary(QWidget* parent = nullptr);
    bool Store() override;
    QRadioButton *system, *custom;
    QLineEdit* folder;
    QPushButton* browse;

protected:
    void Load() override;

private:
    void Choose(bool customChoice);
};

class CProgSettings_DriveAccess : public CProgSettingsPage {
    Q_OBJECT
public:
    explicit CProgSettings_DriveAccess(QWidget* parent = nullptr);
    bool Store() override;
    QSpinBox *retries, *pause;

protected:
    void Load() override;
};

class CProgSettings_Logging : public CProgSettingsPage {
    Q_OBJECT
public:
    explicit CProgSettings_Logging(QWidget* parent = nullptr);
    bool Store() override;
    QCheckBox *save, *clear, *debugWindow;
    QLineEdit* fileName;
    QSpinBox* maxSize;
    QLabel *nameLabel, *sizeLabel, *unitLabel;

protected:
    void Load() override;

private:
    void UpdateEnabling();
};

class CProgSettings_Lang : public CProgSettingsPage {
    Q_OBJECT
public:
    explicit CProgSettings_Lang(QWidget* parent = nullptr);
    bool Store() override { return true; }
    QComboBox* language;

protected:
    void Load() override;
};

// The system's temporary folder as the settings compare it.
QString SystemTemporaryPath();

}  // namespace vx
