#pragma once

#include <QWidget>

class DownloadList;
class DownloadTester;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The download form: the link field (one link or several, separated by spaces or new lines), the
// quality picker and the two MP4 switches, and the Download button. Bound two-way to the form's
// model; Download and Return add the field's links to the list with the form's settings and leave
// in the field only the words that are not links, named under it.
class DownloadForm : public QWidget {
    Q_OBJECT
public:
    // form and list must outlive the widget.
    DownloadForm(DownloadTester& form, DownloadList& list, QWidget* parent = nullptr);

    QLineEdit* urlField() const { return m_urlField; }
    // Adds the field's links to the list; what is left names the words that are not links.
    void submit();

private:
    void showControls();
    void describeControls();

    DownloadTester& m_tester;
    DownloadList& m_list;
    QLineEdit* m_urlField = nullptr;
    QLabel* m_linkHint = nullptr; // why Download is disabled for a link without a scheme
    QComboBox* m_qualityPicker = nullptr;
    QCheckBox* m_forceMP4 = nullptr;
    QCheckBox* m_compatibleMP4 = nullptr;
    QPushButton* m_downloadButton = nullptr;
};
