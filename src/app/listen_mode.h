#pragma once

class QWidget;

// Listening only ("只监听"): every control that would send is disabled, and says
// why when pointed at; a running list, the automatic poll and a scan stop first.
void holdSending(QWidget *window, bool listening);
