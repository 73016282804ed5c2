#pragma once

#include <array>
#include <cstdint>

#include <QMainWindow>

#include "profile/cprof.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class DirListBox;
class DriveListBox;
class FileListBox;

// The main window: a fixed-size browser with the file commands and menus.
// Layout and initial state live in form1.cpp; the handlers in form1_*.cpp,
// grouped by what they do.
class Form1 : public QMainWindow {
public:
    Form1();

    // Start-up and shutdown.
    void Form_Load();
    void Form_Unload();
    void mnuend_Click();

    // Browsing.
    void Drive1_Change();
    void Dir1_Change();
    void Command3_Click(int Index);
    void File1_Click();

    // The image window's buttons.
    void Command1_Click();
    void Command2_Click();

    // File commands.
    void Command4_Click();
    void Command5_Click();
    void Command7_Click();
    void mnupassc_Click();

    // Clipboard commands.
    void Command6_Click();
    void mnugazoc_Click();
    void mnucliclear_Click();
    void mnuviewclip_Click();

    // Special folders.
    void Command8_Click();
    void Command9_Click();

    // Help and version.
    void mnuhelp_Click();
    void mnuver_Click();

    // Saving.
    void mnusave_Click();

    // Favorites.
    void loadFavorites();
    void mnuokiniplus_Click();
    void mnuokiniclear_Click();
    void mnurec_Click(int Index);

    // The form's mouse pointer: 0 default arrow, 11 hourglass.
    int MousePointer() const;
    void setMousePointer(int pointer);

    DriveListBox* Drive1;
    DirListBox* Dir1;
    FileListBox* File1;
    QPushButton* Command1;
    QPushButton* Command2;
    QLabel* Label1;
    std::array<QPushButton*, 5> Command3;
    QLineEdit* Text1;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* Command6;
    QPushButton* Command7;
    QPushButton* Command8;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QPushButton* Command9;

    QMenu* mnufile;
    QAction* mnusave;
    QAction* mnuend;
    QMenu* mnuedit;
    QAction* mnugazoc;
    QAction* mnupassc;
    QAction* mnucliclear;
    QAction* mnuviewclip;
    QMenu* mnuokini;
    QAction* mnuokiniplus;
    QAction* mnuokiniclear;
    QAction* mnuborder;
    std::array<QAction*, 7> mnurec{}; // indexes 1 to 6
    QMenu* mnuwindow;
    QAction* mnuhelp;
    QAction* mnuver;

    QString selpath;            // full path of the file selected in File1
    std::int16_t enlarged = 0;  // 1 while the picture is shown enlarged
    cProf clsnew;               // access to the settings file

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openSettings();
    void buildControls(QWidget* client);
    void buildMenus();
    void connectHandlers();
};
