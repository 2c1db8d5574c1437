#include "error_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>

namespace {

struct ErrorText
{
    Q_DECLARE_TR_FUNCTIONS(ErrorText)
};

// An open that failed: the file system says why better than the error code does.
QString openFailure(const QString &path, bool writing)
{
    const QFileInfo info(path);
    if (info.isDir())
        return ErrorText::tr("这是一个文件夹");
    if (info.exists()) {
        if (writing ? !info.isWritable() : !info.isReadable())
            return writing ? ErrorText::tr("没有写这个文件的权限") : ErrorText::tr("没有读这个文件的权限");
        return ErrorText::tr("文件无法打开");
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return ErrorText::tr("文件夹 %1 不存在").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!writing)
        return ErrorText::tr("文件不存在");
    if (!folder.isWritable())
        return ErrorText::tr("没有在文件夹 %1 中写文件的权限")
                .arg(QDir::toNativeSeparators(folder.filePath()));
    return ErrorText::tr("文件无法创建");
}

} // namespace

QString fileErrorText(const QFileDevice &file, bool writing)
{
    switch (file.error()) {
    case QFileDevice::NoError:
        return ErrorText::tr("没有报告错误");
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        return openFailure(file.fileName(), writing);
    case QFileDevice::ReadError:
        return ErrorText::tr("读取出错");
    case QFileDevice::WriteError:
        return ErrorText::tr("写入出错（磁盘已满，或介质不可写）");
    case QFileDevice::ResourceError:
        return ErrorText::tr("系统资源不足（磁盘已满，或打开的文件太多）");
    case QFileDevice::RemoveError:
        return ErrorText::tr("文件无法删除");
    case QFileDevice::RenameError:
        return ErrorText::tr("文件无法改名（保存时临时文件无法替换原文件）");
    case QFileDevice::AbortError:
    case QFileDevice::TimeOutError:
    case QFileDevice::FatalError:
    case QFileDevice::UnspecifiedError:
    case QFileDevice::PositionError:
    case QFileDevice::ResizeError:
    case QFileDevice::CopyError:
        break;
    }
    return ErrorText::tr("文件操作失败（错误代码 %1）").arg(int(file.error()));
}

QString serialErrorText(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::NoError:
        return ErrorText::tr("没有报告错误");
    case QSerialPort::DeviceNotFoundError:
        return ErrorText::tr("设备不存在（已拔出，或路径不对）");
    case QSerialPort::PermissionError:
        return ErrorText::tr("没有权限打开设备（被别的程序占用，或用户不在 dialout 组）");
    case QSerialPort::OpenError:
        return ErrorText::tr("设备已经打开");
    case QSerialPort::NotOpenError:
        return ErrorText::tr("设备没有打开");
    case QSerialPort::WriteError:
        return ErrorText::tr("向设备写入出错");
    case QSerialPort::ReadError:
        return ErrorText::tr("从设备读取出错");
    case QSerialPort::ResourceError:
        return ErrorText::tr("设备已不可用（可能已拔出）");
    case QSerialPort::UnsupportedOperationError:
        return ErrorText::tr("设备不支持这项设置");
    case QSerialPort::TimeoutError:
        return ErrorText::tr("设备操作超时");
    case QSerialPort::UnknownError:
        break;
    }
    return ErrorText::tr("设备报告了未知错误");
}
