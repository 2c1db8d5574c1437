#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <optional>

// The serial link, with the operations the window's routines use: open and
// close, line settings from a settings string ("9600,n,8,1"), the receive
// buffer with its count, the last port event, one read of the waiting bytes and
// one write of a whole frame.
//
// Received bytes are not delivered by a signal to the window: the receive poll
// asks for them. The link collects them from the device as they arrive, so that
// nothing is lost between polls however long the window is busy.
class MSComm : public QObject
{
    Q_OBJECT

public:
    /// The last port event, as the receive poll sees it.
    enum CommEventCode {
        ComEvNone = 0,
        ComEvReceive = 2, // bytes arrived since the last poll
    };

    /// Line settings read from a settings string.
    struct Settings
    {
        qint32 baudRate = 0;
    };

    explicit MSComm(QObject *parent = nullptr);
    ~MSComm() override;

    /// Reads "BAUD,n,8,1" with BAUD a positive whole number; anything else gives
    /// nothing and the reason.
    static std::optional<Settings> parseSettings(const QString &settings, QString *error = nullptr);

    // Configuration, applied at the next opening.
    bool setSettings(const QString &settings, QString *error = nullptr);
    QString settings() const { return m_settings; }
    void setDevicePath(const QString &path) { m_devicePath = path; }
    QString devicePath() const { return m_devicePath; }
    void setInputLen(int length) { m_inputLen = length; }
    int inputLen() const { return m_inputLen; }

    /// Opens the device with the current settings. On failure the port stays
    /// closed and \a error says why.
    bool open(QString *error = nullptr);
    /// Closes the port; closing a closed port is harmless.
    void close();
    bool portOpen() const;

    /// Number of received bytes not yet read.
    qint64 inBufferCount() const;
    /// Discards every received byte not yet read.
    void clearInBuffer();
    /// Discards output not yet written.
    void clearOutBuffer();

    /// ComEvReceive when bytes arrived since the last call, then resets.
    CommEventCode takeCommEvent();

    /// Reads and removes the waiting bytes, at most InputLen of them.
    QByteArray input();

    /// Writes the whole frame. Gives false, once, when the write fails or is cut
    /// short; the error says how many bytes went out.
    bool output(const QByteArray &frame, QString *error = nullptr);

signals:
    /// The device went away while open (adapter pulled, far end closed). The
    /// port is already closed when this is emitted; bytes that arrived before
    /// are still there to be read.
    void deviceLost(const QString &reason);

private:
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void onReadyRead();

    QSerialPort *m_port;
    QByteArray m_received;
    QString m_settings = QStringLiteral("9600,n,8,1");
    QString m_devicePath;
    int m_inputLen = 512;
    bool m_receivedSincePoll = false;
    bool m_lost = false; // the device went away; the port closes at the next turn
};
