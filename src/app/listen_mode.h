#pragma once

class QWidget;

// Listening only ("只监听"): every control that would send is disabled, and says
// why when pointed at; a running list and the automatic poll stop first (a scan, a
// set transfer and a test plan's run are ended by the window).
void holdSending(QWidget *window, bool listening);
