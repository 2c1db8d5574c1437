// Settings kept across starts: the window's place and size, the folder of the
// last list file and the options of the newer tabs. The port settings come back
// only when the user asks for it ("启动时恢复上次的串口设置"); otherwise every
// start shows their start texts.
#include "window_state.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QWidget>

namespace {

// Options set on the newer tabs.
constexpr const char *keptOptions[] = {
        "replyTimeout",     "byteTimeout",   "echoSuppression", "autoReconnect", "autoPoll",
        "autoPollInterval", "autoPollQuiet", "scanFrom",        "scanTo",        "scanTimeout",
        "scanRetries",      "scanBauds",     "restoreSession"};
// The port settings and the language, kept only when restoreSession is ticked.
constexpr const char *sessionControls[] = {"Combo1", "Combo2", "Combo7", "Text23", "Option2"};

QSettings store()
{
    // Named here, not taken from the application: tests build windows without
    // one, and still must find the file under their own XDG_CONFIG_HOME.
    return QSettings(QStringLiteral("StepperBench"), QStringLiteral("StepperBench"));
}

QVariant valueOf(const QWidget *control)
{
    if (const auto *box = qobject_cast<const QSpinBox *>(control))
        return box->value();
    if (const auto *box = qobject_cast<const QAbstractButton *>(control))
        return box->isChecked();
    if (const auto *box = qobject_cast<const QLineEdit *>(control))
        return box->text();
    if (const auto *box = qobject_cast<const QComboBox *>(control))
        return box->currentText();
    if (const auto *list = qobject_cast<const QListWidget *>(control)) {
        QStringList checked;
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->checkState() == Qt::Checked)
                checked << list->item(i)->text();
        }
        return checked;
    }
    return {};
}

void setValue(QWidget *control, const QVariant &value)
{
    if (auto *spin = qobject_cast<QSpinBox *>(control)) {
        spin->setValue(value.toInt());
    } else if (auto *check = qobject_cast<QAbstractButton *>(control)) {
        check->setChecked(value.toBool());
    } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
        edit->setText(value.toString());
    } else if (auto *selector = qobject_cast<QComboBox *>(control)) {
        selector->setCurrentText(value.toString());
    } else if (auto *list = qobject_cast<QListWidget *>(control)) {
        const QStringList checked = value.toStringList();
        for (int i = 0; i < list->count(); ++i) {
            list->item(i)->setCheckState(checked.contains(list->item(i)->text()) ? Qt::Checked
                                                                                 : Qt::Unchecked);
        }
    }
}

bool sessionKept(const QWidget &window)
{
    const auto *tick = window.findChild<QAbstractButton *>(QStringLiteral("restoreSession"));
    return tick && tick->isChecked();
}

} // namespace

void forgetKeptSettings()
{
    QSettings settings = store();
    settings.clear();
}

KeptSettings restoreKeptSettings(QWidget &window)
{
    QSettings settings = store();
    const auto restore = [&](const char *name, const QString &group) {
        const QString key = group + QLatin1String(name);
        if (QWidget *control = window.findChild<QWidget *>(QLatin1String(name));
            control && settings.contains(key))
            setValue(control, settings.value(key));
    };
    for (const char *name : keptOptions)
        restore(name, QStringLiteral("options/"));
    if (sessionKept(window)) {
        for (const char *name : sessionControls)
            restore(name, QStringLiteral("session/"));
    }
    return {settings.value(QStringLiteral("lists/folder")).toString(),
            settings.value(QStringLiteral("window/geometry")).toByteArray()};
}

void keepSettings(const QWidget &window, const QString &listFolder)
{
    QSettings settings = store();
    for (const char *name : keptOptions) {
        if (const QWidget *control = window.findChild<QWidget *>(QLatin1String(name)))
            settings.setValue(QStringLiteral("options/") + QLatin1String(name), valueOf(control));
    }
    settings.remove(QStringLiteral("session"));
    if (sessionKept(window)) {
        for (const char *name : sessionControls) {
            if (const QWidget *control = window.findChild<QWidget *>(QLatin1String(name)))
                settings.setValue(QStringLiteral("session/") + QLatin1String(name),
                                  valueOf(control));
        }
    }
    settings.setValue(QStringLiteral("lists/folder"), listFolder);
    settings.setValue(QStringLiteral("window/geometry"), window.saveGeometry());
}

void fitToScreen(QWidget &window)
{
    // Until the layouts have been activated, their hints are those of the frames'
    // group boxes before the frames' forms filled them: innermost first, so that
    // each layout sees the settled hints of the ones it holds.
    const QList<QWidget *> widgets = window.findChildren<QWidget *>();
    for (auto widget = widgets.crbegin(); widget != widgets.crend(); ++widget) {
        if (QLayout *inner = (*widget)->layout())
            inner->activate();
    }
    window.layout()->activate();
    const QSize room = window.screen()->availableGeometry().size() * 0.95;
    window.resize(window.sizeHint().boundedTo(room).expandedTo(window.minimumSizeHint()));
}
