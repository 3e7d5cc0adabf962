#pragma once

#include <QPointer>
#include <QWidget>

class DownloadTester;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The download form: the link field, the quality picker and the two MP4 switches, and the
// Download button that a spinner and Cancel replace while the download runs. Bound two-way to
// the form model; moves the focus so that the swap of the buttons never loses it.
class DownloadForm : public QWidget {
    Q_OBJECT
public:
    // tester must outlive the form.
    explicit DownloadForm(DownloadTester& tester, QWidget* parent = nullptr);

    QLineEdit* urlField() const { return m_urlField; }

private:
    void showControls();
    void showProgress();
    void describeControls();

    DownloadTester& m_tester;
    QLineEdit* m_urlField = nullptr;
    QLabel* m_linkHint = nullptr; // why Download is disabled for a link without a scheme
    QComboBox* m_qualityPicker = nullptr;
    QCheckBox* m_forceMP4 = nullptr;
    QCheckBox* m_compatibleMP4 = nullptr;
    QProgressBar* m_spinner = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_downloadButton = nullptr;
    // Where the keyboard focus was when the running download began, to return to when it ends.
    QPointer<QWidget> m_focusBeforeRun;
    bool m_showingRun = false;
};
