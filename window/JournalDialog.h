#pragma once

#include <QDialog>

class CTarnDlg;
class QLabel;
class QListWidget;

// "Cameras away from home...": the cameras an earlier job could not see home, with where they are,
// where home is and since when; the chosen ones can be forgotten (a camera that left the bench),
// after which no start sends them home any more.
class JournalDialog : public QDialog {
    Q_OBJECT
public:
    JournalDialog(CTarnDlg& controller, QWidget* window);

private:
    void fill();
    void forgetChosen();

    CTarnDlg& m_controller;
    QLabel* m_summary;
    QListWidget* m_list;
};
