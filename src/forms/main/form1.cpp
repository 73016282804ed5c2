#include "forms/main/form1.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include "app/forms.h"
#include "platform/dir_list_box.h"
#include "platform/drive_list_box.h"
#include "platform/file_list_box.h"
#include "platform/fonts.h"
#include "platform/mouse_pointer.h"
#include "platform/placement.h"
#include "platform/twips.h"
#include "resources/builtin_pictures.h"

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

Form1::Form1()
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

    // Not resizable and no maximise button: the size is the client area plus the menu bar.
    setFixedSize(client->width(), client->height() + menuBar()->sizeHint().height());
    move(twips::toPixels(4470), twips::toPixels(2880));
}

void Form1::buildControls(QWidget* client)
{
    Drive1 = place(new DriveListBox(client), 2760, 1200, 1575, 300, QStringLiteral("ドライブを選択します"));
    Dir1 = place(new DirListBox(client), 2760, 1560, 2055, 1140, QStringLiteral("ダブルクリックでフォルダを選択"));
    File1 = place(new FileListBox(client), 120, 480, 2535, 2250, QStringLiteral("クリックでファイルを選択"));
    Command1 = place(button(client, QStringLiteral("画像を閉じる"), true), 120, 3120, 1095, 375,
                     QStringLiteral("画像を閉じます"));
    Command2 = place(button(client, QStringLiteral("画像を拡大"), true), 1320, 3120, 1095, 375,
                     QStringLiteral("画像を拡大します"));

    Label1 = place(new QLabel(QStringLiteral("© きり工房"), client), 3720, 3240, 1335, 255);
    Label1->setFont(tableFont());
    QPalette highlight = Label1->palette();
    highlight.setColor(QPalette::WindowText, highlight.color(QPalette::Highlight));
    Label1->setPalette(highlight);

    Command3[0] = place(button(client, QStringLiteral("BMP"), false), 2760, 480, 615, 255, QStringLiteral("BMPを表示します"));
    Command3[1] = place(button(client, QStringLiteral("JPG"), false), 3480, 480, 615, 255,
                        QStringLiteral("JPGファイルを表示します"));
    Command3[2] = place(button(client, QStringLiteral("GIF"), false), 2760, 840, 615, 255,
                        QStringLiteral("GIFファイルを表示します"));
    Command3[3] = place(button(client, QStringLiteral("ALL"), false), 3480, 840, 615, 255,
                        QStringLiteral("GIF　JPG　BMP　KIR　全て表示します"));
    Command3[3]->setEnabled(false);

    Text1 = place(new QLineEdit(QStringLiteral("FileName"), client), 120, 120, 3495, 270,
                  QStringLiteral("ファイルネームを表示します"));
    Command4 = place(button(client, QStringLiteral("copy"), true), 3720, 120, 495, 255,
                     QStringLiteral("ファイルネームをコピーします"));
    Command3[4] = place(button(client, QStringLiteral("KIR"), false), 4200, 480, 615, 255,
                        QStringLiteral("KIRファイルを表示します"));
    Command5 = place(button(client, QStringLiteral("実行"), true), 4320, 120, 495, 255, QStringLiteral("ファイルを実行します"));
    Command6 = place(button(client, QStringLiteral("クリップ画像"), true), 2520, 3120, 1095, 375,
                     QStringLiteral("クリップボードに画像をコピーします"));
    Command7 = place(button(client, QStringLiteral("削除"), true), 4200, 840, 615, 255, QStringLiteral("ファイルを削除します"));
    Command8 = place(pictureButton(client, builtin::desktopPicture()), 4320, 1200, 255, 255,
                     QStringLiteral("デスクトップの表示"));

    Label2 = place(valueLabel(client), 840, 2760, 1800, 240);
    // Its left edge lies outside the window; only the right-aligned text shows.
    Label3 = place(captionLabel(client, QStringLiteral("作成日時")), -240, 2760, 1095, 255);
    Label4 = place(captionLabel(client, QStringLiteral("サイズ")), 2040, 2760, 1095, 255);
    Label5 = place(valueLabel(client), 3120, 2760, 1275, 240);
    Label6 = place(captionLabel(client, QStringLiteral("バイト")), 4200, 2760, 615, 255);
    Command9 = place(pictureButton(client, builtin::trashPicture()), 4560, 1200, 255, 255, QStringLiteral("ゴミ箱を見る"));

    // Later controls are stacked above earlier ones; the value labels must
    // stay above the caption labels that overlap them.
    Label2->raise();
    Label5->raise();

    QWidget* order[] = {Drive1,      Dir1,     File1,       Command1, Command2, Command3[0], Command3[1], Command3[2],
                        Command3[3], Text1,    Command4,    Command3[4], Command5, Command6, Command7, Command8,
                        Command9};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void Form1::buildMenus()
{
    QMenuBar* bar = menuBar();
    mnufile = bar->addMenu(QStringLiteral("ファイル(&F)"));
    mnusave = mnufile->addAction(QStringLiteral("保存(&S)"));
    mnuend = mnufile->addAction(QStringLiteral("終了(&X)"));

    mnuedit = bar->addMenu(QStringLiteral("編集(&E)"));
    mnugazoc = mnuedit->addAction(QStringLiteral("画像をコピー(&C)"));
    mnupassc = mnuedit->addAction(QStringLiteral("パスをコピー(&P)"));
    mnucliclear = mnuedit->addAction(QStringLiteral("クリップクリア(&Y)"));
    mnuviewclip = mnuedit->addAction(QStringLiteral("クリップボードビュアー(&Z)"));

    mnuokini = bar->addMenu(QStringLiteral("お気に入り(&O)"));
    mnuokiniplus = mnuokini->addAction(QStringLiteral("追加(&G)"));
    mnuokiniclear = mnuokini->addAction(QStringLiteral("全てクリア(&N)"));
    mnuokiniclear->setEnabled(false);
    mnuborder = mnuokini->addSeparator();
    for (int n = 1; n <= 6; ++n) {
        mnurec[n] = mnuokini->addAction(QString());
        mnurec[n]->setVisible(false);
    }

    mnuwindow = bar->addMenu(QStringLiteral("ウィンドウ(&W)"));
    mnuhelp = mnuwindow->addAction(QStringLiteral("ヘルプ(&H)"));
    mnuver = mnuwindow->addAction(QStringLiteral("バージョン情報(&V)"));
}

void Form1::connectHandlers()
{
    Drive1->onChange = [this] { Drive1_Change(); };
    Dir1->onChange = [this] { Dir1_Change(); };
    File1->onClick = [this] { File1_Click(); };

    auto onClick = [this](QPushButton* b, void (Form1::*handler)()) {
        QObject::connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    onClick(Command1, &Form1::Command1_Click);
    onClick(Command2, &Form1::Command2_Click);
    onClick(Command4, &Form1::Command4_Click);
    onClick(Command5, &Form1::Command5_Click);
    onClick(Command6, &Form1::Command6_Click);
    onClick(Command7, &Form1::Command7_Click);
    onClick(Command8, &Form1::Command8_Click);
    onClick(Command9, &Form1::Command9_Click);
    for (int index = 0; index < 5; ++index)
        QObject::connect(Command3[index], &QPushButton::clicked, this, [this, index] { Command3_Click(index); });

    auto onTrigger = [this](QAction* a, void (Form1::*handler)()) {
        QObject::connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    onTrigger(mnusave, &Form1::mnusave_Click);
    onTrigger(mnuend, &Form1::mnuend_Click);
    onTrigger(mnugazoc, &Form1::mnugazoc_Click);
    onTrigger(mnupassc, &Form1::mnupassc_Click);
    onTrigger(mnucliclear, &Form1::mnucliclear_Click);
    onTrigger(mnuviewclip, &Form1::mnuviewclip_Click);
    onTrigger(mnuokiniplus, &Form1::mnuokiniplus_Click);
    onTrigger(mnuokiniclear, &Form1::mnuokiniclear_Click);
    onTrigger(mnuhelp, &Form1::mnuhelp_Click);
    onTrigger(mnuver, &Form1::mnuver_Click);
    for (int n = 1; n <= 6; ++n)
        QObject::connect(mnurec[n], &QAction::triggered, this, [this, n] { mnurec_Click(n); });
}

int Form1::MousePointer() const { return mouse_pointer::of(this); }

void Form1::setMousePointer(int pointer) { mouse_pointer::set(this, pointer); }

void Form1::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
    forms::unload<Form1>();
}
