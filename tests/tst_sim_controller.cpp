// The simulated controller: frames byte for byte, sessions in both modes timed on a test clock.
#include "device/frame.h"
#include "sim/sim_controller.h"

#include <QRandomGenerator>
#include <QTest>

class TestSimController : public QObject
{
    Q_OBJECT
    static QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

private slots:
    void framing_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<qint64>("gapUs"); // clock advanced between chunks
        QTest::addColumn<QByteArray>("reply");
        // clang-format off
        const auto row = [](const QByteArray &name, const QByteArrayList &chunks, qint64 gap,
                            const QByteArray &r) { QTest::newRow(name) << chunks << gap << r; };
        const QByteArray hs = hex("01 20 00 39 C0"), asciiHs(":012000DF\r\n");
        row("ASCII in lower case, two frames", {":012000df\r\n:013C00C3\r\n"}, 0,
            asciiHs + ":013CC3\r\n");
        row("bad CRC, garbage, a long length byte, each before a good frame", {hex("01 20 00 39 C1")
            + hs + hex("FF FF") + hs + hex("05 06 FF") + hs}, 0, hs.repeated(3));
        row("bad LRC, no LF, each before a good RTU frame",
            {":012000DE\r\n" + hs + ":012000DF\r" + hs}, 0, hs + hs);
        row("stale partial frame, then a good frame", {hex("01 20"), hs}, 4100, hs);
        row("ASCII split half a second apart", {":0120", "00DF\r\n"}, 500000, asciiHs);
        row("ASCII split over a second apart", {":0120", "00DF\r\n"}, 1000100, {});
        row("ASCII of two bytes, no length byte", {":0120DF\r\n" + asciiHs}, 0, asciiHs);
        row("ASCII length byte disagrees", {":0125030000006473\r\n"}, 0, ":01A50357\r\n");
        // A split frame waits 3.5 characters of 11 bits at the rate set last, at least 2 ms.
        for (const auto &[code, gap, kept] : std::initializer_list<std::tuple<char, qint64, bool>>{
                {6, 4000, 1}, {6, 4100, 0}, {8, 2000, 1}, {8, 3000, 0}, {4, 16000, 1},
                {4, 16100, 0}, {9, 1900, 1}}) {
            const QByteArray change = frameRtu(hex("01 24 01") + code);
            row("baud code " + QByteArray::number(code) + ", " + QByteArray::number(gap) + " us",
                {change, hex("01 20"), hex("00 39 C0")}, gap, kept ? change + hs : change);
        }
        // A standard master's requests are refused as an illegal function: whole, split or ASCII.
        for (const char *request : {"01 03 00 00 00 01", "01 06 00 01 00 03", "01 2B 0E 01 00", "01 07",
                 "01 10 00 01 00 02 04 00 0A 01 02", "01 17 00 00 00 01 00 00 00 01 02 00 07"}) {
            const QByteArray q = hex(request), rtu = frameRtu(q);
            const QByteArray no = hex("01") + char(q[1] | 0x80) + '\1';
            row(request, {rtu + hs}, 0, frameRtu(no) + hs);
            row(request + QByteArray(" split"), {rtu.first(3), rtu.sliced(3)}, 1000, frameRtu(no));
            row(request + QByteArray(" ascii"), {frameAscii(q)}, 0, frameAscii(no));
        }
        row("standard request to another station", {frameRtu(hex("02 03 00 00 00 01"))}, 0, {});
        // clang-format on
        // Noise before each request, the two cut anywhere: each request is answered once, in order.
        QRandomGenerator random(20240611);
        for (const QByteArray &request : {hex("01 3B 00 33 30"), QByteArray(":013B00C4\r\n")}) {
            QByteArrayList chunks;
            for (int round = 0; round < 500; ++round) {
                QByteArray sent(random.bounded(1, 12), Qt::Uninitialized);
                std::generate(sent.begin(), sent.end(), [&] { return char(random.bounded(256)); });
                const qsizetype cut = random.bounded((sent += request).size() + 1);
                chunks << sent.first(cut) << sent.sliced(cut);
            }
            row("noise " + request.toHex(), chunks, 0,
                SimController().receive(request).repeated(500));
        }
    }

    void framing()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(qint64, gapUs);
        QFETCH(QByteArray, reply);
        SimController controller;
        QByteArray replies;
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            controller.advance(i > 0 ? gapUs : 0);
            replies += controller.receive(chunks[i]);
        }
        QCOMPARE(replies.toHex(' '), reply.toHex(' '));
    }

    void sessions_data()
    {
        QTest::addColumn<bool>("ascii"); // of the requests with a reply to check
        QTest::addColumn<QByteArray>("steps");
        QTest::addColumn<double>("seconds"); // of "wait timed"
        const auto row = [](const char *name, const QByteArray &steps, double seconds = 0) {
            QTest::addRow("%s rtu", name) << false << steps << seconds;
            QTest::addRow("%s ascii", name) << true << steps << seconds;
        };
        // Moves after their parameters, timed by the trapezoid: a ramp from the start speed (100)
        // at a (10000/s^2) to the maximum speed (10000) or the peak of a short move, a ramp at d
        // (10000/s^2) to the end speed (1000), none above the maximum; between them a cruise.
        const auto move = [&](const char *name, const QByteArray &steps, qint32 to, double s) {
            const QByteArray n = QByteArray::number(to);
            row(name, steps + ", wait timed, 37 = " + n + ", 39 = " + n + ", 36 = 0", s);
        };
        // clang-format off
        row("replies", "01 38 00 > =, 01 3A 00 > =, 01 3C 00 > 01 3C, 01 3D 00 > 01 3D, "
            "01 44 04 000001F4 > 01 44, 01 45 00 > 01 45, 01 46 00 > 01 46, 01 3E 01 01 > 01 3E");
        // Status: moving, left limit, zero point, right limit (0: active). Station 0 moves nothing.
        row("motion commands", "00 31 04 00002710 >, 01 3B 00 > 01 3B 04 00010001, "
            "01 31 04 00002710 > =, 01 3B 00 > 01 3B 04 01010001, 01 31 04 00002710 > 01 B1 06, "
            "01 3E 01 00 > 01 BE 06, 01 33 04 00002710 > 01 B3 06, 01 3C 00, "
            "01 32 04 010003E8 > =, 01 3C 00, 01 34 04 00002710 > =, 01 3C 00, "
            "01 33 04 00002710 > =, 01 35 04 00001388 > =");
        row("parameters", "01 25 04 00000100, 01 27 04 00010203, 01 29 04 00000200, "
            "01 2B 04 00020000, 01 2D 04 0001E240, 01 2F 04 00000300 > =, 26 = 0x100, "
            "28 = 0x10203, 2A = 0x200, 2C = 0x20000, 2E = 0x1E240, 30 = 0x300");
        // The station the request reached replies. Station 3A's RTU frames start with ":".
        row("baud rate and address", "01 24 01 08 > =, 01 23 00 > 01 23 01 08, 01 22 01 02 > =, "
            "01 20 00 >, 02 20 00 > =, 00 21 00 > 02 21 00, 02 22 01 00 > 02 A2 03, 02 20 00 > =, "
            "02 22 01 3A > =, 3A 20 00 > =, 3A 3B 00 > 3A 3B 04 00010001");
        // An entry without command bytes clears it.
        row("IO table", "01 40 07 01 31 04 00002710 > =, 01 41 01 01 > 01 41 07 01 31 04 00002710, "
            "01 41 01 03 > 01 41 01 03, 01 40 03 1F 45 00 > =, 01 41 01 1F > 01 41 03 1F 45 00, "
            "01 40 01 1F > =, 01 41 01 1F > 01 41 01 1F");
        // The code with bit 7 set, then illegal function, data value or busy.
        row("refusals", "01 03 00 > 01 83 01, 01 3F 00 > 01 BF 01, 01 43 00 > 01 C3 01, "
            "01 48 00 > 01 C8 01, 01 24 01 00 > 01 A4 03, 01 24 01 0A > 01 A4 03, "
            "01 22 01 00 > 01 A2 03, 01 22 01 F8 > 01 A2 03, 01 20 01 00 > 01 A0 03, "
            "01 25 04 FFFFFFFF > 01 A5 03, 01 27 04 00000000 > 01 A7 03, 01 25 01 64 > 01 A5 03, "
            "01 2B 04 00000000 > 01 AB 03, 01 32 04 020003E8 > 01 B2 03, 01 3E 01 02 > 01 BE 03, "
            "01 35 04 FFFFFFFF > 01 B5 03, 01 44 04 FFFFFFFF > 01 C4 03, "
            "01 40 07 00 31 04 00002710 > 01 C0 03, 01 40 07 20 31 04 00002710 > 01 C0 03, "
            "01 40 06 01 31 04 00 00 27 > 01 C0 03, 01 40 03 01 20 00 > 01 C0 03, "
            "01 40 0D 01 33 31 30 34 30 30 30 30 32 37 31 30 > 01 C0 03, "
            "01 41 01 00 > 01 C1 03, 01 41 01 20 > 01 C1 03");
        move("move -10000", "01 31 04 FFFFD8F0", -10000, 0.99 + 0.9 + 50.5 / 10000);
        move("24-bit move, direction 1, peak 3241.1", "01 32 04 010003E8", -1000, 0.53823);
        move("start and end speed 0", "01 25 04 00000000, 01 29 04 00000000, 01 31 04 00002710",
             10000, 1 + 1);
        move("start and end speed above the maximum", "01 25 04 00004E20, 01 29 04 00004E20, "
             "01 31 04 00002712", 10002, 10002 / 1e4);
        move("maximum speed 2500, slow acceleration, hard deceleration", "01 27 04 000009C4, "
             "01 2B 04 000003E8, 01 2D 04 0000C350, 01 31 04 00007532", 30002,
             2.4 + 0.03 + 26829.5 / 2500);
        // At its maximum speed after a second (5099.5 pulses), a move slows to 5000 (3750
        // pulses), cruises and brakes to 1000 (1200 pulses).
        row("new speed during a move", "01 31 04 0000C350, 1000ms, 01 35 04 00001388, wait timed, "
            "37 = 50000", 0.5 + (50000 - 5099.5 - 3750 - 1200) / 5000 + 0.4);
        // Runs end at a limit switch; further into it nothing moves, away from it the motor runs.
        row("run into the right limit", "01 33 04 00002710, wait timed, 37 = 1000000, "
            "3B = 0x00010100, 01 33 04 00002710, still, 01 33 04 FFFFD8F0, 100ms, 3B = 0x01010101",
            0.99 + 995000.5 / 10000);
        row("24-bit run into the left limit", "limits -5000 1000000, 01 34 04 01001388, "
            "wait timed, 37 = -5000, 3B = 0x00000101, 01 34 04 01001388, still, "
            "01 34 04 00001388, 100ms, 3B = 0x01010101", 0.49 + 3750.5 / 5000);
        const QByteArray running = "01 33 04 00002710, 2000ms, 36 = 10000, ";
        row("new speeds", running + "01 35 04 00001388, 250ms, 36 = 7500, 750ms, 36 = 5000, "
            "01 35 04 00003A98, 250ms, 36 = 7500, 01 35 04 00000000, 1000ms, 36 = 0, still");
        row("speed factors", running + "01 45 00, 1000ms, 36 = 10500, 01 46 00, 01 46 00, 1000ms, "
            "36 = 9500, 01 44 04 000007D0, 01 45 00, 01 45 00, 1000ms, 36 = 13500, 01 46 00, "
            "01 46 00, 01 46 00, 01 46 00, 01 46 00, 1000ms, 36 = 3500");
        // 15099.5 pulses at the stop, then 4950 more on the way down to the end speed.
        row("decelerating stop", running + "01 3D 00, 450ms, 36 = 5500, 451ms, still, 37 = 20050");
        row("immediate stop", running + "01 3C 00, 36 = 0, still, 01 45 00, 1000ms, 36 = 0, still");
        row("position counters", "01 31 04 00002710, wait, 01 3A 00, 01 31 04 FFFFF448, wait, "
            "37 = 7000, 39 = -3000, 01 38 00, 37 = 0, 39 = -3000, 3B = 0x00010101");
        // Homing at the homing speed; a limit switch on the way sends the motor back.
        const QByteArray from20000 = "limits -1000000 30000, 01 31 04 00004E20, wait, ";
        row("homing zeroes the absolute position only", from20000 + "01 38 00, 01 3A 00, "
            "01 2F 04 00001388, 01 3E 01 01, wait timed, 37 = 0, 39 = -20000, 3B = 0x00010001, "
            "01 31 04 00001388, wait, 37 = 5000", 0.49 + 18750.5 / 5000);
        row("homing turned by the right limit", from20000 + "01 3E 01 00, wait timed, 37 = 0",
            0.99 + 5000.5 / 10000 + 0.99 + 25000.5 / 10000);
        row("factory settings", "01 22 01 05, 05 24 01 08, 05 25 04 00000100, 05 44 04 000007D0, "
            "05 40 03 03 3C 00, 05 33 04 00002710, 05 47 00 > 05 47, still, 05 20 00 >, "
            "01 23 00 > 01 23 01 06, 26 = 100, 01 41 01 03 > 01 41 01 03, 01 33 04 00002710, "
            "2000ms, 01 45 00, 1000ms, 36 = 10500");
        row("IO code 3 runs on each change to it", "01 40 07 03 31 04 00000064, in 01, still, "
            "in 03, moving, wait, 37 = 100, in 03, still, in 00, in 03, wait, 37 = 200");
        row("IO while running", "01 40 07 03 31 04 00000064, 01 40 03 10 3C 00, "
            "01 33 04 00002710, 100ms, in 03, 1000ms, moving, in 10, still");
        // clang-format on
    }

    void sessions()
    {
        QFETCH(bool, ascii);
        QFETCH(QByteArray, steps);
        QFETCH(double, seconds);
        // Steps: a payload sent in RTU and answered without exception, or, before "> REPLY", sent
        // in the row's mode and answered with REPLY ("=": the echo); "CC = V": query CC gives V;
        // "Nms": the clock advances; "in MM": the inputs change; "moving", "still"; "limits L R":
        // new limit switches; "wait": 1 ms steps until still ("timed": in `seconds`).
        const auto frame = [ascii](const QByteArray &p) {
            return ascii && !p.isEmpty() ? frameAscii(p) : p.size() > 2 ? frameRtu(p) : p;
        };
        SimController c;
        for (const QByteArray &step : steps.split(',')) {
            const QByteArrayList words = step.trimmed().split(' '), parts = step.split('>');
            const QByteArray &verb = words[0];
            QByteArray request = hex(parts[0]), reply = hex(parts.value(1));
            if (verb == "limits") {
                c = SimController({.leftLimit = words[1].toInt(), .rightLimit = words[2].toInt()});
            } else if (verb.endsWith("ms")) {
                c.advance(verb.chopped(2).toLongLong() * 1000);
            } else if (verb == "in") {
                c.setInputs(quint8(words[1].toUInt(nullptr, 16)));
            } else if (verb == "moving" || verb == "still") {
                QVERIFY2(c.isMoving() == (verb == "moving"), step);
            } else if (verb == "wait") {
                qint64 us = 0;
                for (; c.isMoving() && us < 600'000'000; us += 1000)
                    c.advance(1000);
                const qint64 late = us - qint64(std::ceil(seconds * 1e6));
                QVERIFY2(words.size() == 1 || (late >= 0 && late < 1000), QByteArray::number(us));
            } else if (parts.size() == 1 && words.value(1) != "=") {
                const QByteArray answer = c.receive(frameRtu(request));
                QVERIFY2(answer.size() > 1 && (answer[1] & 0x80) == 0, step);
            } else {
                if (parts.size() == 1) { // a query
                    request = makePayload(c.address(), quint8(verb.toUInt(nullptr, 16)));
                    reply = request.first(2) + char(4) + int32BigEndian(words[2].toInt(nullptr, 0));
                }
                const QByteArray answer = c.receive(frame(request));
                QVERIFY2(answer == frame(parts.value(1).trimmed() == "=" ? request : reply),
                         step + ": " + answer.toHex(' '));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSimController)
#include "tst_sim_controller.moc"
