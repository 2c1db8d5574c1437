#include "frm_main.h"

FrmMain::FrmMain(QWidget *parent)
    : QWidget(parent)
{
    ui.setupUi(this);
    frame1.setupUi(ui.Frame1);
    frame2.setupUi(ui.Frame2);
    frame3.setupUi(ui.Frame3);
    frame4.setupUi(ui.Frame4);
    frame5.setupUi(ui.Frame5);
    frame6.setupUi(ui.Frame6);
}

FrmMain::~FrmMain() = default;
