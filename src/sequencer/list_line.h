#pragma once

#include <QStringView>

// The three kinds of command-list line, told apart by their text alone: frame
// lines (the hex text of a whole frame), "Delay:" lines (a pause in
// milliseconds) and "GoIdx:" lines (a jump to a 0-based line index).

enum class LineKind { Empty, Frame, Delay, Jump };

/// The command list's lines are addressed by signed 16-bit indexes.
inline constexpr int maxListLines = 32767;

/// The kind of \a line. A delay or jump line is longer than five characters and
/// starts with exactly "Delay" or "GoIdx"; "Delay" alone and "delay:100" are
/// frame lines.
LineKind classifyLine(QStringView line);

/// The argument of a delay or jump line: the text from its seventh character on
/// (the sixth, normally ":", is passed over whatever it is), read by the
/// leading-number rule.
double lineArgument(QStringView line);
