// The command list: lines added and removed, the run loop that replays it on
// Timer2, list files, and the IO replacement table stored in the controller.
#include "tool_tab.h"

#include "ui_frame3.h"
#include "ui_frame6.h"
#include "ui_tool_tab.h"

#include "codec/hex_text.h"
#include "device/frame.h"
#include "device/leading_number.h"
#include "dialogs.h"
#include "session/link_session.h"
#include "session/run_driver.h"
#include "sequencer/io_table.h"
#include "sequencer/list_file.h"
#include "sequencer/list_line.h"
#include "sequencer/run_loop.h"
#include "util/error_text.h"

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>

namespace {

// The delay box keeps its value within what a delay line may ask for.
constexpr double minDelayMs = 50;
constexpr double maxDelayMs = 60000;

} // namespace

void ToolTab::connectList()
{
    connect(frame6->Command34, &QPushButton::clicked, this, &ToolTab::Command34_Click);
    connect(frame6->Command35, &QPushButton::clicked, this, &ToolTab::Command35_Click);
    connect(frame6->Command54, &QPushButton::clicked, this, &ToolTab::Command54_Click);
    connect(frame6->Command55, &QPushButton::clicked, this, &ToolTab::Command55_Click);
    connect(frame6->Check1, &QCheckBox::toggled, this, &ToolTab::Check1_Click);
    // The list as it stands at each tick, sent through SendFrame; a line that
    // stalled, or has not taken what it was given, holds the run where it is.
    const QListWidget *list = frame6->List1;
    m_run = new RunDriver(
            {[list] { return list->count(); }, [list](int i) { return list->item(i)->text(); }},
            [this](const QByteArray &frame) { return SendFrame(frame); },
            [this] { return runInterval(readLeadingNumber(frame6->Text22->text(), NumberBase::Decimal)); },
            [this] { return m_context.session->lineBusy(); }, this);
    m_run->timer().setObjectName(QStringLiteral("Timer2"));
    m_run->setLineVariable(&SequencerLine);
    // A change made by the program is checked at once; typing or pasting into
    // the box is checked when the box is left or Enter is pressed, so that
    // "1000" can be typed digit by digit.
    connect(frame6->Text20, &QLineEdit::textChanged, this, [this] {
        if (!frame6->Text20->hasFocus())
            Text20_Change();
    });
    connect(frame6->Text20, &QLineEdit::editingFinished, this, &ToolTab::Text20_Change);

    // The right button opens the menu and leaves the selection alone, so that
    // "删除" removes the line the user selected.
    frame6->List1->viewport()->installEventFilter(this);
    frame6->List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(frame6->List1, &QListWidget::customContextMenuRequested, this,
            [this](QPoint pos) { MenuCMD->popup(frame6->List1->viewport()->mapToGlobal(pos)); });
    connect(DelectList, &QAction::triggered, this, &ToolTab::DelectList_Click);
    connect(DelectAll, &QAction::triggered, this, &ToolTab::DelectAll_Click);

    connect(frame3->Command81, &QPushButton::clicked, this, &ToolTab::Command81_Click);
    connect(frame3->Command88, &QPushButton::clicked, this, &ToolTab::Command88_Click);
}

bool ToolTab::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == frame6->List1->viewport()
        && (event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::MouseButtonDblClick)
        && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool ToolTab::addListLine(const QString &line)
{
    if (frame6->List1->count() >= maxListLines) {
        showMessage(tr("命令列表已满（最多 %1 行），未添加。").arg(maxListLines));
        return false;
    }
    frame6->List1->addItem(line);
    return true;
}

// --- Editing ---------------------------------------------------------------

void ToolTab::Command34_Click()
{
    Text20_Change(); // a value pasted a moment ago is kept in range too
    addListLine(QStringLiteral("Delay:") + frame6->Text20->text());
}

void ToolTab::Command35_Click()
{
    addListLine(QStringLiteral("GoIdx:") + frame6->Text21->text());
}

void ToolTab::Text20_Change()
{
    const double value = readLeadingNumber(frame6->Text20->text(), NumberBase::Decimal);
    if (value > maxDelayMs)
        frame6->Text20->setText(QStringLiteral("60000"));
    else if (value < minDelayMs)
        frame6->Text20->setText(QStringLiteral("50"));
}

void ToolTab::DelectList_Click()
{
    QListWidget *list = frame6->List1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected()) {
            delete list->takeItem(i);
            // Qt selects the line that moves up into the place; a second
            // "删除" must not remove a line the user never chose.
            list->selectionModel()->clear();
            return;
        }
    }
}

void ToolTab::DelectAll_Click()
{
    frame6->List1->clear();
}

// --- Run loop --------------------------------------------------------------

void ToolTab::Check1_Click()
{
    if (!frame6->Check1->isChecked()) {
        m_run->stop();
        frame6->Text22->setEnabled(true);
        return;
    }
    const std::optional<int> interval = runInterval(
            readLeadingNumber(frame6->Text22->text(), NumberBase::Decimal));
    if (!interval) {
        showMessage(tr("间隔“%1”超出范围：请输入 0 到 %2 毫秒。")
                            .arg(frame6->Text22->text())
                            .arg(maxRunInterval));
        frame6->Check1->setChecked(false);
        return;
    }
    frame6->Text22->setEnabled(false);
    m_run->start(*interval);
}

void ToolTab::Timer2_Timer()
{
    m_run->step();
}

// --- Files -----------------------------------------------------------------

void ToolTab::Command54_Click()
{
    const QString path = m_context.dialogs->openFileName(this, tr("打开文件"),
                                                         tr("txt文件(*.txt);;所有文件(*.*)"));
    if (path.isEmpty())
        return;
    if (!FileExists(path)) {
        showMessage(tr("文件名无效,请重新打开!"));
        return;
    }
    LoadListFile(path);
}

void ToolTab::LoadListFile(const QString &path)
{
    if (path.isEmpty())
        return;
    // Read before the list is touched: a file that cannot be read leaves the
    // list as it was.
    const Result<ListFileContent> content = readListFile(path, maxListLines);
    if (!content) {
        showMessage(tr("无法读取文件 %1：%2").arg(path, content.error()));
        return;
    }
    frame6->List1->clear();
    frame6->List1->addItems(content->lines);
    rememberListFolder(path);
    if (content->truncated) {
        showMessage(tr("文件 %1 超过 %2 行，只读入了前 %2 行。").arg(path).arg(maxListLines));
    }
}

void ToolTab::Command55_Click()
{
    const QString path = m_context.dialogs->saveFileName(this, tr("保存文件"),
                                                         tr("TXT文件(*.TXT);;所有文件(*.*)"));
    if (path.isEmpty())
        return;
    const bool exists = FileExists(path);
    if (exists && !m_context.dialogs->question(this, tr("文件保存"), tr("是否覆盖文件？")))
        return;

    QStringList lines;
    bool anyLine = false;
    for (int i = 0; i < frame6->List1->count(); ++i) {
        lines << frame6->List1->item(i)->text();
        anyLine = anyLine || !lines.back().isEmpty();
    }
    if (!anyLine) {
        // An empty list saved over a file leaves no file.
        QFile file(path);
        if (exists && !file.remove())
            showMessage(tr("无法删除文件 %1：%2").arg(path, fileErrorText(file, true)));
        return;
    }
    if (const Status saved = writeListFile(path, lines); !saved)
        showMessage(tr("无法保存文件 %1：%2。原文件保持不变。").arg(path, saved.error()));
    else
        rememberListFolder(path);
}

void ToolTab::rememberListFolder(const QString &path)
{
    setListFolder(QFileInfo(path).absolutePath());
}

void ToolTab::setListFolder(const QString &folder)
{
    m_listFolder = folder;
    m_context.dialogs->setFolder(m_listFolder);
}

// --- IO replacement table --------------------------------------------------

std::optional<quint8> ToolTab::stationInBox() const
{
    const std::optional<qint64> address = readField(ui->Text23->text(), NumberBase::Hexadecimal,
                                                    ByteField);
    return address ? std::optional(quint8(*address)) : std::nullopt;
}

std::optional<quint8> ToolTab::stationAddress()
{
    const std::optional<quint8> address = stationInBox();
    if (!address) {
        showMessage(fieldErrorMessage(
                FieldError{addressBox, ui->Text23->text(), NumberBase::Hexadecimal, ByteField}));
    }
    return address;
}

void ToolTab::Command81_Click()
{
    const QString text = frame3->Text31->text();
    if (text.isEmpty())
        return;
    const QByteArray command = ParseHexText(text);
    if (command.size() > maxIoCommandBytes) {
        showMessage(tr("IO 命令有 %1 个字节，一条 IO 取代命令最多 %2 个字节，未下载。")
                            .arg(command.size())
                            .arg(maxIoCommandBytes));
        return;
    }
    const std::optional<quint8> address = stationAddress();
    if (!address)
        return;
    // The table is always downloaded as an RTU frame.
    SendFrame(
            frameRtu(ioDownloadPayload(*address, ioCode(frame3->Combo8->currentText()), command)));
}

void ToolTab::Command88_Click()
{
    const std::optional<quint8> address = stationAddress();
    if (!address)
        return;
    const QByteArray payload = ioQueryPayload(*address, ioCode(frame3->Combo8->currentText()));
    SendFrame(frameRequest(payload, mode()));
}
