#include "dialogs.h"

#include <QCoreApplication>
#include <QMessageBox>

void Dialogs::message(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QCoreApplication::applicationName(), text);
}
