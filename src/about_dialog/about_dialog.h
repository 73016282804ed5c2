#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The version dialog: modeless, at most one, closed by OK, Enter or Escape.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    AboutDialog();

    void onLoad();
    void dismiss();

    QLabel* iconLabel;
    QLabel* titleLabel;
    QLabel* versionLabel;
    QLabel* descriptionLabel;
    QLabel* makerLabel;
    QPushButton* okButton;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
};
