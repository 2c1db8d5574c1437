#pragma once

#include <QString>

class QWidget;

// Every message box the window shows goes through here, so that tests can
// answer them and read what they said.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    /// A message with an OK button.
    virtual void message(QWidget *parent, const QString &text);
};
