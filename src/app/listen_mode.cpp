#include "listen_mode.h"

#include "device/command_catalogue.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QVariant>
#include <QWidget>

namespace {

// Beside the command buttons: the manual panel's sends, the list's run box, the
// IO table's download and query, the poll, the scan, the set transfers and the
// run of a test plan.
constexpr const char *otherSenders[] = {"Command1",  "Command10",  "Command11",   "Command37",
                                        "Command77", "Command78",  "Command79",   "Command80",
                                        "Check1",    "Command81",  "Command88",   "autoPoll",
                                        "scanStart", "configRead", "configWrite", "testRun"};

// Ticked boxes that keep sending: unticked before anything is disabled.
constexpr const char *runningBoxes[] = {"Check1", "autoPoll"};

constexpr const char *savedToolTip = "toolTipBeforeListening";

// Only what this disabled is enabled again: a control disabled for another
// reason (the IO table in ASCII) stays as it was.
void hold(QWidget *control, bool listening)
{
    const bool held = control->property(savedToolTip).isValid();
    if (listening && !held && control->isEnabled()) {
        control->setProperty(savedToolTip, control->toolTip());
        control->setToolTip(QCoreApplication::translate(
                "ListenMode", "只监听总线：不发送任何帧。要发送，先在“通讯记录”中取消“只监听”"));
        control->setEnabled(false);
    } else if (!listening && held) {
        control->setToolTip(control->property(savedToolTip).toString());
        control->setProperty(savedToolTip, QVariant());
        control->setEnabled(true);
    }
}

} // namespace

void holdSending(QWidget *window, bool listening)
{
    if (listening) {
        for (const char *name : runningBoxes) {
            if (auto *box = window->findChild<QAbstractButton *>(QLatin1String(name)))
                box->setChecked(false);
        }
    }
    const auto holdNamed = [&](const char *name) {
        if (auto *control = window->findChild<QWidget *>(QLatin1String(name)))
            hold(control, listening);
    };
    for (const CommandSpec &command : commandCatalogue())
        holdNamed(command.button);
    for (const AddButton &button : addButtons())
        holdNamed(button.button);
    for (const char *name : otherSenders)
        holdNamed(name);
}
