#include "forms/save/form3.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "app/forms.h"
#include "app/module1.h"
#include "forms/about/frmabout.h"
#include "forms/image/form2.h"
#include "forms/main/form1.h"
#include "forms/save/hscroll_bar.h"
#include "platform/app.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/fonts.h"
#include "platform/mouse_pointer.h"
#include "platform/placement.h"
#include "platform/run_time_error.h"
#include "platform/texts.h"
#include "platform/twips.h"
#include "resources/builtin_pictures.h"

namespace {

QLabel* label(QWidget* parent, const QString& caption)
{
    auto* l = new QLabel(caption, parent);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

// A value label: right-aligned text on its own ground, in a single-line border.
QLabel* valueLabel(QWidget* parent, const QString& caption, const QColor& ground)
{
    auto* l = new QLabel(caption, parent);
    l->setAutoFillBackground(true);
    QPalette palette = l->palette();
    palette.setColor(QPalette::Window, ground);
    l->setPalette(palette);
    l->setFrameStyle(QFrame::Box | QFrame::Plain);
    l->setLineWidth(1);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QPushButton* button(QWidget* parent, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    // Neither button answers Enter or Escape on its own.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour); // some styles draw a frame's caption in this role
    widget->setPalette(palette);
}

} // namespace

// A fixed tool window: small title bar with a close box only, not resizable.
Form3::Form3()
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("ファイルの保存"));
    setWindowIcon(builtin::programIcon());
    setFont(fonts::make(fonts::msPGothic, 9));
    setFixedSize(twips::toPixels(6315), twips::toPixels(3510));
    move(twips::toPixels(3450), twips::toPixels(2655));
    buildControls();
    connectHandlers();
}

void Form3::buildControls()
{
    Frame1 = place(new QGroupBox(QStringLiteral("プレビュー"), this), 0, 120, 3615, 3255);
    Frame1->setFont(fonts::make(fonts::msPGothic, 9, true));
    setTextColour(Frame1, Qt::red);
    Frame2 = place(new QWidget(Frame1), 120, 240, 3375, 2895);
    Image1 = new ImageControl(Frame2);
    Image1->setToolTip(QStringLiteral("画像のプレビュー"));
    Image1->Move(720, 360, 1935, 2055);

    Command2 = place(button(this, QStringLiteral("ズームイン")), 3720, 240, 1215, 255, QStringLiteral("プレビューを拡大します"));
    Command3 = place(button(this, QStringLiteral("ズームアウト")), 5040, 240, 1215, 255,
                     QStringLiteral("プレビューを縮小します"));
    Label1 = place(label(this, QStringLiteral("圧縮率")), 3720, 600, 1815, 255);
    Label1->setFont(fonts::make(fonts::msPGothic, 9, true));
    Label2 = place(label(this, QStringLiteral("（1）低解像度～（100）高解像度")), 3720, 840, 2655, 255);
    Label3 = place(valueLabel(this, QStringLiteral("50"), palette().color(QPalette::Base)), 5400, 1080, 615, 255,
                   QStringLiteral("解像度"));

    HScroll1 = place(new HScrollBar(this), 3720, 1440, 2415, 255);
    HScroll1->setRange(1, 100);
    HScroll1->setValue(50);
    HScroll1->setSingleStep(1);
    HScroll1->setPageStep(1);
    // A dragged thumb reports one change, on release.
    HScroll1->setTracking(false);
    HScroll1->setFocusPolicy(Qt::StrongFocus);

    Label7 = place(label(this, QStringLiteral("Label7")), 3720, 1800, 2535, 615);
    Label7->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label7->setWordWrap(true);
    Label6 = place(label(this, QStringLiteral("バイト数")), 3720, 2400, 2055, 255);
    Label5 = place(valueLabel(this, QString(), Qt::white), 3720, 2640, 1575, 255, QStringLiteral("バイト数"));
    Label4 = place(label(this, QStringLiteral("バイト")), 5280, 2760, 735, 255);

    Command1 = place(button(this, QStringLiteral("保存")), 3960, 3000, 975, 375, QStringLiteral("名前をつけて保存します"));
    Command4 = place(button(this, QStringLiteral("キャンセル")), 5040, 3000, 975, 375,
                     QStringLiteral("名前をつけて保存します"));

    setTabOrder(Command1, HScroll1);
    setTabOrder(HScroll1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    Command1->setFocus();
}

void Form3::connectHandlers()
{
    QObject::connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    QObject::connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    QObject::connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    QObject::connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
    QObject::connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });

    Image1->onMousePress = [this](QMouseEvent* event) {
        if (event->button() == Qt::LeftButton)
            beginDrag(event->position());
    };
    Image1->onMouseMove = [this](QMouseEvent* event) { followDrag(event->position()); };
    Image1->onMouseRelease = [this](QMouseEvent* event) {
        if (event->button() == Qt::LeftButton)
            endDrag(event->position());
    };
}

QString Form3::previewPath() { return App::Path() + QStringLiteral("/Sample.jpg"); }

// A missing preview file (the very first use) ends the loading silently with
// Label5 empty; the save command writes the first preview right after.
void Form3::Form_Load()
{
    const auto reportUnexpected = [] {
        dialogs().msgBox(QStringLiteral("予期せぬエラーが起きました"), MsgBoxStyle::Critical, QStringLiteral("予期せぬエラー"));
    };
    try {
        Label7->setText(Module1::curpath);
        quality = 50;
        Label3->setText(QString::number(quality));
        zoomstep = 1;
        Label5->setText(sizeText(FileLen(previewPath())));
        HScroll1_Change();
    } catch (const RunTimeError& error) {
        if (error.number() != RunTimeError::FileNotFound)
            reportUnexpected();
    } catch (const std::exception&) {
        reportUnexpected();
    }
}

void Form3::Command4_Click()
{
    forms::unload<Form3>();
    enableOtherWindows();
    bringMainWindowForward();
}

// The close box is one more way out and must not leave the other windows disabled.
void Form3::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (forms::loaded<Form3>() == this)
        Command4_Click();
}

void Form3::enableOtherWindows()
{
    forms::setEnabled<Form2>(true);
    forms::setEnabled<Form1>(true);
    forms::setEnabled<frmAbout>(true);
}

void Form3::bringMainWindowForward()
{
    Form1& form1 = forms::get<Form1>();
    form1.show();
    form1.raise();
    form1.activateWindow();
}

int Form3::MousePointer() const { return mouse_pointer::of(this); }

void Form3::setMousePointer(int pointer) { mouse_pointer::set(this, pointer); }
