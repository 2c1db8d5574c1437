#pragma once

#include "device/frame.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <span>

// What the receive view and the window show for one received block: the
// description line, a value for a read-back box, or the indicator lamps. Pure:
// the window applies the result.

struct IndicatorState
{
    const char *shape; // object name of the lamp, "Shape1" ... "Shape9"
    bool active; // red; otherwise the window-text colour
};

struct ReceivedDisplay
{
    std::optional<QString> description; // without its line end
    const char *valueBox = nullptr; // object name of the read-back box, if any
    QString valueText; // " 1000", "-2"
    std::optional<QString> statusCaption; // Label15: "停止" or "运动中"
    std::optional<bool> moving; // the state that caption names
    QList<IndicatorState> indicators;
};

/// Decodes a received block. The reply is chosen by the function code at index
/// 1: among the long replies when the block has more than two bytes, among the
/// two-byte replies otherwise. Values need at least eight bytes (indexes 0 to
/// 7). In ASCII mode a block that spells bytes (":" and hex pairs) is decoded by
/// those bytes, the last of which is the LRC, so that the spelled reply fills
/// the same boxes as its RTU form.
ReceivedDisplay decodeReceived(QByteArrayView block, CommMode mode);

/// Label15's caption for a motor that is \a moving or stopped, translated.
QString motionStateCaption(bool moving);

/// Object names of the lamps the decoder paints, Shape1 to Shape9.
std::span<const char *const> indicatorShapes();

/// A read-back value as a box shows it: a blank before zero and positive
/// values, a minus sign before negative ones (" 1000", "-2").
QString valueText(qint64 value);
