// The floor of the start-up benchmark: the window's first view built from the same forms
// as stepperbench builds it (the main form, the tool tab with its six frames, the other
// tabs' forms and pages, the window fitted to the screen), with no core, no simulated
// controller and no logic behind any control. Reports its whole first paint and quits, as
// `stepperbench --quit-when-shown` does; what the program takes beyond this is the cost of
// its own work at start.
#include "first_paint.h"

#include "ui_exchange_tab.h"
#include "ui_frame1.h"
#include "ui_frame2.h"
#include "ui_frame3.h"
#include "ui_frame4.h"
#include "ui_frame5.h"
#include "ui_frame6.h"
#include "ui_frm_main.h"
#include "ui_motion_tab.h"
#include "ui_product_page.h"
#include "ui_scan_tab.h"
#include "ui_simulator_page.h"
#include "ui_test_tab.h"
#include "ui_tool_tab.h"

#include <QApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#ifdef STEPPERBENCH_FONTCONFIG
#include <fontconfig/fontconfig.h>

#include <future>
#endif

namespace {

template<typename Form>
QWidget *page(Form &form)
{
    auto *widget = new QWidget;
    form.setupUi(widget);
    return widget;
}

QWidget *helpPage()
{
    auto *widget = new QWidget;
    (new QVBoxLayout(widget))->addWidget(new QTextBrowser(widget));
    return widget;
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef STEPPERBENCH_FONTCONFIG
    // As the program does: the font configuration read while the display is connected.
    std::future<void> fontsRead = std::async(std::launch::async, [] { FcInit(); });
#endif
    QApplication app(argc, argv);
#ifdef STEPPERBENCH_FONTCONFIG
    fontsRead.wait();
#endif
    QWidget window;
    Ui::FrmMain main;
    main.setupUi(&window);

    Ui::ToolTab tool;
    Ui::Frame1 frame1;
    Ui::Frame2 frame2;
    Ui::Frame3 frame3;
    Ui::Frame4 frame4;
    Ui::Frame5 frame5;
    Ui::Frame6 frame6;
    QWidget *toolTab = page(tool);
    frame1.setupUi(tool.Frame1);
    frame2.setupUi(tool.Frame2);
    frame3.setupUi(tool.Frame3);
    frame4.setupUi(tool.Frame4);
    frame5.setupUi(tool.Frame5);
    frame6.setupUi(tool.Frame6);

    Ui::ProductPage product;
    Ui::SimulatorPage simulator;
    Ui::ExchangeTab exchange;
    Ui::MotionTab motion;
    Ui::ScanTab scan;
    Ui::TestTab test;
    const std::pair<QWidget *, const char *> tabs[] = {{page(product), "StepperBench"},
                                                       {page(simulator), "模拟控制器"},
                                                       {toolTab, "调试"},
                                                       {helpPage(), "高级功能帮助"},
                                                       {helpPage(), "通讯协议"},
                                                       {page(exchange), "通讯记录"},
                                                       {page(motion), "运动曲线"},
                                                       {page(scan), "设备扫描"},
                                                       {page(test), "测试"}};
    for (const auto &[tab, title] : tabs)
        main.SSTab1->addTab(tab, QString::fromUtf8(title));
    main.SSTab1->setCurrentWidget(toolTab);

    // Fitted to the screen as the program fits its window: innermost layouts first.
    const QList<QWidget *> widgets = window.findChildren<QWidget *>();
    for (auto widget = widgets.crbegin(); widget != widgets.crend(); ++widget) {
        if (QLayout *inner = (*widget)->layout())
            inner->activate();
    }
    window.layout()->activate();
    const QSize room = window.screen()->availableGeometry().size() * 0.95;
    window.resize(window.sizeHint().boundedTo(room).expandedTo(window.minimumSizeHint()));

    FirstPaint firstPaint;
    window.installEventFilter(&firstPaint);
    window.show();
    return app.exec();
}
