#include "main_window/main_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include "ui/handler_guard.h"
#include "ui/forms.h"
#include "controls/dir_list_box.h"
#include "controls/drive_list_box.h"
#include "controls/file_list_box.h"
#include "controls/fonts.h"
#include "ui/mouse_pointer.h"
#include "controls/placement.h"
#include "ui/twips.h"
#include "about_dialog/about_dialog.h"
#include "image_window/image_window.h"
#include "resources/builtin_pictures.h"
#include "save_dialog/save_dialog.h"
#include "viewing/picture_model.h"

namespace {

// The font that the window table gives most controls.
QFont tableFont() { return fonts::make(fonts::msPGothic, 8.25); }

QPushButton* button(QWidget* parent, const QString& caption, bool tableFonted)
{
    auto* b = new QPushButton(caption, parent);
    if (tableFonted)
        b->setFont(tableFont());
    b->setAutoDefault(false);
    return b;
}

QLabel* captionLabel(QWidget* parent, const QString& caption)
{
    auto* l = new QLabel(caption, parent);
    l->setFont(tableFont());
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

// A value label: white ground, single-line border, right-aligned.
QLabel* valueLabel(QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setAutoFillBackground(true);
    QPalette palette = l->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    l->setPalette(palette);
    l->setFrameStyle(QFrame::Box | QFrame::Plain);
    l->setLineWidth(1);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setFont(tableFont());
    return l;
}

QPushButton* pictureButton(QWidget* parent, const QImage& picture)
{
    auto* b = new QPushButton(parent);
    b->setFont(tableFont());
    b->setIcon(QIcon(QPixmap::fromImage(picture)));
    b->setIconSize(picture.size());
    b->setAutoDefault(false);
    return b;
}

} // namespace

MainWindow::MainWindow()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                               | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("きりビューアー"));
    setWindowIcon(builtin::programIcon());

    auto* client = new QWidget(this);
    client->setFixedSize(twips::toPixels(4980), twips::toPixels(3555));
    setCentralWidget(client);
    buildControls(client);
    buildMenus();
    connectHandlers();
    model_ = new PictureModel(viewBox(), this);
    followModel();

    // Not resizable and no maximise button: the size is the client area plus the menu bar.
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    move(twips::toPixels(4470), twips::toPixels(2880));
}

void MainWindow::buildControls(QWidget* client)
{
    driveList = place(new DriveListBox(client), 2760, 1200, 1575, 300, QStringLiteral("ドライブを選択します"));
    folderList = place(new DirListBox(client), 2760, 1560, 2055, 1140, QStringLiteral("ダブルクリックでフォルダを選択"));
    fileList = place(new FileListBox(client), 120, 480, 2535, 2250, QStringLiteral("クリックでファイルを選択"));
    closeImageButton = place(button(client, QStringLiteral("画像を閉じる"), true), 120, 3120, 1095, 375,
                     QStringLiteral("画像を閉じます"));
    enlargeButton = place(button(client, QStringLiteral("画像を拡大"), true), 1320, 3120, 1095, 375,
                     QStringLiteral("画像を拡大します"));

    makerLabel = place(new QLabel(QStringLiteral("© きり工房"), client), 3720, 3240, 1335, 255);
    makerLabel->setFont(tableFont());
    QPalette highlight = makerLabel->palette();
    highlight.setColor(QPalette::WindowText, highlight.color(QPalette::Highlight));
    makerLabel->setPalette(highlight);

    filterButtons[0] = place(button(client, QStringLiteral("BMP"), false), 2760, 480, 615, 255, QStringLiteral("BMPを表示します"));
    filterButtons[1] = place(button(client, QStringLiteral("JPG"), false), 3480, 480, 615, 255,
                        QStringLiteral("JPGファイルを表示します"));
    filterButtons[2] = place(button(client, QStringLiteral("GIF"), false), 2760, 840, 615, 255,
                        QStringLiteral("GIFファイルを表示します"));
    filterButtons[3] = place(button(client, QStringLiteral("ALL"), false), 3480, 840, 615, 255,
                        QStringLiteral("GIF　JPG　BMP　KIR　全て表示します"));
    filterButtons[3]->setEnabled(false);

    pathBox = place(new QLineEdit(QStringLiteral("FileName"), client), 120, 120, 3495, 270,
                  QStringLiteral("ファイルネームを表示します"));
    copyButton = place(button(client, QStringLiteral("copy"), true), 3720, 120, 495, 255,
                     QStringLiteral("ファイルネームをコピーします"));
    filterButtons[4] = place(button(client, QStringLiteral("KIR"), false), 4200, 480, 615, 255,
                        QStringLiteral("KIRファイルを表示します"));
    runButton = place(button(client, QStringLiteral("実行"), true), 4320, 120, 495, 255, QStringLiteral("ファイルを実行します"));
    clipboardPictureButton = place(button(client, QStringLiteral("クリップ画像"), true), 2520, 3120, 1095, 375,
                     QStringLiteral("クリップボードに画像をコピーします"));
    deleteButton = place(button(client, QStringLiteral("削除"), true), 4200, 840, 615, 255, QStringLiteral("ファイルを削除します"));
    desktopButton = place(pictureButton(client, builtin::desktopPicture()), 4320, 1200, 255, 255,
                     QStringLiteral("デスクトップの表示"));

    dateValue = place(valueLabel(client), 840, 2760, 1800, 240);
    // Its left edge lies outside the window; only the right-aligned text shows.
    dateCaption = place(captionLabel(client, QStringLiteral("作成日時")), -240, 2760, 1095, 255);
    sizeCaption = place(captionLabel(client, QStringLiteral("サイズ")), 2040, 2760, 1095, 255);
    sizeValue = place(valueLabel(client), 3120, 2760, 1275, 240);
    byteUnitCaption = place(captionLabel(client, QStringLiteral("バイト")), 4200, 2760, 615, 255);
    trashButton = place(pictureButton(client, builtin::trashPicture()), 4560, 1200, 255, 255, QStringLiteral("ゴミ箱を見る"));

    // Later controls are stacked above earlier ones; the value labels must
    // stay above the caption labels that overlap them.
    dateValue->raise();
    sizeValue->raise();

    QWidget* order[] = {driveList,      folderList,     fileList,       closeImageButton, enlargeButton, filterButtons[0], filterButtons[1], filterButtons[2],
                        filterButtons[3], pathBox,    copyButton,    filterButtons[4], runButton, clipboardPictureButton, deleteButton, desktopButton,
                        trashButton};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void MainWindow::buildMenus()
{
    QMenuBar* bar = menuBar();
    fileMenu = bar->addMenu(QStringLiteral("ファイル(&F)"));
    saveAction = fileMenu->addAction(QStringLiteral("保存(&S)"));
    quitAction = fileMenu->addAction(QStringLiteral("終了(&X)"));

    editMenu = bar->addMenu(QStringLiteral("編集(&E)"));
    copyPictureAction = editMenu->addAction(QStringLiteral("画像をコピー(&C)"));
    copyPathAction = editMenu->addAction(QStringLiteral("パスをコピー(&P)"));
    clearClipboardAction = editMenu->addAction(QStringLiteral("クリップクリア(&Y)"));
    clipboardViewerAction = editMenu->addAction(QStringLiteral("クリップボードビュアー(&Z)"));

    favoritesMenu = bar->addMenu(QStringLiteral("お気に入り(&O)"));
    addFavoriteAction = favoritesMenu->addAction(QStringLiteral("追加(&G)"));
    clearFavoritesAction = favoritesMenu->addAction(QStringLiteral("全てクリア(&N)"));
    clearFavoritesAction->setEnabled(false);
    favoritesSeparator = favoritesMenu->addSeparator();
    // Qt hides a trailing separator, which is every separator while no favorite is set.
    favoritesMenu->setSeparatorsCollapsible(false);
    for (int n = 1; n <= 6; ++n) {
        favoriteActions[n] = favoritesMenu->addAction(QString());
        favoriteActions[n]->setVisible(false);
    }

    windowMenu = bar->addMenu(QStringLiteral("ウィンドウ(&W)"));
    helpAction = windowMenu->addAction(QStringLiteral("ヘルプ(&H)"));
    aboutAction = windowMenu->addAction(QStringLiteral("バージョン情報(&V)"));
}

void MainWindow::connectHandlers()
{
    QObject::connect(driveList, &DriveListBox::changed, this, guarded([this] { onDriveChanged(); }));
    QObject::connect(folderList, &DirListBox::changed, this, guarded([this] { onFolderChanged(); }));
    QObject::connect(fileList, &FileListBox::fileClicked, this, guarded([this] { onFileClicked(); }));

    auto onClick = [this](QPushButton* b, void (MainWindow::*handler)()) {
        QObject::connect(b, &QPushButton::clicked, this, guarded([this, handler] { (this->*handler)(); }));
    };
    onClick(closeImageButton, &MainWindow::closeImage);
    onClick(enlargeButton, &MainWindow::enlargeImage);
    onClick(copyButton, &MainWindow::copyPath);
    onClick(runButton, &MainWindow::runFile);
    onClick(clipboardPictureButton, &MainWindow::showClipboardPicture);
    onClick(deleteButton, &MainWindow::deleteSelectedFile);
    onClick(desktopButton, &MainWindow::openDesktop);
    onClick(trashButton, &MainWindow::openTrash);
    for (int index = 0; index < 5; ++index)
        QObject::connect(filterButtons[index], &QPushButton::clicked, this, guarded([this, index] { filterFiles(index); }));

    auto onTrigger = [this](QAction* a, void (MainWindow::*handler)()) {
        QObject::connect(a, &QAction::triggered, this, guarded([this, handler] { (this->*handler)(); }));
    };
    onTrigger(saveAction, &MainWindow::openSaveDialog);
    onTrigger(quitAction, &MainWindow::quit);
    onTrigger(copyPictureAction, &MainWindow::copyPicture);
    onTrigger(copyPathAction, &MainWindow::copyPathFromMenu);
    onTrigger(clearClipboardAction, &MainWindow::clearClipboard);
    onTrigger(clipboardViewerAction, &MainWindow::openClipboardViewer);
    onTrigger(addFavoriteAction, &MainWindow::addFavorite);
    onTrigger(clearFavoritesAction, &MainWindow::clearFavorites);
    onTrigger(helpAction, &MainWindow::showHelp);
    onTrigger(aboutAction, &MainWindow::showAbout);
    for (int n = 1; n <= 6; ++n)
        QObject::connect(favoriteActions[n], &QAction::triggered, this, guarded([this, n] { openFavorite(n); }));
}

MousePointer MainWindow::mousePointer() const { return mouse_pointer::of(this); }

void MainWindow::setMousePointer(MousePointer pointer) { mouse_pointer::set(this, pointer); }

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Disabled while the save dialog is open: its close box must not end the
    // program under the dialog.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    guarded([&] {
        onUnload();
        event->accept();
        forms::unload(this);
    })();
}

ImageWindow& MainWindow::imageWindow() const { return *imageWindow_; }

SaveDialog* MainWindow::saveDialog() const { return forms::ifLoaded(saveDialog_.data()); }

// The windows it opened go with it.
MainWindow::~MainWindow()
{
    delete saveDialog_.data();
    delete aboutDialog_.data();
    delete imageWindow_.data();
}
