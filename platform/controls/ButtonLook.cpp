#include "platform/controls/ButtonLook.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <qdrawutil.h>

namespace orvela {

namespace {

/// The platform style, with a down button pressed into the face: dark edges above and left, light ones
/// below and right. The platform's own down look is a flat grey with an even frame.
class ButtonLookStyle final : public QProxyStyle {
public:
    ButtonLookStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_FrameTabBarBase)
            return; // flat buttons stand on the page control's face, with no line under them
        if (element == PE_PanelButtonTool && (option->state & (State_On | State_Sunken))) {
            DrawSunken(*option, *painter);
            return;
        }
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_TabBarTabShape) {
            if (option->state & State_Selected)
                DrawSunken(*option, *painter);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    static void DrawSunken(const QStyleOption& option, QPainter& painter)
    {
        const QBrush face = option.palette.brush(QPalette::Button);
        qDrawWinPanel(&painter, option.rect, option.palette, true, &face);
    }
};

/// One for the program, living as long as the application, after every window.
QStyle* ButtonLook()
{
    static QPointer<ButtonLookStyle> style;
    if (!style) {
        style = new ButtonLookStyle;
        style->setParent(qApp);
    }
    return style;
}

} // namespace

void DrawTabsAsFlatButtons(QTabWidget& pages)
{
    pages.tabBar()->setStyle(ButtonLook());
}

void DrawDownAsSunken(QToolButton& button)
{
    button.setStyle(ButtonLook());
}

} // namespace orvela
