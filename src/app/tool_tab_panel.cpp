// The manual send panel: hex bytes typed by hand, their CRC and LRC, sent raw or
// framed; plain text sent as its GBK bytes; conversions between text and hex.
#include "tool_tab.h"

#include "ui_tool_tab.h"

#include "codec/checksum.h"
#include "codec/gbk.h"
#include "codec/hex_text.h"
#include "device/frame.h"

void ToolTab::connectPanel()
{
    connect(ui->Command1, &QPushButton::clicked, this, &ToolTab::Command1_Click);
    connect(ui->Command8, &QPushButton::clicked, this, &ToolTab::Command8_Click);
    connect(ui->Command2, &QPushButton::clicked, this, &ToolTab::Command2_Click);
    connect(ui->Command3, &QPushButton::clicked, this, &ToolTab::Command3_Click);
    connect(ui->Command9, &QPushButton::clicked, this, &ToolTab::Command9_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &ToolTab::Command4_Click);
    connect(ui->Command10, &QPushButton::clicked, this, &ToolTab::Command10_Click);
    connect(ui->Command11, &QPushButton::clicked, this, &ToolTab::Command11_Click);
    connect(ui->Command37, &QPushButton::clicked, this, &ToolTab::Command37_Click);
    connect(ui->Command5, &QPushButton::clicked, this, &ToolTab::Command5_Click);
    connect(ui->Command56, &QPushButton::clicked, this, &ToolTab::Command56_Click);
    // The ">" buttons beside the four send buttons put the next frame into the list.
    const std::pair<QPushButton *, void (ToolTab::*)()> adds[] = {
            {ui->Command77, &ToolTab::Command10_Click},
            {ui->Command78, &ToolTab::Command37_Click},
            {ui->Command79, &ToolTab::Command1_Click},
            {ui->Command80, &ToolTab::Command11_Click},
    };
    for (const auto &add : adds) {
        const auto handler = add.second;
        connect(add.first, &QPushButton::clicked, this,
                [this, handler] { addThenRun(false, [this, handler] { (this->*handler)(); }); });
    }
}

// The common path of the three hex send buttons: nothing to send drops a pending
// add-to-list request; otherwise the frame is listed on request and sent.
void ToolTab::sendManual(const std::function<QByteArray(const QByteArray &)> &frameOf)
{
    const QByteArray payload = ParseHexText(ui->Text1->text());
    if (payload.isEmpty()) {
        AddToListRequest = false;
        return;
    }
    const QByteArray frame = frameOf(payload);
    honourListRequest(frame);
    SendFrame(frame);
}

void ToolTab::honourListRequest(const QByteArray &frame)
{
    if (std::exchange(AddToListRequest, false))
        addListLine(FormatHexText(frame));
}

void ToolTab::Command1_Click()
{
    sendManual([](const QByteArray &payload) { return payload; });
}

void ToolTab::Command11_Click()
{
    sendManual([](const QByteArray &payload) { return frameRtu(payload); });
}

void ToolTab::Command10_Click()
{
    sendManual([](const QByteArray &payload) { return frameAscii(payload); });
}

void ToolTab::Command37_Click()
{
    const QString text = ui->Text5->text();
    if (text.isEmpty()) {
        AddToListRequest = false;
        return;
    }
    // One byte per ASCII character, the two GBK bytes of a Chinese one.
    const GbkBytes gbk = toGbk(text);
    if (!gbk.valid) {
        AddToListRequest = false;
        showMessage(gbkMissingMessage());
        return;
    }
    honourListRequest(gbk.bytes);
    SendFrame(gbk.bytes);
}

void ToolTab::Command8_Click()
{
    const QByteArray payload = ParseHexText(ui->Text1->text());
    if (payload.isEmpty())
        return;
    const QString crc = CommSetting::CalcCrc(payload);
    ui->Text2->setText(crc.left(2));
    ui->Text3->setText(crc.mid(2));
}

void ToolTab::Command2_Click()
{
    if (ParseHexText(ui->Text1->text()).isEmpty())
        return;
    Command8_Click();
    const QString low = ui->Text2->text();
    ui->Text2->setText(ui->Text3->text());
    ui->Text3->setText(low);
}

void ToolTab::Command3_Click()
{
    ui->Text1->setText(ui->Text1->text() + u' ' + ui->Text2->text() + u' ' + ui->Text3->text());
}

void ToolTab::Command9_Click()
{
    const quint8 lrc = CommSetting::CalcLrc(ParseHexText(ui->Text1->text()));
    ui->Text4->setText(QString::number(lrc, 16).toUpper());
}

void ToolTab::Command4_Click()
{
    ui->Text1->setText(ui->Text1->text() + u' ' + ui->Text4->text());
}

void ToolTab::Command5_Click()
{
    if (!gbkAvailable()) {
        showMessage(gbkMissingMessage());
        return;
    }
    ui->Text1->setText(StringToHexText(ui->Text5->text()));
}

void ToolTab::Command56_Click()
{
    if (!gbkAvailable()) {
        showMessage(gbkMissingMessage());
        return;
    }
    ui->Text5->setText(HexTextToString(ui->Text1->text().remove(u' ')));
}
