// The command buttons of the six frames: one catalogue of commands, one
// completion path; and the tab's texts in the window's language.
#include "tool_tab.h"

#include "session/link_session.h"

#include "ui_frame1.h"
#include "ui_frame2.h"
#include "ui_frame3.h"
#include "ui_frame4.h"
#include "ui_frame5.h"
#include "ui_frame6.h"
#include "ui_tool_tab.h"

#include "codec/hex_text.h"
#include "device/command_set.h"
#include "device/leading_number.h"
#include "exchange/exchange_monitor.h"
#include "traffic/reply_decoder.h"

#include <QEvent>
#include <QMenu>

#include <utility>

// --- Command buttons ------------------------------------------------------

void ToolTab::resolveControls()
{
    // Every control the command tables name, found once: a misspelt name stops
    // the program here, in any build, instead of sending 0 from a box that
    // reads as empty.
    // One walk over the window's widgets, then a lookup per name.
    QHash<QString, QWidget *> byName;
    for (QWidget *widget : findChildren<QWidget *>()) {
        if (!widget->objectName().isEmpty() && !byName.contains(widget->objectName()))
            byName.insert(widget->objectName(), widget);
    }
    const auto resolve = [&](const char *name) {
        if (!name || m_controls.contains(name))
            return;
        QWidget *control = byName.value(QLatin1String(name));
        if (!control)
            qFatal("ToolTab: the command tables name a control \"%s\" that the window lacks", name);
        m_controls.insert(name, control);
    };
    resolve(addressBox);
    for (const CommandSpec &command : commandCatalogue()) {
        resolve(command.button);
        resolve(command.valueBox);
        resolve(command.directionBox);
    }
    for (const AddButton &add : addButtons())
        resolve(add.button);
    for (const CommandInfo &row : commandSet())
        resolve(row.valueBox);
    for (const char *shape : indicatorShapes())
        resolve(shape);
}

template<typename T>
T *ToolTab::resolved(const char *name) const
{
    auto *control = qobject_cast<T *>(m_controls.value(name));
    if (!control)
        qFatal("ToolTab: \"%s\" is not a control of the kind the command tables need", name);
    return control;
}

void ToolTab::connectCommands()
{
    for (const CommandSpec &command : commandCatalogue()) {
        connect(resolved<QPushButton>(command.button), &QPushButton::clicked, this,
                [this, &command] { runCommand(command); });
    }
    for (const AddButton &add : addButtons()) {
        const CommandSpec *target = findCommand(add.target);
        if (!target)
            qFatal("ToolTab: %s leads to %s, which is no command button", add.button, add.target);
        connect(resolved<QPushButton>(add.button), &QPushButton::clicked, this,
                [this, &add, target] {
                    addThenRun(add.toIoBox, [this, target] { runCommand(*target); });
                });
    }
}

// The completion path every command button ends with: build the payload from
// the boxes, frame it for the mode, honour a pending request, send.
void ToolTab::runCommand(const CommandSpec &command)
{
    // The requests this command honours are consumed here, whatever follows.
    const bool toIoBox = command.requests == Requests::ListAndIo
            && std::exchange(AddToIoBoxRequest, false);
    const bool toList = command.requests != Requests::None
            && std::exchange(AddToListRequest, false);

    const Result<QByteArray, FieldError> payload = buildPayload(
            command, [this](const char *box) { return controlText(box); });
    if (!payload) {
        showMessage(fieldErrorMessage(payload.error()));
        return;
    }
    const QByteArray &request = *payload;
    const QByteArray frame = frameRequest(request, mode());
    if (toIoBox) {
        // The command part of the request (code, length, data), the same bytes in
        // both modes: the controller stores and runs it whatever the line's framing.
        frame3->Text31->setText(FormatHexText(QByteArrayView(request).sliced(1)));
    }
    if (toList)
        addListLine(FormatHexText(frame));
    SendFrame(frame);
    // The controller changes its rate; a raw network socket cannot follow it.
    const MSComm &link = m_context.session->link();
    if (command.code == FunctionCode::ChangeBaudRate && link.portOpen() && !link.canSetRate()) {
        showMessage(tr("控制器将改用新的波特率，但 %1 是原始 TCP 连接，线路速率由网关设定，"
                       "本工具不能随之更改：请在网关上改速率，或改用 rfc2217://")
                            .arg(link.devicePath()));
    }
}

void ToolTab::addThenRun(bool toIoBox, const std::function<void()> &handler)
{
    (toIoBox ? AddToIoBoxRequest : AddToListRequest) = true;
    handler();
    // One-shot: nothing stays pending after the click, whatever the handler did.
    AddToListRequest = false;
    AddToIoBoxRequest = false;
}

QString ToolTab::controlText(const char *name) const
{
    const QWidget *control = m_controls.value(name);
    if (const auto *box = qobject_cast<const QLineEdit *>(control))
        return box->text();
    if (const auto *selector = qobject_cast<const QComboBox *>(control))
        return selector->currentText();
    qFatal("ToolTab: \"%s\" is no box or selector the command tables know", name);
}

// The value step of a reply the framer completed, whether it came in one
// block or in several.
void ToolTab::applyReply(const RxEvent &reply)
{
    const ReceivedDisplay display = decodeReceived(reply.bytes, mode());
    if (display.valueBox)
        resolved<QLineEdit>(display.valueBox)->setText(display.valueText);
    if (display.statusCaption) {
        frame2->Label15->setText(*display.statusCaption);
        m_shownMoving = display.moving;
    }
    for (const IndicatorState &indicator : display.indicators)
        resolved<ShapeIndicator>(indicator.shape)->setActive(indicator.active);
}

MotionParameters ToolTab::boxParameters() const
{
    const auto box = [this](const char *name) {
        return double(roundHalfToEven(readLeadingNumber(controlText(name), NumberBase::Decimal))
                              .value_or(0));
    };
    return MotionParameters{box("Text12"), box("Text13"), box("Text14"), box("Text15"),
                            box("Text16"), box("Text29"), box("Text32")};
}

// --- Language ---------------------------------------------------------------

void ToolTab::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void ToolTab::retranslate()
{
    // The forms: the user's entries are untranslatable in the forms and stay.
    ui->retranslateUi(this);
    frame1->retranslateUi(ui->Frame1);
    frame2->retranslateUi(ui->Frame2);
    frame3->retranslateUi(ui->Frame3);
    frame4->retranslateUi(ui->Frame4);
    frame5->retranslateUi(ui->Frame5);
    frame6->retranslateUi(ui->Frame6);

    // Texts the code sets from the tab's state.
    MenuCMD->setTitle(tr("命令操作"));
    DelectList->setText(tr("删除"));
    DelectAll->setText(tr("清空"));
    if (m_shownMoving)
        frame2->Label15->setText(motionStateCaption(*m_shownMoving));
    showPortDevice();
    showExchangeStatus();
}
