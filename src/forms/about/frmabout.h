#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The version dialog: modeless, at most one, closed by OK, Enter or Escape.
class frmAbout : public QDialog {
public:
    frmAbout();

    void Form_Load();
    void cmdOK_Click();

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* Label1;
    QPushButton* cmdOK;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
};
