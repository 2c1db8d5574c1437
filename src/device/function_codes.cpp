#include "function_codes.h"

#include <QCoreApplication>

#include <array>

namespace {

// clang-format off
constexpr std::array<FunctionCodeInfo, 39> table{{
    {0x20, "handshake",                          QT_TRANSLATE_NOOP("FunctionCodes", "请求握手命令:")},
    {0x21, "query station address",              QT_TRANSLATE_NOOP("FunctionCodes", "查询设备地址:")},
    {0x22, "change station address",             QT_TRANSLATE_NOOP("FunctionCodes", "更改设备地址:")},
    {0x23, "query baud rate",                    QT_TRANSLATE_NOOP("FunctionCodes", "查询当前波特率:")},
    {0x24, "change baud rate",                   QT_TRANSLATE_NOOP("FunctionCodes", "改变当前波特率:")},
    {0x25, "set start speed",                    QT_TRANSLATE_NOOP("FunctionCodes", "设置运动初速度:")},
    {0x26, "query start speed",                  QT_TRANSLATE_NOOP("FunctionCodes", "查询运动初速度:")},
    {0x27, "set maximum speed",                  QT_TRANSLATE_NOOP("FunctionCodes", "设置运动最大速度:")},
    {0x28, "query maximum speed",                QT_TRANSLATE_NOOP("FunctionCodes", "查询运动最大速度:")},
    {0x29, "set end speed",                      QT_TRANSLATE_NOOP("FunctionCodes", "设置运动末速度:")},
    {0x2A, "query end speed",                    QT_TRANSLATE_NOOP("FunctionCodes", "查询运动末速度:")},
    {0x2B, "set acceleration",                   QT_TRANSLATE_NOOP("FunctionCodes", "设置运动加速度:")},
    {0x2C, "query acceleration",                 QT_TRANSLATE_NOOP("FunctionCodes", "查询运动加速度:")},
    {0x2D, "set deceleration",                   QT_TRANSLATE_NOOP("FunctionCodes", "设置运动减速度:")},
    {0x2E, "query deceleration",                 QT_TRANSLATE_NOOP("FunctionCodes", "查询运动减速度:")},
    {0x2F, "set homing speed",                   QT_TRANSLATE_NOOP("FunctionCodes", "设置归零运动速度:")},
    {0x30, "query homing speed",                 QT_TRANSLATE_NOOP("FunctionCodes", "查询归零运动速度:")},
    {0x31, "position move, signed 32-bit count", QT_TRANSLATE_NOOP("FunctionCodes", "设置32位运动脉冲数并开始运动:")},
    {0x32, "position move, direction + 24-bit",  QT_TRANSLATE_NOOP("FunctionCodes", "设置24位运动脉冲数并开始运动:")},
    {0x33, "constant speed, signed 32-bit",      QT_TRANSLATE_NOOP("FunctionCodes", "设置32位运动速度，并恒速运动:")},
    {0x34, "constant speed, direction + 24-bit", QT_TRANSLATE_NOOP("FunctionCodes", "设置24位运动速度，并恒速运动:")},
    {0x35, "change speed while running",         QT_TRANSLATE_NOOP("FunctionCodes", "恒速运动过程中改变速度:")},
    {0x36, "query motion speed",                 QT_TRANSLATE_NOOP("FunctionCodes", "查询运动速度:")},
    {0x37, "query absolute position",            QT_TRANSLATE_NOOP("FunctionCodes", "查询运动绝对位置:")},
    {0x38, "clear absolute position",            QT_TRANSLATE_NOOP("FunctionCodes", "绝对位置清零:")},
    {0x39, "query relative position",            QT_TRANSLATE_NOOP("FunctionCodes", "查询运动相对位置:")},
    {0x3A, "clear relative position",            QT_TRANSLATE_NOOP("FunctionCodes", "相对位置清零:")},
    {0x3B, "query motion status",                QT_TRANSLATE_NOOP("FunctionCodes", "查询运动状态:")},
    {0x3C, "immediate stop",                     QT_TRANSLATE_NOOP("FunctionCodes", "急停命令:")},
    {0x3D, "decelerating stop",                  QT_TRANSLATE_NOOP("FunctionCodes", "减速停止命令:")},
    {0x3E, "find zero point (homing)",           QT_TRANSLATE_NOOP("FunctionCodes", "查找原点命令:")},
    {0x40, "IO replacement table download",      nullptr},
    {0x41, "IO replacement table query",         nullptr},
    {0x42, "query IN states",                    QT_TRANSLATE_NOOP("FunctionCodes", "查询IN状态命令:")},
    {0x43, "query input state",                  QT_TRANSLATE_NOOP("FunctionCodes", "查询输入状态:")},
    {0x44, "set speed-change factor",            QT_TRANSLATE_NOOP("FunctionCodes", "设置运动变速因子:")},
    {0x45, "quantitative acceleration",          QT_TRANSLATE_NOOP("FunctionCodes", "定量加速命令:")},
    {0x46, "quantitative deceleration",          QT_TRANSLATE_NOOP("FunctionCodes", "定量减速命令:")},
    {0x47, "factory settings",                   QT_TRANSLATE_NOOP("FunctionCodes", "出厂设置命令:")},
}};
// clang-format on

} // namespace

std::span<const FunctionCodeInfo> functionCodeTable()
{
    return table;
}

std::optional<QString> sendDescription(quint8 code)
{
    for (const FunctionCodeInfo &row : table) {
        if (row.code == code && row.description)
            return QCoreApplication::translate("FunctionCodes", row.description);
    }
    return std::nullopt;
}
