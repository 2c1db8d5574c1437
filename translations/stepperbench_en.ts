<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>BusScanner</name>
    <message>
        <location filename="../src/bus/bus_scan.cpp" line="+54"/>
        <location line="+98"/>
        <source>串口不接受波特率 %1</source>
        <translation>The port does not accept baud rate %1</translation>
    </message>
    <message>
        <location line="-56"/>
        <source>握手命令发不出去：串口已关闭或写入失败</source>
        <translation>The handshake cannot be sent: the port is closed or the write failed</translation>
    </message>
</context>
<context>
    <name>CaptureWriter</name>
    <message>
        <location filename="../src/exchange/capture_writer.cpp" line="+49"/>
        <source>无法创建捕获文件 %1：%2</source>
        <translation>Cannot create capture file %1: %2</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>捕获文件 %1 写入失败，捕获已停止：%2</source>
        <translation>Writing capture file %1 failed, capture stopped: %2</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>回波</source>
        <translation>Echo</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>噪声</source>
        <translation>Noise</translation>
    </message>
</context>
<context>
    <name>CommandSet</name>
    <message>
        <location filename="../src/device/command_set.cpp" line="+23"/>
        <source>请求握手命令:</source>
        <translation>Handshake request:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询设备地址:</source>
        <translation>Query station address:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>查询设备地址:当前地址为</source>
        <translation>Query station address: current address=</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>更改设备地址:</source>
        <translation>Change station address:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询当前波特率:</source>
        <translation>Query baud rate:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>查询当前波特率:当前波特率设置为</source>
        <translation>Query baud rate: current setting=</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>改变当前波特率:</source>
        <translation>Change baud rate:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设置运动初速度:</source>
        <translation>Set start speed:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动初速度:</source>
        <translation>Query start speed:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置运动最大速度:</source>
        <translation>Set max speed:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动最大速度:</source>
        <translation>Query max speed:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置运动末速度:</source>
        <translation>Set end speed:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动末速度:</source>
        <translation>Query end speed:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置运动加速度:</source>
        <translation>Set acceleration:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动加速度:</source>
        <translation>Query acceleration:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置运动减速度:</source>
        <translation>Set deceleration:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动减速度:</source>
        <translation>Query deceleration:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置归零运动速度:</source>
        <translation>Set homing speed:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询归零运动速度:</source>
        <translation>Query homing speed:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置32位运动脉冲数并开始运动:</source>
        <translation>Set 32-bit pulse count and start moving:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置24位运动脉冲数并开始运动:</source>
        <translation>Set 24-bit pulse count and start moving:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置32位运动速度，并恒速运动:</source>
        <translation>Set 32-bit speed and run at constant speed:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>设置24位运动速度，并恒速运动:</source>
        <translation>Set 24-bit speed and run at constant speed:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>恒速运动过程中改变速度:</source>
        <translation>Change speed during constant-speed run:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动速度:</source>
        <translation>Query motion speed:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>查询运动绝对位置:</source>
        <translation>Query absolute position:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>绝对位置清零:</source>
        <translation>Clear absolute position:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动相对位置:</source>
        <translation>Query relative position:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>相对位置清零:</source>
        <translation>Clear relative position:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询运动状态:</source>
        <translation>Query motion status:</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>急停命令:</source>
        <translation>Immediate stop:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>减速停止命令:</source>
        <translation>Decelerating stop:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查找原点命令:</source>
        <translation>Homing:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>查询IN状态命令:</source>
        <translation>Query IN states:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>查询 IN 1-5 状态:</source>
        <translation>Query IN 1-5 states:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>查询输入状态:</source>
        <translation>Query input state:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设置运动变速因子:</source>
        <translation>Set motion speed-change factor:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>设置变速因子命令:</source>
        <translation>Set speed-change factor:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>定量加速命令:</source>
        <translation>Quantitative acceleration:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>定量减速命令:</source>
        <translation>Quantitative deceleration:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>出厂设置命令:</source>
        <translation>Factory reset:</translation>
    </message>
</context>
<context>
    <name>Commands</name>
    <message>
        <location filename="../src/device/command_catalogue.cpp" line="+88"/>
        <source>设备操作地址(Hex)</source>
        <translation>Station address (Hex)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>New Addr</source>
        <translation>New Addr</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>初速度</source>
        <translation>Start speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>最大速度</source>
        <translation>Max speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>末速度</source>
        <translation>End speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>加速度</source>
        <translation>Acceleration</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>减速度</source>
        <translation>Deceleration</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>归零速度</source>
        <translation>Homing speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>位置运动 正/负方向脉冲数</source>
        <translation>Position move +/- pulses</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>位置运动 脉冲数</source>
        <translation>Position move pulses</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>位置运动 方向</source>
        <translation>Position move direction</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>恒速运动 正/负方向速度</source>
        <translation>Constant-speed run +/- speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>恒速运动 速度</source>
        <translation>Constant-speed run speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>恒速运动 方向</source>
        <translation>Constant-speed run direction</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>查找零点 方向</source>
        <translation>Homing direction</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>运动中改变速度 新速度</source>
        <translation>Change speed: new speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>运动因子</source>
        <translation>Motion factor</translation>
    </message>
    <message>
        <location line="+84"/>
        <source>%1 到 %2（十六进制）</source>
        <translation>%1 to %2 (hex)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 到 %2</source>
        <translation>%1 to %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>“%1”（%2）的值“%3”超出允许范围 %4，命令未发送。</source>
        <translation>The value &quot;%3&quot; of &quot;%1&quot; (%2) is outside the allowed range %4; the command was not sent.</translation>
    </message>
</context>
<context>
    <name>ConfigFile</name>
    <message>
        <location filename="../src/bus/config_file.cpp" line="+41"/>
        <source>无法打开 %1：这不是普通文件</source>
        <translation>Cannot open %1: it is not a regular file</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>无法打开 %1：%2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1 超过 %2 字节，不是配置文件</source>
        <translation>%1 is larger than %2 bytes: no configuration file</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>无法读取 %1：%2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 不能用：字节与文件开头标明的编码不符</source>
        <translation>%1 cannot be used: its bytes do not match the encoding its first bytes name</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1 不能用：%2</source>
        <translation>%1 cannot be used: %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1 不能用：既没有参数，也没有 IO 项</source>
        <translation>%1 cannot be used: it holds no parameter and no IO entry</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
</context>
<context>
    <name>ConfigSet</name>
    <message>
        <location filename="../src/bus/config_set.cpp" line="+117"/>
        <source>第 %1 行：%2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>应为“名称 = 值”：%1</source>
        <translation>Expected &quot;name = value&quot;: %1</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>%1 的值应为 -2147483648 到 2147483647 的整数：%2</source>
        <translation>The value of %1 must be an integer from -2147483648 to 2147483647: %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+11"/>
        <source>%1 出现了两次</source>
        <translation>%1 appears twice</translation>
    </message>
    <message>
        <location line="-5"/>
        <source>未知的名称：%1</source>
        <translation>Unknown name: %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>IO 组合 00000 不能存命令</source>
        <translation>IO combination 00000 cannot hold a command</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 的值应为一条完整的运动命令（功能码、长度、数据，十六进制），或留空：%2</source>
        <translation>The value of %1 must be one complete motion command (function code, length, data, in hex), or empty: %2</translation>
    </message>
</context>
<context>
    <name>ConfigTransfer</name>
    <message>
        <location filename="../src/bus/config_transfer.cpp" line="+91"/>
        <source>配置传送已取消</source>
        <translation>Configuration transfer cancelled</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>命令发不出去：串口已关闭或写入失败</source>
        <translation>The command cannot be sent: the port is closed or the write failed</translation>
    </message>
</context>
<context>
    <name>DirectionControl</name>
    <message>
        <location filename="../src/link/direction_control.cpp" line="+19"/>
        <source>这个端口不能做 RS-485 方向控制：驱动没有内核 RS-485 模式，也不能控制 RTS 线（伪终端和网络端口都没有 RTS）</source>
        <translation>this port cannot do RS-485 direction control: its driver has no kernel RS-485 mode, and its RTS line cannot be set (pseudo-terminals and network ports have no RTS)</translation>
    </message>
</context>
<context>
    <name>ErrorText</name>
    <message>
        <location filename="../src/util/error_text.cpp" line="+20"/>
        <source>这是一个文件夹</source>
        <translation>This is a folder</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>没有写这个文件的权限</source>
        <translation>No permission to write this file</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>没有读这个文件的权限</source>
        <translation>No permission to read this file</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>文件无法打开</source>
        <translation>The file cannot be opened</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>文件夹 %1 不存在</source>
        <translation>Folder %1 does not exist</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件不存在</source>
        <translation>The file does not exist</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>没有在文件夹 %1 中写文件的权限</source>
        <translation>No permission to write files in folder %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件无法创建</source>
        <translation>The file cannot be created</translation>
    </message>
    <message>
        <location line="+9"/>
        <location line="+30"/>
        <source>没有报告错误</source>
        <translation>No error reported</translation>
    </message>
    <message>
        <location line="-25"/>
        <source>读取出错</source>
        <translation>Read error</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>写入出错（磁盘已满，或介质不可写）</source>
        <translation>Write error (disk full, or the medium is not writable)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>系统资源不足（磁盘已满，或打开的文件太多）</source>
        <translation>Out of system resources (disk full, or too many open files)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件无法删除</source>
        <translation>The file cannot be deleted</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件无法改名（保存时临时文件无法替换原文件）</source>
        <translation>The file cannot be renamed (the temporary file of the save could not replace the original file)</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>文件操作失败（错误代码 %1）</source>
        <translation>File operation failed (error code %1)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>设备不存在（已拔出，或路径不对）</source>
        <translation>The device does not exist (unplugged, or wrong path)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>没有权限打开设备（被别的程序占用，或用户不在 dialout 组）</source>
        <translation>No permission to open the device (in use by another program, or the user is not in the dialout group)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设备已经打开</source>
        <translation>The device is already open</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设备没有打开</source>
        <translation>The device is not open</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>向设备写入出错</source>
        <translation>Error writing to the device</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>从设备读取出错</source>
        <translation>Error reading from the device</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设备已不可用（可能已拔出）</source>
        <translation>The device is no longer available (perhaps unplugged)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设备不支持这项设置</source>
        <translation>The device does not support this setting</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设备操作超时</source>
        <translation>Device operation time-out</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>设备报告了未知错误</source>
        <translation>The device reported an unknown error</translation>
    </message>
</context>
<context>
    <name>Exchange</name>
    <message>
        <location filename="../src/exchange/exchange_pairing.cpp" line="+160"/>
        <source>校验正确</source>
        <translation>Check OK</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>校验错误</source>
        <translation>Bad check</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>异常 %1</source>
        <translation>Exception %1</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>超时</source>
        <translation>Time-out</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>意外应答</source>
        <translation>Unexpected reply</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>无需应答</source>
        <translation>No reply needed</translation>
    </message>
    <message>
        <location filename="../src/exchange/exchange_stats.cpp" line="+86"/>
        <source>请求 %1 · 应答 %2 · 校验错误 %3 · 超时 %4 · 意外应答 %5 · 噪声 %6 字节</source>
        <translation>Requests %1 · replies %2 · bad checks %3 · time-outs %4 · unexpected replies %5 · noise %6 bytes</translation>
    </message>
    <message>
        <location line="+8"/>
        <source> · 响应 最小 %1 / 平均 %2 / 95% %3 / 最大 %4 ms</source>
        <translation> · response min %1 / mean %2 / 95% %3 / max %4 ms</translation>
    </message>
    <message>
        <location line="+5"/>
        <source> · 最近：%1</source>
        <translation> · latest: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source> %1 ms</source>
        <translation> %1 ms</translation>
    </message>
</context>
<context>
    <name>ExchangeLogModel</name>
    <message>
        <location filename="../src/exchange/exchange_log_model.cpp" line="+157"/>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>功能码</source>
        <translation>Function code</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>命令</source>
        <translation>Command</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>请求</source>
        <translation>Request</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>数值</source>
        <translation>Values</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>应答</source>
        <translation>Reply</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>应答时间 (ms)</source>
        <translation>Reply time (ms)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>帧间隔 (ms)</source>
        <translation>Gap (ms)</translation>
    </message>
</context>
<context>
    <name>ExchangeTab</name>
    <message>
        <location filename="../src/app/forms/exchange_tab.ui" line="+11"/>
        <source>应答超时</source>
        <translation>Reply time-out</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>请求最后一个字节发出后，在此时间内没有应答即为超时</source>
        <translation>A request not answered within this time after its last byte was sent is a time-out</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+15"/>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <location line="-7"/>
        <source>字节超时</source>
        <translation>Byte time-out</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>一帧应答可以分段到达，每段与上一段的间隔不超过此时间</source>
        <translation>A reply may arrive in pieces; each piece follows the previous one within this time</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>两线制 RS-485 适配器会把发出的字节原样收回：去掉紧随发送的完全相同的回波</source>
        <translation>A two-wire RS-485 adapter receives the bytes it sends back unchanged: drop an identical echo that follows right after sending</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>回波抑制</source>
        <translation>Suppress echo</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>设备断开后继续查找，重新出现时以相同设置重新打开</source>
        <translation>After the device disconnects, keep looking for it and reopen it with the same settings when it reappears</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>断线自动重连</source>
        <translation>Auto reconnect</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>两线 RS-485 适配器：每帧发送前升起 RTS，最后一个字节离开串口后放下（驱动有内核 RS-485 模式时由内核做）。伪终端和网络端口不支持</source>
        <translation>Two-wire RS-485 adapters: RTS is raised before each frame and dropped once its last byte has left the port (by the kernel where the driver has an RS-485 mode). Pseudo-terminals and network ports cannot do it</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>RS-485 方向控制（RTS）</source>
        <translation>RS-485 direction control (RTS)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>监听另一主站驱动的总线：本程序不发送任何帧，听到的请求和应答都成帧、配对并计时</source>
        <translation>Listen to a bus another master drives: this program sends nothing, and frames, pairs and times every request and reply it hears</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>只监听</source>
        <translation>Listen only</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>把发送、接收、噪声和连接事件带时间写入文件；文件名以 .csv 结尾时写成 CSV</source>
        <translation>Write sent and received data, noise and connection events with timestamps to a file; a file name ending in .csv gives CSV</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../src/app/exchange_tab.cpp" line="+183"/>
        <location line="+10"/>
        <location line="+39"/>
        <source>开始捕获…</source>
        <translation>Capture…</translation>
    </message>
    <message>
        <location filename="../src/app/exchange_tab.cpp" line="-81"/>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <location line="+46"/>
        <source>捕获到文件</source>
        <translation>Capture to file</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>文本记录(*.log *.txt);;CSV 表格(*.csv);;所有文件(*)</source>
        <translation>Text log (*.log *.txt);;CSV table (*.csv);;All files (*)</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+26"/>
        <source>停止捕获</source>
        <translation>Stop capture</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>异常</source>
        <translation>Exception</translation>
    </message>
</context>
<context>
    <name>Frame1</name>
    <message>
        <location filename="../src/app/forms/frame1.ui" line="+6"/>
        <source>基本命令</source>
        <translation>Basic commands</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>握手</source>
        <translation>Handshake</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>New Addr:</source>
        <translation>New Addr:</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>查地址</source>
        <translation>Read addr</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>改地址</source>
        <translation>Set addr</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Bitrate:</source>
        <translation>Bitrate:</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>查波特率</source>
        <translation>Read baud</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>改波特率</source>
        <translation>Set baud</translation>
    </message>
</context>
<context>
    <name>Frame2</name>
    <message>
        <location filename="../src/app/forms/frame2.ui" line="+6"/>
        <source>参数设置与查询</source>
        <translation>Set and query</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>新设值</source>
        <translation>New value</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>查询值</source>
        <translation>Read back</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>运动相关查询</source>
        <translation>Motion queries</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>初速度</source>
        <translation>Start spd</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+28"/>
        <location line="+13"/>
        <location line="+28"/>
        <location line="+13"/>
        <location line="+28"/>
        <location line="+13"/>
        <location line="+28"/>
        <location line="+13"/>
        <location line="+28"/>
        <location line="+13"/>
        <location line="+28"/>
        <location line="+20"/>
        <location line="+20"/>
        <location line="+21"/>
        <location line="+13"/>
        <location line="+21"/>
        <location line="+13"/>
        <source>加入高级命令</source>
        <translation>Add to command list</translation>
    </message>
    <message>
        <location line="-320"/>
        <location line="+41"/>
        <location line="+41"/>
        <location line="+41"/>
        <location line="+41"/>
        <location line="+41"/>
        <source>查询设定值</source>
        <translation>Query the setting</translation>
    </message>
    <message>
        <location line="-191"/>
        <source>最大速度</source>
        <translation>Max spd</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>末速度</source>
        <translation>End spd</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>加速度</source>
        <translation>Accel</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>减速度</source>
        <translation>Decel</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>归零速度</source>
        <translation>Home spd</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>运动速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>绝对位置</source>
        <translation>Abs. pos.</translation>
    </message>
    <message>
        <location line="+20"/>
        <location line="+34"/>
        <source>清零</source>
        <translation>Clear to zero</translation>
    </message>
    <message>
        <location line="-20"/>
        <source>相对位置</source>
        <translation>Rel. pos.</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>运动状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>左限</source>
        <translation>L limit</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>零点</source>
        <translation>Zero</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>右限</source>
        <translation>R limit</translation>
    </message>
</context>
<context>
    <name>Frame3</name>
    <message>
        <location filename="../src/app/forms/frame3.ui" line="+6"/>
        <source>运动控制</source>
        <translation>Motion control</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>位置运动:</source>
        <translation>Pos. move:</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>正/负方向脉冲数:</source>
        <translation>+/- pulses:</translation>
    </message>
    <message>
        <location line="+14"/>
        <location line="+50"/>
        <location line="+43"/>
        <location line="+50"/>
        <source>运动</source>
        <translation>Move</translation>
    </message>
    <message>
        <location line="-137"/>
        <location line="+50"/>
        <location line="+43"/>
        <location line="+50"/>
        <location line="+47"/>
        <location line="+44"/>
        <location line="+23"/>
        <location line="+27"/>
        <source>加入高级命令</source>
        <translation>Add to command list</translation>
    </message>
    <message>
        <location line="-277"/>
        <location line="+50"/>
        <location line="+43"/>
        <location line="+50"/>
        <location line="+47"/>
        <location line="+44"/>
        <location line="+23"/>
        <location line="+27"/>
        <source>添加IO取代命令</source>
        <translation>Add IO replacement command</translation>
    </message>
    <message>
        <location line="-278"/>
        <location line="+93"/>
        <location line="+60"/>
        <source>方向:</source>
        <translation>Dir:</translation>
    </message>
    <message>
        <location line="-136"/>
        <source>脉冲数:</source>
        <translation>Pulses:</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>恒速运动:</source>
        <translation>Const. speed:</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>正/负方向速度:</source>
        <translation>+/- speed:</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>速度:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>查找零点:</source>
        <translation>Homing:</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>归零</source>
        <translation>Home</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>运动中改变速度:   新速度</source>
        <translation>Change speed:   New speed</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>PLUS/S</source>
        <translation>PLUS/S</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>执行</source>
        <translation>Apply</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>减速停止</source>
        <translation>Decel stop</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>立即停止</source>
        <translation>Stop now</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>IN序号  54321</source>
        <translation>IN no.  54321</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>IO控制:</source>
        <translation>IO control:</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>＝命令</source>
        <translation>= command</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>下载</source>
        <translation>Download</translation>
    </message>
</context>
<context>
    <name>Frame4</name>
    <message>
        <location filename="../src/app/forms/frame4.ui" line="+6"/>
        <source>串口设置</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>串口号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>波特率：</source>
        <translation>Baud rate:</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>起始位为1，终止位为1</source>
        <translation>1 start bit, 1 stop bit</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>无奇偶校验，无硬件控制</source>
        <translation>No parity, no flow control</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>不勾选时，每次启动串口号、波特率、通讯模式、地址与语言都回到初始值</source>
        <translation>When unchecked, the port, baud rate, comm mode, address and language return to their defaults at every start</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>启动时恢复上次的串口设置</source>
        <translation>Restore last port settings</translation>
    </message>
</context>
<context>
    <name>Frame5</name>
    <message>
        <location filename="../src/app/forms/frame5.ui" line="+6"/>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>运动因子</source>
        <translation>Motion factor</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>加速度</source>
        <translation>Accel</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+13"/>
        <source>添加IO取代命令</source>
        <translation>Add IO replacement command</translation>
    </message>
    <message>
        <location line="-6"/>
        <source>减速度</source>
        <translation>Decel</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>查询IN</source>
        <translation>Read IN</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>出厂设置</source>
        <translation>Factory reset</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>IN1  IN2   IN3  IN4  IN5</source>
        <translation>IN1  IN2   IN3  IN4  IN5</translation>
    </message>
</context>
<context>
    <name>Frame6</name>
    <message>
        <location filename="../src/app/forms/frame6.ui" line="+6"/>
        <source>高级自动控制功能(HEX格式)</source>
        <translation>Command list (HEX)</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>按行循环执行命令</source>
        <translation>Run lines in a loop</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>无延时命令，默认间隔为1秒</source>
        <translation>No delay line: default 1 s</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>隔</source>
        <translation>Every</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>MS</source>
        <translation>MS</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>延时:</source>
        <translation>Delay:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>毫秒50-60000</source>
        <translation>ms 50-60000</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+25"/>
        <source>插入命令</source>
        <translation>Insert</translation>
    </message>
    <message>
        <location line="-20"/>
        <source>跳转:</source>
        <translation>Jump:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>行</source>
        <translation>line</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>命令另存为</source>
        <translation>Save as</translation>
    </message>
</context>
<context>
    <name>FrmMain</name>
    <message>
        <location filename="../src/app/forms/frm_main.ui" line="+6"/>
        <source>Form1</source>
        <translation>Form1</translation>
    </message>
    <message>
        <location filename="../src/app/frm_main.cpp" line="+69"/>
        <source>StepperBench</source>
        <translation>StepperBench</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>模拟控制器</source>
        <translation>Simulator</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>调试</source>
        <translation>Debug</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>通讯记录</source>
        <translation>Comm log</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>运动曲线</source>
        <translation>Motion chart</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>设备扫描</source>
        <translation>Bus scan</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <location line="-5"/>
        <source>高级功能帮助</source>
        <translation>Advanced help</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>通讯协议</source>
        <translation>Protocol</translation>
    </message>
</context>
<context>
    <name>Gbk</name>
    <message>
        <location filename="../src/codec/gbk.cpp" line="+34"/>
        <source>这个 Qt 没有 GBK 编码（缺少 ICU），无法转换文本</source>
        <translation>This Qt has no GBK encoding (ICU is missing); the text cannot be converted</translation>
    </message>
</context>
<context>
    <name>LinkSession</name>
    <message>
        <location filename="../src/session/link_session.cpp" line="+32"/>
        <source>写入失败：%1</source>
        <translation>Write failed: %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>串口恢复写入</source>
        <translation>Writing to the port resumed</translation>
    </message>
    <message>
        <location line="+104"/>
        <source>只监听总线时不发送任何帧；要发送，先取消“只监听”</source>
        <translation>While listening to the bus nothing is sent; untick “Listen only” to send</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>串口 %1 重新打开后，要等站 %2 应答握手，确认是原来的控制器，才发送其他帧</source>
        <translation>Port %1 was reopened: nothing else is sent until station %2 answers a handshake and so shows it is the same controller</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>串口 %1 已断开（%2），等待设备恢复…</source>
        <translation>Port %1 disconnected (%2), waiting for the device to come back…</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>串口 %1 已断开（%2），串口已关闭</source>
        <translation>Port %1 went away (%2); the port is closed</translation>
    </message>
    <message>
        <location line="+51"/>
        <source>串口 %1 已恢复（%2）</source>
        <translation>Port %1 is back (%2)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>串口 %1 已重新打开（%2），等待站 %3 应答握手，之前不发送其他帧</source>
        <translation>Port %1 reopened (%2); waiting for station %3 to answer a handshake, nothing else is sent until then</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>串口 %1 已恢复（%2），站 %3 应答了握手</source>
        <translation>Port %1 is back (%2); station %3 answered the handshake</translation>
    </message>
</context>
<context>
    <name>ListFile</name>
    <message>
        <location filename="../src/sequencer/list_file.cpp" line="+95"/>
        <source>读取出错</source>
        <translation>Read error</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行超过 %2 个字符，这不是命令列表文件</source>
        <translation>Line %1 is longer than %2 characters; this is not a command list file</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>不是普通文件（文件夹、设备或管道不能作为命令列表打开）</source>
        <translation>Not a regular file (a folder, device or pipe cannot be opened as a command list)</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>第 %1 行（%2）含有 GBK 无法保存的字符，文件未保存</source>
        <translation>Line %1 (%2) contains characters that GBK cannot store; the file was not saved</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>%2 个字节只写入了 %1 个（磁盘已满？）</source>
        <translation>Only %1 of %2 bytes were written (disk full?)</translation>
    </message>
</context>
<context>
    <name>ListenMode</name>
    <message>
        <location filename="../src/app/listen_mode.cpp" line="+32"/>
        <source>只监听总线：不发送任何帧。要发送，先在“通讯记录”中取消“只监听”</source>
        <translation>Listening to the bus: nothing is sent. To send, untick “Listen only” on the “Comm log” tab</translation>
    </message>
</context>
<context>
    <name>MSComm</name>
    <message>
        <location filename="../src/link/mscomm.cpp" line="+59"/>
        <source>线路 %1 秒没有取走一个字节，未写完的 %2 帧已整帧丢弃</source>
        <translation>The line took no byte for %1 s; %2 frame(s) not fully written were dropped whole</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>设置“%1”无效：波特率应为正整数，后跟“,n,8,1”</source>
        <translation>Invalid setting &quot;%1&quot;: the baud rate must be a positive integer followed by &quot;,n,8,1&quot;</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>这个串口没有对应的设备</source>
        <translation>This port has no device assigned</translation>
    </message>
    <message>
        <location line="-56"/>
        <source>网络端口没有 RTS 线，不能做 RS-485 方向控制：请在网关上设置</source>
        <translation>a network port has no RTS line, so it cannot do RS-485 direction control: set it on the gateway</translation>
    </message>
    <message>
        <location line="+80"/>
        <source>设备不接受 %1 波特、无校验、8 个数据位、1 个停止位：%2</source>
        <translation>The device does not accept %1 baud, no parity, 8 data bits, 1 stop bit: %2</translation>
    </message>
    <message>
        <location line="+131"/>
        <source>这个系统上没有 RS-485 方向控制</source>
        <translation>RS-485 direction control is not available on this system</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 不是有效的波特率</source>
        <translation>%1 is not a valid baud rate</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>串口没有打开</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>设备没有接受这一帧（RS-485 方向控制下写入失败）</source>
        <translation>the device did not take the frame (the write under RS-485 direction control failed)</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>设备只接受了 %2 个字节中的 %1 个：%3</source>
        <translation>The device accepted only %1 of %2 bytes: %3</translation>
    </message>
    <message>
        <location line="+120"/>
        <source>设备已挂断</source>
        <translation>The device hung up</translation>
    </message>
</context>
<context>
    <name>Modbus</name>
    <message>
        <location filename="../src/device/modbus_standard.cpp" line="+22"/>
        <source>读线圈:</source>
        <translation>Read coils:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读离散输入:</source>
        <translation>Read discrete inputs:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读保持寄存器:</source>
        <translation>Read holding registers:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读输入寄存器:</source>
        <translation>Read input registers:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>写单个线圈:</source>
        <translation>Write single coil:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>写单个寄存器:</source>
        <translation>Write single register:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读异常状态:</source>
        <translation>Read exception status:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>诊断:</source>
        <translation>Diagnostics:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读通信事件计数:</source>
        <translation>Get comm event counter:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读通信事件记录:</source>
        <translation>Get comm event log:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>写多个线圈:</source>
        <translation>Write multiple coils:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>写多个寄存器:</source>
        <translation>Write multiple registers:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>报告从站标识:</source>
        <translation>Report server ID:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读文件记录:</source>
        <translation>Read file record:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>写文件记录:</source>
        <translation>Write file record:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>屏蔽写寄存器:</source>
        <translation>Mask write register:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读写多个寄存器:</source>
        <translation>Read/write multiple registers:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读FIFO队列:</source>
        <translation>Read FIFO queue:</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>CANopen 通用引用:</source>
        <translation>CANopen general reference:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读设备标识:</source>
        <translation>Read device identification:</translation>
    </message>
</context>
<context>
    <name>MotionChart</name>
    <message>
        <location filename="../src/app/motion_chart.cpp" line="+155"/>
        <source>时间 (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>位置 (脉冲)</source>
        <translation>Position (pulses)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>速度 (脉冲/秒)</source>
        <translation>Speed (pulses/s)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>运动中</source>
        <translation>Moving</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>位置</source>
        <translation>Position</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>速度</source>
        <translation>Speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>预测位置</source>
        <translation>Predicted position</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>预测速度</source>
        <translation>Predicted speed</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>框选放大；右键缩小</source>
        <translation>Drag a box to zoom in; right-click to zoom out</translation>
    </message>
    <message>
        <location line="+93"/>
        <location line="+8"/>
        <location line="+6"/>
        <source>—</source>
        <translation>—</translation>
    </message>
    <message>
        <location line="-11"/>
        <source>不停止（恒速运动）</source>
        <translation>No stop (constant-speed run)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>%1（不确定度 %2）</source>
        <translation>%1 (uncertainty %2)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>%1 脉冲（目标 %2，实测 %3）</source>
        <translation>%1 pulses (target %2, measured %3)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>初速</source>
        <translation>Start</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>最大</source>
        <translation>Max</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>末速</source>
        <translation>End</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>加速</source>
        <translation>Accel</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>减速</source>
        <translation>Decel</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>设定</source>
        <translation>set</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>读回</source>
        <translation>read back</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>输入框</source>
        <translation>input box</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>预测位置（%1）</source>
        <translation>Predicted position (%1)</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>导出的文件名应以 .csv 或 .png 结尾：%1</source>
        <translation>The export file name must end in .csv or .png: %1</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>无法写入图片 %1</source>
        <translation>Cannot write image %1</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
</context>
<context>
    <name>MotionTab</name>
    <message>
        <location filename="../src/app/forms/motion_tab.ui" line="+11"/>
        <source>串口打开时依次查询运动速度、绝对位置与运动状态，每次等上一个请求应答或超时后再发</source>
        <translation>While the port is open, query motion speed, absolute position and motion status in turn, each time after the previous request&apos;s reply or time-out</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>自动查询</source>
        <translation>Auto query</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>每轮查询的间隔</source>
        <translation>Interval between query rounds</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>自动查询的请求与应答不进收发显示区；通讯记录与捕获仍然记下</source>
        <translation>Auto-query requests and replies stay out of the send and receive views; the comm log and capture still record them</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>不显示查询帧</source>
        <translation>Hide queries</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>冻结曲线；数据照常记录，继续后补上</source>
        <translation>Freeze the chart; data are still recorded and filled in on resume</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>用鼠标框选放大；此按钮回到跟随最新数据</source>
        <translation>Drag a box with the mouse to zoom in; this button goes back to following the latest data</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>复位缩放</source>
        <translation>Reset zoom</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>文件名以 .csv 结尾时写出全部数据点，以 .png 结尾时写出曲线图</source>
        <translation>A file name ending in .csv writes all data points, one ending in .png the chart image</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>预测时长</source>
        <translation>Predicted time</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>实测时长</source>
        <translation>Measured time</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>位置误差</source>
        <translation>Position error</translation>
    </message>
    <message>
        <location filename="../src/app/motion_tab.cpp" line="+48"/>
        <source>导出运动曲线</source>
        <translation>Export motion chart</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>数据点(*.csv);;图片(*.png)</source>
        <translation>Data points (*.csv);;Image (*.png)</translation>
    </message>
</context>
<context>
    <name>NetworkLine</name>
    <message>
        <location filename="../src/link/network_line.cpp" line="+62"/>
        <source>网络串口需要 gensio 库（Debian 软件包 libgensio4）：%1</source>
        <translation>network serial lines need the gensio library (Debian package libgensio4): %1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>gensio 库缺少函数 %1</source>
        <translation>the gensio library lacks the function %1</translation>
    </message>
    <message>
        <location line="+81"/>
        <source>对方拒绝连接（该端口上没有服务）</source>
        <translation>the connection was refused (nothing serves that port)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>找不到主机“%1”</source>
        <translation>no host named “%1” was found</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>主机不可达</source>
        <translation>the host cannot be reached</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>连接超时</source>
        <translation>the connection timed out</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>网关关闭了连接</source>
        <translation>the gateway closed the connection</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>连接还没有建立好</source>
        <translation>the connection is not set up yet</translation>
    </message>
    <message>
        <location line="+47"/>
        <source>“%1”不是网络端口：应为 socket://主机:端口 或 rfc2217://主机:端口，端口为 1 到 65535</source>
        <translation>“%1” is no network port: it should be socket://HOST:PORT or rfc2217://HOST:PORT, with a port from 1 to 65535</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+121"/>
        <source>%1 秒内没有连上</source>
        <translation>no connection within %1 s</translation>
    </message>
    <message>
        <location line="-92"/>
        <source>%1 秒内没有应答</source>
        <translation>no answer within %1 s</translation>
    </message>
    <message>
        <location line="+155"/>
        <location line="+40"/>
        <source>网关没有接受 %1 波特，它的端口以 %2 波特运行</source>
        <translation>the gateway did not take %1 baud: its port runs at %2 baud</translation>
    </message>
    <message>
        <location line="-13"/>
        <source>网络端口没有打开</source>
        <translation>the network port is not open</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>socket:// 是原始 TCP 连接，线路速率由网关设定，这里不能更改（要由本工具设定速率，请用 rfc2217://）</source>
        <translation>socket:// is a raw TCP connection: the gateway sets the line&apos;s rate, and it cannot be changed here (for the tool to set the rate, use rfc2217://)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>网关没有接受 %1 波特（RFC 2217）：%2</source>
        <translation>the gateway did not take %1 baud (RFC 2217): %2</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>网络端口在打开途中被关闭</source>
        <translation>the network port was closed while it was being opened</translation>
    </message>
</context>
<context>
    <name>PlanStepsModel</name>
    <message>
        <location filename="../src/app/plan_steps_model.cpp" line="+64"/>
        <source>步骤</source>
        <translation>Step</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>测量值</source>
        <translation>Measured</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>限值</source>
        <translation>Limits</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>说明</source>
        <translation>Remark</translation>
    </message>
</context>
<context>
    <name>PortNames</name>
    <message>
        <location filename="../src/link/port_names.cpp" line="+86"/>
        <source>&quot;%1&quot; is not COMn=PATH with n from 1 to 9</source>
        <translation>&quot;%1&quot; is not COMn=PATH with n from 1 to 9</translation>
    </message>
</context>
<context>
    <name>ProductPage</name>
    <message>
        <location filename="../src/app/forms/product_page.ui" line="+12"/>
        <source>StepperBench 0.1</source>
        <translation>StepperBench 0.1</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>步进电机运动控制器的串口调试工具</source>
        <translation>Serial-line test tool for stepper-motor motion controllers</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>握手，查询与修改站地址和波特率</source>
        <translation>Handshake; query and change the station address and baud rate</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>设定并读回初速度、最大速度、末速度、加减速度与归零速度</source>
        <translation>Set and read back start speed, max speed, end speed, acceleration, deceleration and homing speed</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>查询运动速度、绝对位置、相对位置、运动状态与 IN1-IN5 输入</source>
        <translation>Query motion speed, absolute position, relative position, motion status and inputs IN1-IN5</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>位置运动、恒速运动、运动中变速、归零与停止</source>
        <translation>Position moves, constant-speed runs, speed change while moving, homing and stopping</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Modbus RTU 与 Modbus ASC 两种帧格式，收发内容逐字节显示</source>
        <translation>Modbus RTU and Modbus ASC framing; sent and received data shown byte by byte</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>高级命令列表按行循环发送，IO取代命令下载与查询</source>
        <translation>Command list sent line by line in a loop; IO replacement commands downloaded and queried</translation>
    </message>
</context>
<context>
    <name>Replies</name>
    <message>
        <location filename="../src/traffic/reply_decoder.cpp" line="+47"/>
        <source>运动中</source>
        <translation>Moving</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>停止</source>
        <translation>Stopped</translation>
    </message>
</context>
<context>
    <name>ScanResultModel</name>
    <message>
        <location filename="../src/bus/scan_result_model.cpp" line="+52"/>
        <source>握手应答</source>
        <translation>Handshake reply</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>异常应答</source>
        <translation>Exception reply</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>校验错误的应答</source>
        <translation>Reply with bad check</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>应答</source>
        <translation>Reply</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>响应时间</source>
        <translation>Response time</translation>
    </message>
</context>
<context>
    <name>ScanTab</name>
    <message>
        <location filename="../src/app/forms/scan_tab.ui" line="+11"/>
        <source>地址（十六进制）</source>
        <translation>Address (hex)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>扫描的第一个站号</source>
        <translation>First station address to scan</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>到</source>
        <translation>to</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>扫描的最后一个站号</source>
        <translation>Last station address to scan</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>等待余量</source>
        <translation>Wait margin</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>请求在线路上的时间之外，再等应答第一个字节的时间</source>
        <translation>How long to wait for the first byte of a reply, beyond the request&apos;s time on the line</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>重试</source>
        <translation>Retries</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>没有应答的地址再试的次数</source>
        <translation>How many more times to try an address that did not reply</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>逐个试打勾的波特率；模式取自“通讯模式”</source>
        <translation>Tries the checked baud rates one by one; the mode is taken from &quot;Comm mode&quot;</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>开始扫描</source>
        <translation>Start scan</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>打勾的站号是“写入”的对象；双击一行即“使用”</source>
        <translation>Checked stations are what &quot;Write&quot; writes to; double-clicking a row does &quot;Use&quot;</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>把选中结果的站号与波特率填入串口设置，并以此波特率重新打开串口</source>
        <translation>Put the station address and baud rate of the selected result into the port settings and reopen the port at that baud rate</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>使用</source>
        <translation>Use</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>读取地址框所指站的运动参数与整张 IO 取代表</source>
        <translation>Read the motion parameters and the whole IO replacement table of the station in the address box</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>打开…</source>
        <translation>Open…</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>保存…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>写入地址框所指的站，或扫描结果中打勾的全部站，然后逐项读回比较</source>
        <translation>Write to the station in the address box, or to all stations checked in the scan results, then read back and compare item by item</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <location filename="../src/app/scan_tab.cpp" line="+102"/>
        <source>%p%，还需 %1 s</source>
        <translation>%p%, %1 s left</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>已取消，找到 %1 个</source>
        <translation>Cancelled, %1 found</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>完成，找到 %1 个</source>
        <translation>Done, %1 found</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>正在读取站 %1…</source>
        <translation>Reading station %1…</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>没有可写入的配置：请先读取，或打开一个配置文件</source>
        <translation>No configuration to write: read one first, or open a configuration file</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>正在写入 %1 个站…</source>
        <translation>Writing %1 station(s)…</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <location line="+7"/>
        <source>请先打开串口</source>
        <translation>Open the port first</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>扫描或配置传送正在进行，请等它结束</source>
        <translation>A scan or configuration transfer is running; wait for it to end</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>扫描地址应为十六进制 01 到 FF：%1</source>
        <translation>Scan addresses must be hexadecimal 01 to FF: %1</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>扫描的起始地址 %1 大于结束地址 %2</source>
        <translation>The scan&apos;s start address %1 is greater than its end address %2</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>请至少勾选一个波特率</source>
        <translation>Check at least one baud rate</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>%1 是原始 TCP 连接，线路速率由网关设定，扫描不能逐个试波特率：只勾选网关的波特率，或改用 rfc2217://</source>
        <translation>%1 is a raw TCP connection: the gateway sets the line&apos;s rate, so a scan cannot try one rate after another: tick only the gateway&apos;s rate, or use rfc2217://</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>请先在扫描结果中选一行</source>
        <translation>Select a row in the scan results first</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>（整站）</source>
        <translation>(whole station)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>没有应答</source>
        <translation>No reply</translation>
    </message>
    <message>
        <location line="+1"/>
        <location line="+2"/>
        <source>站 %1 没有应答</source>
        <translation>Station %1 did not reply</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>已读取站 %1（%2）</source>
        <translation>Read station %1 (%2)</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>不同</source>
        <translation>Differs</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>一致</source>
        <translation>Matches</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>站 %1 全部一致</source>
        <translation>Station %1: all items match</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>站 %1 有 %2 项不同</source>
        <translation>Station %1: %2 item(s) differ</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>打开配置</source>
        <translation>Open configuration</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>配置文件(*.conf *.txt);;所有文件(*)</source>
        <translation>Configuration files (*.conf *.txt);;All files (*)</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>已打开 %1</source>
        <translation>Opened %1</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>没有可保存的配置：请先读取一个站</source>
        <translation>No configuration to save: read a station first</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>保存配置</source>
        <translation>Save configuration</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>配置文件(*.conf);;所有文件(*)</source>
        <translation>Configuration files (*.conf);;All files (*)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>StepperBench 配置</source>
        <translation>StepperBench configuration</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>已保存到 %1</source>
        <translation>Saved to %1</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>站号</source>
        <translation>Station</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>项目</source>
        <translation>Item</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>控制器</source>
        <translation>Controller</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>结果</source>
        <translation>Result</translation>
    </message>
</context>
<context>
    <name>SimulatorPage</name>
    <message>
        <location filename="../src/app/forms/simulator_page.ui" line="+12"/>
        <source>stepperbench-sim</source>
        <translation>stepperbench-sim</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>随 StepperBench 提供的模拟控制器</source>
        <translation>The simulated controller that comes with StepperBench</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>在伪终端上扮演一台步进电机运动控制器，没有硬件也能调试</source>
        <translation>Plays a stepper-motor motion controller on a pseudo-terminal, so you can test without hardware</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>按控制器的命令集应答每一条请求，RTU 与 ASCII 格式均可</source>
        <translation>Answers every request with the controller&apos;s command set, in RTU or ASCII framing</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>应答握手，以及站地址和波特率的查询与修改</source>
        <translation>Answers the handshake and the queries and changes of station address and baud rate</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>保存设定的运动参数，查询时原样返回</source>
        <translation>Keeps the motion parameters set and returns them unchanged when queried</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>应答运动速度、位置、运动状态与 IN1-IN5 输入的查询</source>
        <translation>Answers queries of motion speed, position, motion status and inputs IN1-IN5</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>执行运动与停止命令，位置随之变化</source>
        <translation>Carries out motion and stop commands; the position changes accordingly</translation>
    </message>
</context>
<context>
    <name>TestTab</name>
    <message>
        <location filename="../src/app/forms/test_tab.ui" line="+6"/>
        <source>运行计划中的步骤，逐步判定结果。站号取自“设备操作地址”框，而不是计划的 address（stepperbench-cli test 默认用计划的 address）</source>
        <translation>Runs the steps of a plan and judges each. The station is the one in the “Station addr.” box, not the plan&apos;s address (which stepperbench-cli test uses by default)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>打开一个测试计划（TOML 文件）</source>
        <translation>Opens a test plan (a TOML file)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>打开计划…</source>
        <translation>Open plan…</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>对“设备操作地址”框中的站运行计划（不用计划的 address）；模式与波特率须与计划相同</source>
        <translation>Runs the plan against the station in the “Station addr.” box (not the plan&apos;s address); the mode and the baud rate must be the plan&apos;s</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>运行</source>
        <translation>Run</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>停止运行：正在进行的步骤记为出错，其余步骤跳过</source>
        <translation>Stops the run: the step running is an error, the rest are skipped</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>把上次运行的结果保存为 JUnit XML、JSON 或 HTML 报告</source>
        <translation>Saves what the last run found as a JUnit XML, JSON or HTML report</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存报告…</source>
        <translation>Save report…</translation>
    </message>
    <message>
        <location line="+7"/>
        <location filename="../src/app/test_tab.cpp" line="+179"/>
        <source>没有打开计划</source>
        <translation>No plan open</translation>
    </message>
    <message>
        <location filename="../src/app/test_tab.cpp" line="-111"/>
        <source>打开测试计划</source>
        <translation>Open test plan</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>测试计划(*.toml);;所有文件(*)</source>
        <translation>Test plans (*.toml);;All files (*)</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>请先打开一个测试计划</source>
        <translation>Open a test plan first</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>请先打开串口</source>
        <translation>Open the port first</translation>
    </message>
    <message>
        <location line="+27"/>
        <source>计划“%1”用 %2 模式，“选择通讯模式”现在是 %3：请把它改为 %2</source>
        <translation>Plan “%1” uses %2, but “Comm mode” is %3: switch it to %2</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>计划“%1”的波特率是 %2，串口以 %3 打开：请关闭串口，把波特率改为 %2 后重新打开</source>
        <translation>Plan “%1” runs at %2 baud, but the port is open at %3: close the port, choose %2 baud and open it again</translation>
    </message>
    <message>
        <location line="+41"/>
        <location line="+5"/>
        <source>保存测试报告</source>
        <translation>Save test report</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 已存在，是否覆盖？</source>
        <translation>%1 exists. Replace it?</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>计划：%1（%2）</source>
        <translation>Plan: %1 (%2)</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>运行中…</source>
        <translation>Running…</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>通过</source>
        <translation>Pass</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>通过（临界）</source>
        <translation>Pass (marginal)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>不通过</source>
        <translation>Fail</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>出错</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>ToolTab</name>
    <message>
        <location filename="../src/app/forms/tool_tab.ui" line="+32"/>
        <source>选择通讯模式:</source>
        <translation>Comm mode:</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>设备操作地址(Hex)：</source>
        <translation>Station addr. (Hex):</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>语言选择(Select Language):</source>
        <translation>Select Language:</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>Version for 3.x</source>
        <translation>Version for 3.x</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>输入16进制：</source>
        <translation>Enter hex:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>发送16进制数据</source>
        <translation>Send hex data</translation>
    </message>
    <message>
        <location line="+6"/>
        <location line="+86"/>
        <location line="+13"/>
        <location line="+34"/>
        <source>添加高级命令</source>
        <translation>Add to command list</translation>
    </message>
    <message>
        <location line="-127"/>
        <source>CRC校验：</source>
        <translation>CRC check:</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>CRC低位在前</source>
        <translation>CRC low first</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>CRC高位在前</source>
        <translation>CRC high first</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>CRC添加发送</source>
        <translation>Send with CRC</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>LRC校验：</source>
        <translation>LRC check:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>计算LRC</source>
        <translation>Calc LRC</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>LRC添加发送</source>
        <translation>Send with LRC</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>MODBUS发送RTU</source>
        <translation>Send MODBUS RTU</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>MODBUS发送ASC</source>
        <translation>Send MODBUS ASC</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>输入字符串：</source>
        <translation>Enter text:</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>发送字符串</source>
        <translation>Send text</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>转为16进制</source>
        <translation>To hex</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>转为字符串</source>
        <translation>To text</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>接收内容：</source>
        <translation>Received:</translation>
    </message>
    <message>
        <location line="+19"/>
        <location line="+33"/>
        <source>清空内容</source>
        <translation>Clear</translation>
    </message>
    <message>
        <location line="-19"/>
        <source>发送内容：</source>
        <translation>Sent:</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>请求、应答、校验错误、超时、意外应答、噪声字节，以及应答时间（从请求最后一个字节发出到应答最后一个字节收到）</source>
        <translation>Requests, replies, bad checks, time-outs, unexpected replies, noise bytes, and reply times (from the last byte of the request sent to the last byte of the reply received)</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>统计清零</source>
        <translation>Clear stats</translation>
    </message>
    <message>
        <location filename="../src/app/main.cpp" line="+108"/>
        <source>模拟控制器</source>
        <translation>Simulator</translation>
    </message>
    <message>
        <location filename="../src/app/tool_tab.cpp" line="+58"/>
        <location filename="../src/app/tool_tab_commands.cpp" line="+187"/>
        <source>命令操作</source>
        <translation>List actions</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../src/app/tool_tab_commands.cpp" line="+1"/>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../src/app/tool_tab_commands.cpp" line="+1"/>
        <source>清空</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <location line="+160"/>
        <source>请选择正确的串口名</source>
        <translation>Please choose a valid port name</translation>
    </message>
    <message>
        <location line="-9"/>
        <location line="+17"/>
        <source>无法打开串口 %1：%2</source>
        <translation>Cannot open port %1: %2</translation>
    </message>
    <message>
        <location line="+32"/>
        <source>扫描或配置传送正在进行，波特率在它结束后才能更改</source>
        <translation>A scan or a configuration transfer is running: the baud rate can be changed once it has ended</translation>
    </message>
    <message>
        <location line="+28"/>
        <source>串口 %1 已断开（%2），串口已关闭。设备恢复后可重新打开。</source>
        <translation>Port %1 disconnected (%2); the port has been closed. Open it again when the device is back.</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>%1（RFC 2217：速率由本工具设定）</source>
        <translation>%1 (RFC 2217: the tool sets the rate)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1（原始 TCP：速率由网关设定）</source>
        <translation>%1 (raw TCP: the gateway sets the rate)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>（不是有效的网络端口）</source>
        <translation>(not a valid network port)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>（无此串口）</source>
        <translation>(no such port)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location line="+121"/>
        <source>串口 %1 写入失败：%2</source>
        <translation>Writing to port %1 failed: %2</translation>
    </message>
    <message>
        <location filename="../src/app/tool_tab_list.cpp" line="+87"/>
        <source>命令列表已满（最多 %1 行），未添加。</source>
        <translation>The command list is full (at most %1 lines); not added.</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>间隔“%1”超出范围：请输入 0 到 %2 毫秒。</source>
        <translation>Interval &quot;%1&quot; out of range: enter 0 to %2 ms.</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>txt文件(*.txt);;所有文件(*.*)</source>
        <translation>Text files (*.txt);;All files (*.*)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>文件名无效,请重新打开!</source>
        <translation>Invalid file name, please open again!</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>无法读取文件 %1：%2</source>
        <translation>Cannot read file %1: %2</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>文件 %1 超过 %2 行，只读入了前 %2 行。</source>
        <translation>File %1 has more than %2 lines; only the first %2 lines were read.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>保存文件</source>
        <translation>Save file</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>TXT文件(*.TXT);;所有文件(*.*)</source>
        <translation>TXT files (*.TXT);;All files (*.*)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>文件保存</source>
        <translation>Save file</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>是否覆盖文件？</source>
        <translation>Overwrite the file?</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>无法删除文件 %1：%2</source>
        <translation>Cannot delete file %1: %2</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>无法保存文件 %1：%2。原文件保持不变。</source>
        <translation>Cannot save file %1: %2. The original file is unchanged.</translation>
    </message>
    <message>
        <location line="+42"/>
        <source>IO 命令有 %1 个字节，一条 IO 取代命令最多 %2 个字节，未下载。</source>
        <translation>The IO command has %1 bytes, an IO replacement command at most %2 bytes; not downloaded.</translation>
    </message>
    <message>
        <location filename="../src/app/tool_tab_commands.cpp" line="-73"/>
        <source>控制器将改用新的波特率，但 %1 是原始 TCP 连接，线路速率由网关设定，本工具不能随之更改：请在网关上改速率，或改用 rfc2217://</source>
        <translation>The controller will switch to the new baud rate, but %1 is a raw TCP connection whose rate the gateway sets, and the tool cannot follow: change the rate on the gateway, or use rfc2217://</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <location filename="../src/app/main.cpp" line="-48"/>
        <source>Test and commission a stepper-motor motion controller over a serial line.</source>
        <translation>Test and commission a stepper-motor motion controller over a serial line.</translation>
    </message>
    <message>
        <location line="-32"/>
        <source>Let port COMn (n from 1 to 9) stand for the device PATH, e.g. --port COM1=/dev/ttyUSB0. Repeatable.</source>
        <translation>Let port COMn (n from 1 to 9) stand for the device PATH, e.g. --port COM1=/dev/ttyUSB0. Repeatable.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Start the simulated controller in the program and let COM1 stand for it.</source>
        <translation>Start the simulated controller in the program and let COM1 stand for it.</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Open the port at start, as &quot;打开&quot; does.</source>
        <translation>Open the port at start, as &quot;Open&quot; does.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Forget every setting kept from earlier sessions (window, folders, options, port settings).</source>
        <translation>Forget every setting kept from earlier sessions (window, folders, options, port settings).</translation>
    </message>
</context>
</TS>
