#pragma once

#include <QString>

class QWidget;

// Every message box and file dialog the window shows goes through here, so that
// tests can answer them and read what they said.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    /// A message with an OK button.
    virtual void message(QWidget *parent, const QString &text);
    /// A question with Yes and No; true for Yes.
    virtual bool question(QWidget *parent, const QString &title, const QString &text);
    /// The open dialog; an empty text when cancelled. \a filter is in Qt's form
    /// ("txt文件(*.txt);;所有文件(*.*)").
    virtual QString openFileName(QWidget *parent, const QString &title, const QString &filter);
    /// The save dialog; an empty text when cancelled. It asks nothing about an
    /// existing file: the caller does.
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &filter);

    /// The folder the file dialogs open in.
    void setFolder(const QString &folder) { m_folder = folder; }

private:
    QString m_folder;
};
