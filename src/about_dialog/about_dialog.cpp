#include "about_dialog/about_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "controls/placement.h"
#include "ui/handler_guard.h"
#include "ui/forms.h"
#include "runtime/app.h"
#include "controls/fonts.h"
#include "ui/twips.h"
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

} // namespace

AboutDialog::AboutDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setWindowIcon(builtin::programIcon());
    setModal(false);
    setFixedSize(twips::toPixels(3945), twips::toPixels(3465));
    move(twips::toPixels(4965), twips::toPixels(2385));

    iconLabel = label(this, QString(), 240, 240, 510, 510);
    iconLabel->setPixmap(builtin::programIcon().pixmap(32, 32));
    iconLabel->setAlignment(Qt::AlignCenter);

    titleLabel = label(this, QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ"), 840, 240, 2805, 480);
    titleLabel->setFont(fonts::make(fonts::msPGothic, 15.75, true, true));
    setTextColour(titleLabel, QColor(255, 0, 0));

    versionLabel = label(this, QStringLiteral("ﾊﾞｰｼﾞｮﾝ"), 240, 840, 3525, 225);
    descriptionLabel = label(this, QStringLiteral("簡易画像ビュアー＆JPEG圧縮"), 240, 1125, 3525, 570);
    descriptionLabel->setWordWrap(true);
    setTextColour(descriptionLabel, Qt::black);

    makerLabel = label(this, QStringLiteral("© 2026 きり工房"), 720, 2160, 3135, 255);
    makerLabel->setFont(fonts::make(fonts::msPGothic, 9, true, true));
    setTextColour(makerLabel, QColor(0, 0, 0xC0));

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setGeometry(twips::toPixels(1200, 2760, 1310, 345));
    okButton->setDefault(true);
    okButton->setAutoDefault(true);
    okButton->setFocus();
    QObject::connect(okButton, &QPushButton::clicked, this, guarded([this] { dismiss(); }));
}

void AboutDialog::onLoad()
{
    setWindowTitle(App::Title + QStringLiteral("のﾊﾞｰｼﾞｮﾝ情報"));
    versionLabel->setText(QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + QString::number(App::Major) + QLatin1Char('.')
                        + QString::number(App::Minor) + QLatin1Char('.') + QString::number(App::Revision));
    titleLabel->setText(App::Title);
}

void AboutDialog::dismiss() { forms::unload(this); }

// Escape closes the dialog as OK does.
void AboutDialog::reject() { dismiss(); }

void AboutDialog::closeEvent(QCloseEvent* event)
{
    event->accept();
    forms::unload(this);
}

// The etched separator: a grey line one pixel high with a white one two
// pixels high right below it. Filled as pixel rows: a two-pixel pen would be
// centred on its line and paint over the grey one.
void AboutDialog::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    QPainter painter(this);
    const int greyLeft = twips::toPixels(90), whiteLeft = twips::toPixels(105), right = twips::toPixels(3720);
    painter.fillRect(QRect(QPoint(greyLeft, twips::toPixels(2445)), QPoint(right, twips::toPixels(2445))),
                     QColor(0x80, 0x80, 0x80));
    painter.fillRect(QRect(QPoint(whiteLeft, twips::toPixels(2460)), QPoint(right, twips::toPixels(2460) + 1)), Qt::white);
}
