// The panel on small screens, dark palettes, larger fonts and the keyboard.

#include "UartNetAssist.h"
#include "ui_UartNetAssist.h"

#include "desktopfit.h"

#include <QEvent>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>

#include <functional>

namespace {

// Redoes what the form's retranslation and a palette change do not know about.
class PanelRefresh : public QObject
{
public:
    PanelRefresh(QObject* panel, std::function<void()> texts, std::function<void()> colours)
        : QObject(panel)
        , texts(std::move(texts))
        , colours(std::move(colours))
    {
        panel->installEventFilter(this);
        this->texts();
        this->colours();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::LanguageChange)
            texts();
        else if (event->type() == QEvent::PaletteChange)
            colours();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> texts;
    std::function<void()> colours;
};

} // namespace

void UartNetAssist::setupDesktopFit()
{
    // The settings column scrolls instead of setting the panel's (and so the window's)
    // minimum height, which with every group open is taller than a laptop screen.
    auto* column = new QWidget;
    column->setObjectName(QStringLiteral("settingsColumn"));
    ui->horizontalLayout_main->removeItem(ui->verticalLayout_left);
    column->setLayout(ui->verticalLayout_left);
    ui->verticalLayout_left->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("settingsScrollArea"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(column);
    scroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    ui->horizontalLayout_main->insertWidget(0, scroll, 0);
    auto fitWidth = [scroll, column]() {
        // Room for the column's widest row and the scroll bar beside it.
        const int bar = scroll->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
        scroll->setMinimumWidth(column->minimumSizeHint().width() + bar);
    };
    fitWidth();

    // Fixed backgrounds get a text colour that reads on them, whatever the palette.
    ui->remote_addr_widget->setStyleSheet(
        ui->remote_addr_widget->styleSheet()
        + desktopfit::colourRule("color", desktopfit::textColourOn(QColor(214, 214, 214))));

    // The history box is as wide as its placeholder needs, not a fixed 80 pixels.
    ui->send_history->setMaximumWidth(QWIDGETSIZE_MAX);
    ui->send_history->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);

    auto* sendKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), ui->send_text, nullptr, nullptr,
                                  Qt::WidgetShortcut);
    auto* sendPadKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Enter), ui->send_text, nullptr, nullptr,
                                     Qt::WidgetShortcut);
    for (QShortcut* key : {sendKey, sendPadKey}) {
        connect(key, &QShortcut::activated, this, [this]() {
            if (ui->btn_send->isEnabled())
                ui->btn_send->click();
        });
    }

    auto texts = [this, fitWidth]() {
        const QString keys = QKeySequence(Qt::CTRL | Qt::Key_Return).toString(QKeySequence::NativeText);
        ui->btn_send->setToolTip(tr("Send the box's content (%1)").arg(keys));
        ui->send_history->setMinimumContentsLength(ui->send_history->placeholderText().size() + 2);
        fitWidth();
    };
    auto colours = [this]() {
        const QColor green = desktopfit::statusColour(QColor(0, 116, 0), palette());
        ui->btn_send->setStyleSheet(desktopfit::colourRule("color", green));
    };
    new PanelRefresh(this, texts, colours);
}
