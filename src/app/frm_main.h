#pragma once

#include "ui_frame1.h"
#include "ui_frame2.h"
#include "ui_frame3.h"
#include "ui_frame4.h"
#include "ui_frame5.h"
#include "ui_frame6.h"
#include "ui_frm_main.h"

#include <QWidget>

// The main window. Its controls are the data model: every routine reads the
// texts it needs at the moment of use and writes its results back into them.
// The tool tab is composed of one Designer form per frame: the main form holds
// an empty group box for each frame, which the frame's form fills.
class FrmMain : public QWidget
{
    Q_OBJECT

public:
    explicit FrmMain(QWidget *parent = nullptr);
    ~FrmMain() override;

private:
    Ui::FrmMain ui;
    Ui::Frame1 frame1; // 基本命令: station commands
    Ui::Frame2 frame2; // 参数设置与查询: motion parameters and queries
    Ui::Frame3 frame3; // 运动控制: motion commands and the IO table
    Ui::Frame4 frame4; // 串口设置: serial port
    Ui::Frame5 frame5; // 其他: other commands and the input indicators
    Ui::Frame6 frame6; // 高级自动控制功能: command list and sequencer
};
