#pragma once

// The real window over a pseudo-terminal: COM1 stands for the terminal side,
// the test plays the controller at the far end, and the window's dialogs are
// answered from a script and recorded instead of shown.

#include "dialogs.h"
#include "frm_main.h"
#include "link/mscomm.h"
#include "pty_pair.h"
#include "shape_indicator.h"
#include "traffic_view.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <utility>

using namespace Qt::StringLiterals;

/// A table of one flag, \a column: the row \a yes sets it, the row \a no clears it.
inline void flagRows(const char *column, const char *yes, const char *no)
{
    QTest::addColumn<bool>(column);
    QTest::newRow(yes) << true;
    QTest::newRow(no) << false;
}

struct RecordingDialogs : Dialogs
{
    void message(QWidget *, const QString &text) override { messages.append(text); }
    bool question(QWidget *, const QString &title, const QString &text) override
    {
        questions.append(title + u'|' + text);
        return !answers.isEmpty() && answers.takeFirst();
    }
    QString openFileName(QWidget *, const QString &, const QString &) override { return next(); }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return next(); }
    QString next() { return fileNames.isEmpty() ? QString() : fileNames.takeFirst(); }

    QStringList messages, questions; // questions as "title|text"
    QList<bool> answers; // the answers to the next questions (Yes: true)
    QStringList fileNames; // what the next file dialogs return ("" cancels)
};

struct WindowFixture
{
    WindowFixture()
    {
        window.setDialogs(std::unique_ptr<Dialogs>(dialogs));
        window.portNames().setMapping(1, pty.path());
        window.refreshPortDevice();
        // The tests tick the receive poll themselves: the real one never fires.
        timer("Timer1")->setInterval(24 * 3600 * 1000);
        QObject::connect(&window, &FrmMain::frameShown, [this](qsizetype n) { m_shown += n; });
    }

    template<typename T = QWidget>
    T *control(const QString &name) const
    {
        T *found = window.findChild<T *>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    TrafficView *view(int n) const { return control<TrafficView>(u"RichTextBox%1"_s.arg(n)); }
    QListWidget *list() const { return control<QListWidget>(u"List1"_s); }
    MSComm *comm() const { return control<MSComm>(u"MSComm1"_s); }
    QTimer *timer(const QString &name) const { return control<QTimer>(name); }
    ShapeIndicator *shape(int n) const { return control<ShapeIndicator>(u"Shape%1"_s.arg(n)); }
    bool enabled(const QString &name) const { return control(name)->isEnabled(); }
    /// The text of a box, label or traffic view.
    QString text(const QString &name) const
    {
        return control<QObject>(name)->property("text").toString();
    }

    void click(const QString &name) const
    {
        QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton);
    }
    /// Picks Modbus RTU (0) or Modbus ASC (1).
    void mode(int index) const { control<QComboBox>(u"Combo7"_s)->setCurrentIndex(index); }

    QStringList listLines() const
    {
        QStringList lines;
        for (int i = 0; i < list()->count(); ++i)
            lines << list()->item(i)->text();
        return lines;
    }

    /// Applies "Name=text;Name=text" to boxes, selectors, labels and views; a spin box
    /// takes the number, a tick box is ticked by "1" and cleared by "0".
    void apply(const QString &settings) const
    {
        for (const QString &setting : settings.split(u';', Qt::SkipEmptyParts)) {
            auto *control = this->control<QObject>(setting.section(u'=', 0, 0));
            const QString text = setting.section(u'=', 1);
            if (auto *selector = qobject_cast<QComboBox *>(control))
                selector->setEditText(text);
            else if (auto *spinBox = qobject_cast<QSpinBox *>(control))
                spinBox->setValue(text.toInt());
            else if (auto *tickBox = qobject_cast<QCheckBox *>(control))
                tickBox->setChecked(text == u"1");
            else
                control->setProperty("text", text);
        }
    }

    /// Ticks exactly the rates in \a rates among those a bus scan tries.
    void pickRates(const QStringList &rates) const
    {
        auto *list = control<QListWidget>(u"scanBauds"_s);
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(rates.contains(list->item(i)->text()) ? Qt::Checked
                                                                               : Qt::Unchecked);
    }

    /// Opens COM1 through the window's own button.
    bool open()
    {
        click(u"Command32"_s);
        return comm()->portOpen();
    }

    /// The bytes sent since the last call: as many as the send path reports
    /// having written, read at the far end while the frames drain.
    QByteArray sent() { return pty.collect(std::exchange(m_shown, 0)); }

    /// The far end sends \a bytes; once they have arrived, one tick of the
    /// receive poll hands them to the window.
    bool receive(const QByteArray &bytes)
    {
        const qint64 expected = comm()->inBufferCount() + bytes.size();
        const bool arrived = pty.write(bytes)
                && QTest::qWaitFor([&] { return comm()->inBufferCount() >= expected; });
        window.Timer1_Timer();
        return arrived;
    }

    PtyPair pty;
    FrmMain window;
    RecordingDialogs *dialogs = new RecordingDialogs; // owned by the window
    QStringList &messages = dialogs->messages;

private:
    qsizetype m_shown = 0;
};
