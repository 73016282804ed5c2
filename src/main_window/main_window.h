#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include <QMainWindow>
#include <QPointer>

#include "ui/forms.h"
#include "ui/mouse_pointer.h"
#include "profile/profile.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class DirListBox;
class DriveListBox;
class FileListBox;
class AboutDialog;
class ImageWindow;
class PictureModel;
class SaveDialog;
class PictureSaver;
struct SaveRequest;

// The main window: a fixed-size browser with the file commands and menus.
// Layout and initial state live in main_window.cpp; the handlers in main_window_*.cpp,
// grouped by what they do.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

    // Start-up and shutdown.
    void onLoad();
    void onUnload();
    void quit();

    // Browsing.
    void onDriveChanged();
    void onFolderChanged();
    void filterFiles(int index);
    void onFileClicked();
    // The picture being viewed, which every window shows and acts on.
    PictureModel& model() const { return *model_; }
    // The windows it opens: the image window from its start on; the save
    // dialog while open; the version dialog, made when first asked for.
    ImageWindow& imageWindow() const;
    SaveDialog* saveDialog() const;
    AboutDialog& aboutDialog();

    // The image window's buttons.
    void closeImage();
    void enlargeImage();

    // File commands.
    void copyPath();
    void runFile();
    void deleteSelectedFile();
    void copyPathFromMenu();

    // Clipboard commands.
    void showClipboardPicture();
    void copyPicture();
    void clearClipboard();
    void openClipboardViewer();

    // Special folders.
    void openDesktop();
    void openTrash();

    // Help and version.
    void showHelp();
    void showAbout();

    // Saving.
    void openSaveDialog();
    // The windows take no input while the program waits for a picture or a save.
    void holdWindows(bool held);
    // A save is under way: from the name asked for to the report.
    bool savesPicture() const;

    // Favorites.
    void loadFavorites();
    void addFavorite();
    void clearFavorites();
    void openFavorite(int index);

    MousePointer mousePointer() const;
    void setMousePointer(MousePointer pointer);

    DriveListBox* driveList;
    DirListBox* folderList;
    FileListBox* fileList;
    QPushButton* closeImageButton;
    QPushButton* enlargeButton;
    QLabel* makerLabel;
    std::array<QPushButton*, 5> filterButtons;
    QLineEdit* pathBox;
    QPushButton* copyButton;
    QPushButton* runButton;
    QPushButton* clipboardPictureButton;
    QPushButton* deleteButton;
    QPushButton* desktopButton;
    QLabel* dateValue;
    QLabel* dateCaption;
    QLabel* sizeCaption;
    QLabel* sizeValue;
    QLabel* byteUnitCaption;
    QPushButton* trashButton;

    QMenu* fileMenu;
    QAction* saveAction;
    QAction* quitAction;
    QMenu* editMenu;
    QAction* copyPictureAction;
    QAction* copyPathAction;
    QAction* clearClipboardAction;
    QAction* clipboardViewerAction;
    QMenu* favoritesMenu;
    QAction* addFavoriteAction;
    QAction* clearFavoritesAction;
    QAction* favoritesSeparator;
    std::array<QAction*, 7> favoriteActions{}; // indexes 1 to 6
    QMenu* windowMenu;
    QAction* helpAction;
    QAction* aboutAction;

    QString selectedPath; // full path of the file selected in fileList
    bool isEnlarged = false;
    Profile settings;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void openSettings();
    void buildControls(QWidget* client);
    void buildMenus();
    void connectHandlers();
    // The save dialog on the full-size picture at hand (main_window_save.cpp).
    void showSaveDialog();
    void startSave(const SaveRequest& request);
    void showBusy(bool busy);
    void comeForward();

    // Following the picture model (main_window_select.cpp).
    QSize viewBox() const;
    void followModel();
    void fitIntoBox();

    PictureModel* model_;
    QPointer<ImageWindow> imageWindow_;
    QPointer<SaveDialog> saveDialog_;
    QPointer<AboutDialog> aboutDialog_;
    QPointer<PictureSaver> saver_;
};
