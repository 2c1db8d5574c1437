#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

// What the window keeps across starts, by the object names of its controls: the
// options of the newer tabs always, the port settings and the language when
// "启动时恢复上次的串口设置" is ticked; and the size it opens at.

/// What restoreKeptSettings() found beside the controls' values.
struct KeptSettings
{
    QString listFolder; // of the last list file opened or saved
    QByteArray geometry; // empty when no window was kept
};

/// Forgets every kept setting (--reset-settings).
void forgetKeptSettings();
/// Sets the controls of \a window to their kept values.
KeptSettings restoreKeptSettings(QWidget &window);
/// Keeps the values of the controls of \a window, its geometry and \a listFolder.
void keepSettings(const QWidget &window, const QString &listFolder);
/// Gives \a window the size it asks for, within 95 % of the screen's free area,
/// never below its minimum.
void fitToScreen(QWidget &window);
