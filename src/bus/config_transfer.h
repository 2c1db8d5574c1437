#pragma once

#include "config_set.h"
#include "device/frame.h"
#include "exchange/exchange_pairing.h"

#include <QList>
#include <QObject>

#include <functional>

// Reads a configuration set from stations, writes one to them and reads it back,
// one request at a time: each goes once the one before has its reply, its
// exception or its time-out. A station that does not answer is given up after
// its first time-out and reported; the other stations go on. Like the scanner,
// it leaves the sending to the caller and is told what the exchange layer saw.
class ConfigTransfer : public QObject
{
    Q_OBJECT

public:
    /// What happened at one station.
    struct Outcome
    {
        quint8 station = 0;
        bool answered = true; // false: a request timed out, the rest was skipped
        ConfigSet read{}; // what was read (read back, after a write)
        QStringList refused{}; // the items the station refused with an exception
    };
    using Send = std::function<bool(const QByteArray &frame)>;

    explicit ConfigTransfer(Send send, QObject *parent = nullptr);

    /// Reads the six parameters and the 31 IO entries of \a station.
    void read(quint8 station, CommMode mode);
    /// Writes \a set to each of \a stations, then reads back what the set holds.
    void write(const ConfigSet &set, const QList<quint8> &stations, CommMode mode);
    /// Reads back from each of \a stations what \a set holds.
    void verify(const ConfigSet &set, const QList<quint8> &stations, CommMode mode);
    void cancel();
    bool isRunning() const { return m_step >= 0; }
    /// Requests done and in all.
    int done() const { return m_done; }
    int total() const { return m_total; }

public slots:
    void exchangeSettled(const Exchange &exchange);

signals:
    void progress();
    void stationDone(const ConfigTransfer::Outcome &outcome);
    /// All stations are done, or the port failed (\a error).
    void finished(const QString &error);

private:
    struct Request
    {
        QByteArray payload;
        int parameter = -1; // the parameter it sets or reads, or
        int ioCode = 0; // the IO entry it stores or reads
        bool query = false;
    };

    void start(const QList<quint8> &stations, CommMode mode);
    QList<Request> requestsFor(quint8 station) const;
    void sendNext();
    void take(const Exchange &exchange);
    void finishStation();

    Send m_send;
    ConfigSet m_set;
    bool m_writing = false;
    bool m_wholeSet = false; // a read asks for everything, not only what the set holds
    CommMode m_mode = CommMode::Rtu;
    QList<quint8> m_stations;
    QList<Request> m_requests; // of the current station
    int m_step = -1; // index into m_requests, -1 when idle
    QByteArray m_frame; // the request waiting for its outcome
    Outcome m_outcome;
    int m_done = 0;
    int m_total = 0;
};
