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

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <utility>

using namespace Qt::StringLiterals;

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

    QStringList messages; // every message shown
    QStringList questions; // "title|text" of every question asked
    QList<bool> answers; // the answers to the next questions (Yes: true)
    QStringList fileNames; // the names the next file dialogs return ("" cancels)
};

/// Writes \a content as the whole file at \a path.
inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

struct WindowFixture
{
    WindowFixture()
    {
        window.setDialogs(std::unique_ptr<Dialogs>(dialogs));
        window.portNames().setMapping(1, pty.path());
        window.refreshPortDevice();
        // The tests tick the receive poll themselves; the real timer keeps its
        // place in the window but never fires during a test.
        timer("Timer1")->setInterval(24 * 3600 * 1000);
        QObject::connect(&window, &FrmMain::frameShown, [this](qsizetype n) { m_shown += n; });
    }

    template<typename T>
    T *control(const char *name) const
    {
        T *found = window.findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QPushButton *button(const char *name) const { return control<QPushButton>(name); }
    QLineEdit *box(const char *name) const { return control<QLineEdit>(name); }
    QComboBox *combo(const char *name) const { return control<QComboBox>(name); }
    QLabel *label(const char *name) const { return control<QLabel>(name); }
    TrafficView *view(const char *name) const { return control<TrafficView>(name); }
    QListWidget *list() const { return control<QListWidget>("List1"); }
    MSComm *comm() const { return control<MSComm>("MSComm1"); }
    QTimer *timer(const char *name) const { return control<QTimer>(name); }
    /// The lamp Shape\a n.
    ShapeIndicator *shape(int n) const
    {
        return control<ShapeIndicator>(qPrintable(QStringLiteral("Shape%1").arg(n)));
    }

    void click(const QString &name) const
    {
        QTest::mouseClick(button(qPrintable(name)), Qt::LeftButton);
    }
    /// Picks Modbus RTU (0) or Modbus ASC (1).
    void mode(int index) const { combo("Combo7")->setCurrentIndex(index); }

    /// The lines of the command list.
    QStringList listLines() const
    {
        QStringList lines;
        for (int i = 0; i < list()->count(); ++i)
            lines << list()->item(i)->text();
        return lines;
    }

    /// Applies "Box=text;Box=text" settings to boxes and selectors.
    void apply(const QString &settings) const
    {
        for (const QString &setting : settings.split(u';', Qt::SkipEmptyParts)) {
            QWidget *control = window.findChild<QWidget *>(setting.section(u'=', 0, 0));
            if (auto *edit = qobject_cast<QLineEdit *>(control))
                edit->setText(setting.section(u'=', 1));
            else if (auto *selector = qobject_cast<QComboBox *>(control))
                selector->setEditText(setting.section(u'=', 1));
            else
                qFatal("no box in %s", qPrintable(setting));
        }
    }

    /// Opens COM1 through the window's own button.
    bool open()
    {
        click("Command32");
        return comm()->portOpen();
    }

    /// The bytes that went out since the last call: as many as the send path
    /// reports having written, read at the far end.
    QByteArray sent() { return pty.read(std::exchange(m_shown, 0)); }

    /// The far end sends \a bytes; they are handed to the window once they have
    /// arrived, by one tick of the receive poll.
    bool receive(const QByteArray &bytes)
    {
        const qint64 before = comm()->inBufferCount();
        if (!pty.write(bytes))
            return false;
        if (!QTest::qWaitFor([&] { return comm()->inBufferCount() >= before + bytes.size(); }))
            return false;
        window.Timer1_Timer();
        return true;
    }

    PtyPair pty;
    FrmMain window;
    RecordingDialogs *dialogs = new RecordingDialogs; // owned by the window
    QStringList &messages = dialogs->messages;

private:
    qsizetype m_shown = 0;
};
