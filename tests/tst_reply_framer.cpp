#include "device/command_set.h"
#include "device/frame.h"
#include "exchange/reply_framer.h"
#include "test_util.h"

#include <QRandomGenerator>
#include <QTest>

// The framer on a stream given piece by piece with invented arrival times, so
// the byte time-out is tested without waiting.

namespace {

constexpr qint64 timeout = ReplyFramer::defaultByteTimeoutUs;

// A reply of \a row from station 1 as it travels in \a mode.
QByteArray replyFrame(const CommandInfo &row, CommMode mode)
{
    int data = row.reply == ReplyForm::Echo ? requestDataLength(row.request) : row.replyData;
    if (data < 0)
        data = 7; // the IO table's entries: any length
    QByteArray payload = makePayload(1, row.code, QByteArray(data, '\x81'));
    if (row.reply == ReplyForm::Short)
        payload.truncate(2);
    if (row.reply == ReplyForm::Short && mode == CommMode::Rtu)
        return payload;
    return frameRequest(payload, mode);
}

// "F" a frame with a good check, "B" one with a bad check, "N" noise, "E" an
// echo; each followed by its bytes in hex.
QStringList described(const QList<RxEvent> &events)
{
    QStringList out;
    for (const RxEvent &event : events) {
        const char kind = event.kind == RxEvent::Noise ? 'N'
                : event.kind == RxEvent::Echo          ? 'E'
                : event.checkOk                        ? 'F'
                                                       : 'B';
        out += QString::fromLatin1(kind + (' ' + event.bytes.toHex(' ')));
    }
    return out;
}

QByteArray ascii(const char *hexPayload)
{
    return frameAscii(QByteArray::fromHex(hexPayload));
}

} // namespace

class TestReplyFramer : public QObject
{
    Q_OBJECT

private slots:
    // Every reply the command table knows, in both modes, split at every point
    // and given one byte at a time: one frame, with the arrival of its first and
    // last byte.
    void everyLayoutEverySplit_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<CommMode>("mode");
        for (const CommandInfo &row : commandSet()) {
            if (row.reply == ReplyForm::None)
                continue;
            for (const CommMode mode : {CommMode::Rtu, CommMode::Ascii}) {
                QTest::addRow("%02X %s", row.code, mode == CommMode::Rtu ? "RTU" : "ASCII")
                        << replyFrame(row, mode) << mode;
            }
        }
        QTest::newRow("exception RTU") << rtu("01A602") << CommMode::Rtu;
        QTest::newRow("exception ASCII") << ascii("01A602") << CommMode::Ascii;
    }
    void everyLayoutEverySplit()
    {
        QFETCH(QByteArray, frame);
        QFETCH(CommMode, mode);
        const QStringList expected{described({{RxEvent::Frame, frame, true}})};
        for (qsizetype split = 0; split < frame.size(); ++split) {
            ReplyFramer framer(mode);
            QList<RxEvent> events = framer.feed(frame.first(split), 1000);
            QVERIFY2(events.isEmpty(), qPrintable(QString::number(split)));
            events = framer.feed(frame.sliced(split), 1000 + timeout - 1);
            QCOMPARE(described(events), expected);
            QCOMPARE(events[0].firstUs, split ? 1000 : 1000 + timeout - 1);
            QCOMPARE(events[0].lastUs, 1000 + timeout - 1);
            QCOMPARE(framer.pendingSinceUs(), -1);
        }
        ReplyFramer framer(mode);
        QList<RxEvent> events;
        for (qsizetype i = 0; i < frame.size(); ++i)
            events += framer.feed(frame.sliced(i, 1), i * 100);
        QCOMPARE(described(events), expected);
    }

    // Streams as the line brings them: noise before, between and after replies,
    // bad checks, a silence of the byte time-out, echoes. Pieces arrive 1 ms
    // apart; "~" is a silence of the byte time-out, "." ends with one, "+" is a
    // silence nobody looks at until the next piece comes, and "!"
    // turns echo suppression on as the handshake is written (the handshake's
    // reply is its own echo).
    void streams_data()
    {
        QTest::addColumn<CommMode>("mode");
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QStringList>("events");
        const QByteArray speed = rtu("0126040000 03E8"); // 01 26 04 00 00 03 E8 + CRC
        const QByteArray stop = QByteArray::fromHex("013C");
        QByteArray badSpeed = speed;
        badSpeed.back() = char(badSpeed.back() ^ 1);
        const QByteArray a = ascii("013704FFFFFFFE");
        const auto hex = [](const QByteArray &bytes) {
            return QString::fromLatin1(bytes.toHex(' '));
        };
        using L = QList<QByteArray>;
        using S = QStringList;

        QTest::newRow("two replies in one piece")
                << CommMode::Rtu << L{speed + stop} << S{"F " + hex(speed), "F 01 3c"};
        QTest::newRow("noise before, between, after")
                << CommMode::Rtu << L{"\xFF\xFE" + speed + QByteArray(1, 0) + stop + "\x7F", "."}
                << S{"N ff fe", "F " + hex(speed), "N 00", "F 01 3c", "N 7f"};
        QTest::newRow("bad check, then silence")
                << CommMode::Rtu << L{badSpeed, "."} << S{"B " + hex(badSpeed)};
        QTest::newRow("bad check, bytes follow: noise, then the reply")
                << CommMode::Rtu << L{badSpeed, speed}
                << S{"N " + hex(badSpeed), "F " + hex(speed)};
        QTest::newRow("a reply cut short, then a whole one")
                << CommMode::Rtu << L{speed.first(5), speed}
                << S{"N " + hex(speed.first(5)), "F " + hex(speed)};
        QTest::newRow("a reply cut short by a silence")
                << CommMode::Rtu << L{speed.first(5), "~", speed}
                << S{"N " + hex(speed.first(5)), "F " + hex(speed)};
        QTest::newRow("the rest of a reply after a silence")
                << CommMode::Rtu << L{speed.first(7), "+", speed.sliced(7), "."}
                << S{"N " + hex(speed.first(7)), "N " + hex(speed.sliced(7))};
        // Noise that reads like the start of a long IO-table reply: the whole reply
        // after it ends the wait at once.
        QTest::newRow("a whole reply ends a wait")
                << CommMode::Rtu << L{"\x01\x40\xC8" + speed} << S{"N 01 40 c8", "F " + hex(speed)};
        QTest::newRow("a whole reply in pieces ends a wait")
                << CommMode::Rtu << L{"\x01\x40\xC8" + speed.first(4), speed.sliced(4)}
                << S{"N 01 40 c8", "F " + hex(speed)};
        // What that search found to be noise goes in one step, up to the frame it saw coming.
        const QByteArray seven = rtu("072604000003E8");
        QTest::newRow("noise known from the search")
                << CommMode::Rtu << L{"\x01\x40\x03" + seven.first(4), seven.sliced(4)}
                << S{"N 01 40 03", "F " + hex(seven)};
        QTest::newRow("a code neither table knows")
                << CommMode::Rtu << L{rtu("0109020001"), "."} << S{"N " + hex(rtu("0109020001"))};
        // Standard MODBUS replies beside the controller's; "M" writes a device
        // identification request, after which a 2B reply is a standard one.
        const QByteArray registers = rtu("010304000A0014");
        const QByteArray identity = rtu("012B0E0101000001000341 4243");
        const QByteArray setAcceleration = rtu("012B0400000064");
        QTest::newRow("standard replies") << CommMode::Rtu
                                          << L{registers + rtu("01010105") + rtu("011000010002"),
                                               identity + stop, rtu("01180004000100 07")}
                                          << S{"F " + hex(registers),
                                               "F " + hex(rtu("01010105")),
                                               "F " + hex(rtu("011000010002")),
                                               "F " + hex(identity),
                                               "F 01 3c",
                                               "F " + hex(rtu("01180004000100 07"))};
        QTest::newRow("2B as the request asked")
                << CommMode::Rtu << L{setAcceleration, "M", setAcceleration, identity, "."}
                << S{"F " + hex(setAcceleration), "N " + hex(setAcceleration),
                     "F " + hex(identity)};
        // Listening at 9600 baud ("L"): requests are frames too, and "|" is a
        // silence of 3.5 characters before the next piece.
        const QByteArray read = rtu("010300000002");
        QByteArray badRead = read;
        badRead[3] = '\x07';
        QTest::newRow("listening: request and reply")
                << CommMode::Rtu << L{"L", read + registers, setAcceleration + setAcceleration}
                << S{"F " + hex(read), "F " + hex(registers), "F " + hex(setAcceleration),
                     "F " + hex(setAcceleration)};
        QTest::newRow("listening: a bad check the line fell silent after")
                << CommMode::Rtu << L{"L", badRead, "|", registers}
                << S{"B " + hex(badRead), "F " + hex(registers)};
        // "/": the next piece comes 10 ms later, no longer than its 9 bytes take on the line.
        QTest::newRow("listening: the next frame took its time on the line")
                << CommMode::Rtu << L{"L", badRead, "/", registers}
                << S{"N " + hex(badRead), "F " + hex(registers)};
        QTest::newRow("listening: a bad check with no silence after it")
                << CommMode::Rtu << L{"L", badRead + registers}
                << S{"N " + hex(badRead), "F " + hex(registers)};
        QTest::newRow("listening: a split frame before an exchange")
                << CommMode::Rtu << L{"L", read.first(4), "|", read, registers}
                << S{"N " + hex(read.first(4)), "F " + hex(read), "F " + hex(registers)};
        QTest::newRow("listening: a two-byte reply, then a request")
                << CommMode::Rtu << L{"L", stop + read, stop, "."}
                << S{"F 01 3c", "F " + hex(read), "F 01 3c"};
        QTest::newRow("a length byte the code does not have")
                << CommMode::Rtu << L{rtu("012602AAAA"), "."} << S{"N " + hex(rtu("012602AAAA"))};
        QTest::newRow("standard exception")
                << CommMode::Rtu << L{rtu("018301")} << S{"F " + hex(rtu("018301"))};

        QByteArray badA = a;
        badA[3] = 'E';
        QTest::newRow("ASCII noise around")
                << CommMode::Ascii << L{"xy" + a + "\r\n" + a + "z", "."}
                << S{"N 78 79", "F " + hex(a), "N 0d 0a", "F " + hex(a), "N 7a"};
        QTest::newRow("ASCII bad LRC at once") << CommMode::Ascii << L{badA} << S{"B " + hex(badA)};
        QTest::newRow("ASCII not hex")
                << CommMode::Ascii << L{":01G7\r\n"} << S{"B " + hex(":01G7\r\n")};
        QTest::newRow("ASCII restarted by a colon")
                << CommMode::Ascii << L{":0137", a} << S{"N 3a 30 31 33 37", "F " + hex(a)};
        const QByteArray hello = rtu("012000");
        QTest::newRow("echo off") << CommMode::Rtu << L{hello + hello}
                                  << S{"F " + hex(hello), "F " + hex(hello)};
        QTest::newRow("echo and reply") << CommMode::Rtu << L{"!", hello + hello}
                                        << S{"E " + hex(hello), "F " + hex(hello)};
        QTest::newRow("echo in pieces")
                << CommMode::Rtu
                << L{"!", hello.first(2), hello.sliced(2) + hello.first(1), hello.sliced(1)}
                << S{"E " + hex(hello), "F " + hex(hello)};
        QTest::newRow("no echo comes") << CommMode::Rtu << L{"!", speed} << S{"F " + hex(speed)};
        QTest::newRow("no echo within the byte time-out")
                << CommMode::Rtu << L{"!", "~", hello} << S{"F " + hex(hello)};
        // Not an echo after all: the bytes are framed (here: noise).
        QTest::newRow("echo broken off")
                << CommMode::Rtu << L{"!", hello.first(2) + "\xFF", "."} << S{"N 01 20 ff"};
        QTest::newRow("echo held back, then not one")
                << CommMode::Rtu << L{"!", hello.first(2), speed}
                << S{"N 01 20", "F " + hex(speed)};
        QTest::newRow("ASCII cut short by a silence") << CommMode::Ascii << L{a.first(9), "~", a}
                                                      << S{"N " + hex(a.first(9)), "F " + hex(a)};
    }
    void streams()
    {
        QFETCH(CommMode, mode);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QStringList, events);
        ReplyFramer framer(mode);
        QList<RxEvent> seen;
        qint64 now = 0;
        for (const QByteArray &piece : pieces) {
            if (piece == "L") {
                framer.setListening(true);
                framer.setLineRate(9600);
            } else if (piece == "M") {
                framer.requestWritten(rtu("012B0E0100"));
            } else if (piece == "/") {
                now += 9000;
            } else if (piece == "|") {
                now += 20000; // longer than the next piece takes on the line, and 3.5 characters
            } else if (piece == "!") {
                framer.setEchoSuppression(true);
                framer.expectEcho(rtu("012000"), now);
            } else if (piece == "+") {
                now += timeout; // a silence nobody looked at: the next bytes tell
            } else if (piece == "." || piece == "~") {
                now += timeout;
                const qsizetype before = seen.size();
                seen += framer.expire(now - 1); // not yet silent
                QCOMPARE(seen.size(), before);
                seen += framer.expire(now);
                QCOMPARE(framer.pendingSinceUs(), -1);
            } else {
                now += 1000;
                seen += framer.feed(piece, now);
            }
        }
        QCOMPARE(described(seen), events);
    }

    // A line that chatters without a pause: its noise is reported while it flows,
    // every byte lands in exactly one event, and nothing piles up.
    void chatter_data()
    {
        QTest::addColumn<bool>("random");
        QTest::addColumn<CommMode>("mode");
        QTest::newRow("constant byte, RTU") << false << CommMode::Rtu;
        QTest::newRow("random bytes, RTU") << true << CommMode::Rtu;
        QTest::newRow("random bytes, ASCII") << true << CommMode::Ascii;
    }
    void chatter()
    {
        QFETCH(bool, random);
        QFETCH(CommMode, mode);
        ReplyFramer framer(mode);
        QRandomGenerator generator(7);
        qsizetype fed = 0;
        qsizetype reported = 0;
        for (int piece = 0; piece < 400; ++piece) {
            QByteArray bytes(1000, 'U');
            if (random)
                generator.fillRange(reinterpret_cast<quint32 *>(bytes.data()), 250);
            fed += bytes.size();
            for (const RxEvent &event : framer.feed(bytes, piece * 1000))
                reported += event.bytes.size();
            QVERIFY2(fed - reported <= 2 * 1024, qPrintable(QString::number(fed - reported)));
        }
        for (const RxEvent &event : framer.flush())
            reported += event.bytes.size();
        QCOMPARE(reported, fed);
    }
};

QTEST_GUILESS_MAIN(TestReplyFramer)
#include "tst_reply_framer.moc"
