#include "forms/about/frmabout.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "app/forms.h"
#include "platform/app.h"
#include "platform/fonts.h"
#include "platform/twips.h"
#include "resources/builtin_pictures.h"

namespace {

QLabel* label(QWidget* parent, const QString& text, int left, int top, int width, int height)
{
    auto* l = new QLabel(text, parent);
    l->setGeometry(twips::toPixels(left, top, width, height));
    // Captions start at the top-left corner of their box, not its middle.
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

} // namespace

frmAbout::frmAbout()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(builtin::programIcon());
    setModal(false);
    setFixedSize(twips::toPixels(3945), twips::toPixels(3465));
    move(twips::toPixels(4965), twips::toPixels(2385));

    picIcon = label(this, QString(), 240, 240, 510, 510);
    picIcon->setPixmap(builtin::programIcon().pixmap(32, 32));
    picIcon->setAlignment(Qt::AlignCenter);

    lblTitle = label(this, QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ"), 840, 240, 2805, 480);
    lblTitle->setFont(fonts::make(fonts::msPGothic, 15.75, true, true));
    setTextColour(lblTitle, QColor(255, 0, 0));

    lblVersion = label(this, QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), 240, 840, 3525, 225);
    lblDescription = label(this, QStringLiteral("簡易画像ビュアー＆JPEG圧縮"), 240, 1125, 3525, 570);
    lblDescription->setWordWrap(true);
    setTextColour(lblDescription, Qt::black);

    Label1 = label(this, QStringLiteral("© 2026 きり工房"), 720, 2160, 3135, 255);
    Label1->setFont(fonts::make(fonts::msPGothic, 9, true, true));
    setTextColour(Label1, QColor(0, 0, 0xC0));

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setGeometry(twips::toPixels(1200, 2760, 1310, 345));
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    cmdOK->setFocus();
    QObject::connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
}

void frmAbout::Form_Load()
{
    setWindowTitle(App::Title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    lblVersion->setText(QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::number(App::Major) + QLatin1Char('.')
                        + QString::number(App::Minor) + QLatin1Char('.') + QString::number(App::Revision));
    lblTitle->setText(App::Title);
}

void frmAbout::cmdOK_Click() { forms::unload<frmAbout>(); }

// Escape closes the dialog as OK does.
void frmAbout::reject() { cmdOK_Click(); }

void frmAbout::closeEvent(QCloseEvent* event)
{
    event->accept();
    forms::unload<frmAbout>();
}

// The etched separator: a grey line one pixel high with a white one two
// pixels high right below it. Filled as pixel rows: a two-pixel pen would be
// centred on its line and paint over the grey one.
void frmAbout::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    const int greyLeft = twips::toPixels(90), whiteLeft = twips::toPixels(105), right = twips::toPixels(3720);
    painter.fillRect(QRect(QPoint(greyLeft, twips::toPixels(2445)), QPoint(right, twips::toPixels(2445))),
                     QColor(0x80, 0x80, 0x80));
    painter.fillRect(QRect(QPoint(whiteLeft, twips::toPixels(2460)), QPoint(right, twips::toPixels(2460) + 1)), Qt::white);
}
