// The yardstick of the start-up benchmark: a bare Qt window showing one label,
// reporting its first paint and quitting, like `stepperbench --quit-when-shown`.
#include "first_paint.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("StepperBench"));
    FirstPaint firstPaint;
    label.installEventFilter(&firstPaint);
    label.show();
    return app.exec();
}
