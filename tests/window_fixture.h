#pragma once

// The real window over a pseudo-terminal: COM1 stands for the terminal side,
// the test plays the controller at the far end, and message boxes are recorded
// instead of shown.

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
#include <QStringList>
#include <QTest>

// Answers the window's dialogs from a script and records what they said.
struct DialogScript
{
    QStringList messages;      // every message shown
    QStringList questions;     // "title|text" of every question asked
    QList<bool> answers;       // the answers to the next questions (Yes: true)
    QStringList fileNames;     // the names the next file dialogs return ("" cancels)
    QStringList fileDialogs;   // "title|filter" of every file dialog shown
};

class RecordingDialogs : public Dialogs
{
public:
    explicit RecordingDialogs(DialogScript *script) : m_script(script) {}
    void message(QWidget *, const QString &text) override { m_script->messages.append(text); }
    bool question(QWidget *, const QString &title, const QString &text) override
    {
        m_script->questions.append(title + u'|' + text);
        return !m_script->answers.isEmpty() && m_script->answers.takeFirst();
    }
    QString openFileName(QWidget *, const QString &title, const QString &filter) override
    {
        return fileName(title, filter);
    }
    QString saveFileName(QWidget *, const QString &title, const QString &filter) override
    {
        return fileName(title, filter);
    }

private:
    QString fileName(const QString &title, const QString &filter)
    {
        m_script->fileDialogs.append(title + u'|' + filter);
        return m_script->fileNames.isEmpty() ? QString() : m_script->fileNames.takeFirst();
    }

    DialogScript *m_script;
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
        window.setDialogs(std::make_unique<RecordingDialogs>(&dialogs));
        window.portNames().setMapping(1, pty.path());
        window.refreshPortDevice();
        // The tests tick the receive poll themselves; the real timer keeps its
        // place in the window but never fires during a test.
        timer("Timer1")->setInterval(24 * 3600 * 1000);
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
    MSComm *comm() const { return control<MSComm>("MSComm1"); }
    QTimer *timer(const char *name) const { return control<QTimer>(name); }
    /// Shape1 to Shape9, the lamps.
    ShapeIndicator *shape(int n) const
    {
        return control<ShapeIndicator>(qPrintable(QStringLiteral("Shape%1").arg(n)));
    }

    void click(const char *name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    /// The lines of the command list.
    QStringList listLines() const
    {
        QStringList lines;
        const auto *list = control<QListWidget>("List1");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }

    /// Sets a box's or a selector's text by object name.
    void set(const QString &name, const QString &text) const
    {
        QWidget *control = window.findChild<QWidget *>(name);
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            edit->setText(text);
        else if (auto *selector = qobject_cast<QComboBox *>(control))
            selector->setEditText(text);
        else
            qFatal("no box %s", qPrintable(name));
    }

    /// Applies "Box=text;Box=text" settings.
    void apply(const QString &settings) const
    {
        for (const QString &setting : settings.split(u';', Qt::SkipEmptyParts)) {
            const qsizetype eq = setting.indexOf(u'=');
            set(setting.left(eq), setting.mid(eq + 1));
        }
    }

    /// Opens COM1 through the window's own button.
    bool open()
    {
        click("Command32");
        return comm()->portOpen();
    }

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
    DialogScript dialogs;
    QStringList &messages = dialogs.messages;
    FrmMain window;
};
