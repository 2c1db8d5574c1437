#include "test_plan.h"

#include "bus/config_file.h"
#include "device/command_set.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <toml++/toml.h>

#include <cmath>
#include <initializer_list>
#include <string_view>

namespace {

class Reader
{
    Q_DECLARE_TR_FUNCTIONS(TestPlan)

public:
    explicit Reader(const QString &path)
        : m_path(path)
    { }

    Result<TestPlan> read(QStringView text);

private:
    using Keys = std::initializer_list<std::string_view>;

    // Every check records the first fault where it lies and gives false; the
    // plan is refused whole with that one message.
    bool fail(const toml::source_region &where, const QString &message);
    bool fail(const toml::node &node, const QString &message) { return fail(node.source(), message); }
    bool onlyKeys(const toml::table &table, Keys keys, const QString &what);

    bool readPlan(const toml::table &plan, TestPlan &out);
    bool readSteps(const toml::node &node, QList<PlanStep> &out, OnFail onFail, int depth);
    bool readStep(const toml::table &table, PlanStep &step, int depth);
    bool readExchange(const toml::table &table, PlanStep &step, bool valueIsData);
    bool readWait(const toml::table &table, PlanStep &step);
    bool readConfig(const toml::node &node, PlanStep &step);

    bool text(const toml::node &node, QString &out);
    bool integer(const toml::node &node, qint64 low, qint64 high, qint64 &out);
    bool integer(const toml::node &node, qint64 low, qint64 high, int &out);
    bool hexByte(const toml::node &node, quint8 &out);
    bool hexBytes(const toml::node &node, QByteArray &out);
    bool limits(const toml::node &node, Limits &out);
    bool onFail(const toml::node &node, OnFail &out);
    template<typename T>
    bool choice(const toml::node &node, std::initializer_list<std::pair<const char *, T>> names,
                T &out);

    QString m_path;
    QString m_error;
};

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool Reader::fail(const toml::source_region &where, const QString &message)
{
    if (m_error.isEmpty()) {
        m_error = QStringLiteral("%1:%2:%3: %4")
                          .arg(m_path)
                          .arg(where.begin.line)
                          .arg(where.begin.column)
                          .arg(message);
    }
    return false;
}

bool Reader::onlyKeys(const toml::table &table, Keys keys, const QString &what)
{
    for (auto &&[key, node] : table) {
        if (std::find(keys.begin(), keys.end(), key.str()) == keys.end())
            return fail(key.source(), tr("“%1” does not belong in %2").arg(toQString(key.str()), what));
    }
    return true;
}

bool Reader::text(const toml::node &node, QString &out)
{
    const auto *value = node.as_string();
    if (!value)
        return fail(node, tr("expected a text in quotes"));
    out = toQString(value->get());
    return true;
}

bool Reader::integer(const toml::node &node, qint64 low, qint64 high, qint64 &out)
{
    const auto *value = node.as_integer();
    if (!value || value->get() < low || value->get() > high)
        return fail(node, tr("expected a whole number from %1 to %2").arg(low).arg(high));
    out = value->get();
    return true;
}

bool Reader::integer(const toml::node &node, qint64 low, qint64 high, int &out)
{
    qint64 value = 0;
    if (!integer(node, low, high, value))
        return false;
    out = int(value);
    return true;
}

bool Reader::hexByte(const toml::node &node, quint8 &out)
{
    QString digits;
    if (!text(node, digits))
        return false;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 2 || value > 0xFF)
        return fail(node, tr("expected one byte in hex, \"00\" to \"FF\", not “%1”").arg(digits));
    out = quint8(value);
    return true;
}

bool Reader::hexBytes(const toml::node &node, QByteArray &out)
{
    QString digits;
    if (!text(node, digits))
        return false;
    digits.remove(QLatin1Char(' '));
    out = QByteArray::fromHex(digits.toLatin1());
    const bool allHex = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
        return c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'));
    });
    if (!allHex || digits.size() % 2 != 0 || out.size() > 254)
        return fail(node, tr("expected bytes in hex, pairs of digits such as \"00 00 2E E0\""));
    return true;
}

template<typename T>
bool Reader::choice(const toml::node &node, std::initializer_list<std::pair<const char *, T>> names,
                    T &out)
{
    QString chosen;
    if (!text(node, chosen))
        return false;
    QStringList known;
    for (const auto &[name, value] : names) {
        if (chosen == QLatin1String(name)) {
            out = value;
            return true;
        }
        known.append(QLatin1String(name));
    }
    return fail(node, tr("“%1” is none of %2").arg(chosen, known.join(QLatin1String(", "))));
}

bool Reader::onFail(const toml::node &node, OnFail &out)
{
    return choice(node, {{"stop", OnFail::Stop}, {"continue", OnFail::Continue}}, out);
}

bool Reader::limits(const toml::node &node, Limits &out)
{
    const auto *table = node.as_table();
    if (!table)
        return fail(node, tr("expected limits such as { min = 1, max = 2 }"));
    if (!onlyKeys(*table, {"equals", "min", "max", "marginal_min", "marginal_max"}, tr("limits")))
        return false;
    const auto number = [&](const char *key, std::optional<double> &to) {
        const toml::node *value = table->get(key);
        if (!value)
            return true;
        if (!value->is_number())
            return fail(*value, tr("expected a number"));
        to = value->is_integer() ? double(value->as_integer()->get())
                                 : value->as_floating_point()->get();
        return true;
    };
    if (!number("equals", out.equals) || !number("min", out.min) || !number("max", out.max)
        || !number("marginal_min", out.marginalMin) || !number("marginal_max", out.marginalMax))
        return false;
    if (out.isEmpty())
        return fail(node, tr("the limits are empty"));
    if (out.equals && (out.min || out.max || out.marginalMin || out.marginalMax))
        return fail(node, tr("“equals” stands alone: no other limit beside it"));
    // Each bound inside the one before it: min ≤ marginal_min ≤ marginal_max ≤ max.
    const std::optional<double> order[] = {out.min, out.marginalMin, out.marginalMax, out.max};
    std::optional<double> before;
    for (const std::optional<double> &bound : order) {
        if (!bound)
            continue;
        if (before && *bound < *before)
            return fail(node, tr("the limits must keep min ≤ marginal_min ≤ marginal_max ≤ max"));
        before = bound;
    }
    return true;
}

bool Reader::readConfig(const toml::node &node, PlanStep &step)
{
    QString file;
    if (!text(node, file))
        return false;
    step.configPath = QDir(QFileInfo(m_path).absolutePath()).absoluteFilePath(file);
    const Result<ConfigSet> set = readConfigFile(step.configPath);
    if (!set)
        return fail(node, set.error());
    step.config = *set;
    return true;
}

// The request of an exchange step (and of a wait for a value): `code` in hex or
// `send` by the command's name, then `data` in hex or `value` as a number laid
// out the way the command takes it.
bool Reader::readExchange(const toml::table &table, PlanStep &step, bool valueIsData)
{
    const toml::node *code = table.get("code");
    const toml::node *send = table.get("send");
    if (code && send)
        return fail(*send, tr("a step names its request by “code” or by “send”, not both"));
    if (code && !hexByte(*code, step.code))
        return false;
    if (send) {
        QString name;
        if (!text(*send, name))
            return false;
        const CommandInfo *row = findCommandName(name);
        if (!row) {
            return fail(*send,
                        tr("no command is named “%1” (stepperbench-cli commands lists them)")
                                .arg(name));
        }
        step.code = row->code;
    }
    const CommandInfo *row = findCode(step.code);
    const toml::node *data = table.get("data");
    const toml::node *value = table.get("value");
    if (data && !hexBytes(*data, step.data))
        return false;
    if (value && value->is_integer() && valueIsData) {
        if (data)
            return fail(*value, tr("a step gives its data by “data” or by “value”, not both"));
        const Result<QByteArray> laidOut =
                row ? requestData(*row, value->as_integer()->get()) : Failure{QString()};
        if (!laidOut) {
            return fail(*value, laidOut.error().isEmpty()
                                        ? tr("code %1 is not in the command table: give “data”")
                                                  .arg(stationText(step.code))
                                        : laidOut.error());
        }
        step.data = *laidOut;
    } else if (value) {
        if (!row || row->value == ReplyValue::None) {
            return fail(*value, tr("the reply to code %1 carries no value to check")
                                        .arg(stationText(step.code)));
        }
        if (!limits(*value, step.value))
            return false;
    }
    if (const toml::node *expect = table.get("expect")) {
        QString text;
        if (!this->text(*expect, text))
            return false;
        if (text == QLatin1String("ok")) {
            step.expect = PlanStep::Expect::Ok;
        } else if (text == QLatin1String("no_reply")) {
            step.expect = PlanStep::Expect::NoReply;
        } else if (text == QLatin1String("exception")) {
            step.expect = PlanStep::Expect::Exception;
        } else if (text.startsWith(QLatin1String("exception "))) {
            bool ok = false;
            const uint exception = text.mid(10).toUInt(&ok, 16);
            if (!ok || text.size() > 12 || exception > 0xFF)
                return fail(*expect, tr("expected “exception” and one byte in hex, such as “exception 02”"));
            step.expect = PlanStep::Expect::Exception;
            step.exceptionCode = quint8(exception);
        } else {
            return fail(*expect, tr("“%1” is none of ok, no_reply, exception, “exception 01”").arg(text));
        }
        if (step.expect != PlanStep::Expect::Ok && !step.value.isEmpty())
            return fail(*expect, tr("only a step that expects “ok” can check the reply's value"));
    }
    return true;
}

bool Reader::readWait(const toml::table &table, PlanStep &step)
{
    using W = PlanStep::WaitFor;
    if (!choice(*table.get("wait_until"),
                {{"stopped", W::Stopped}, {"moving", W::Moving}, {"position", W::Position},
                 {"inputs", W::Inputs}, {"value", W::Value}},
                step.waitFor))
        return false;
    if (const toml::node *timeout = table.get("timeout_ms"))
        if (!integer(*timeout, 1, 86'400'000, step.timeoutMs))
            return false;
    if (const toml::node *poll = table.get("poll_ms"))
        if (!integer(*poll, 1, 60'000, step.pollMs))
            return false;
    const toml::node *value = table.get("value");
    const toml::node *inputs = table.get("inputs");
    const bool sends = table.contains("code") || table.contains("send");
    const toml::source_region &where = table.get("wait_until")->source();
    switch (step.waitFor) {
    case W::Stopped:
    case W::Moving:
        step.code = FunctionCode::QueryMotionStatus;
        return onlyKeys(table, {"name", "on_fail", "wait_until", "timeout_ms", "poll_ms"},
                        tr("a wait for the motor's state"));
    case W::Position:
        step.code = FunctionCode::QueryAbsolutePosition;
        if (!value)
            return fail(where, tr("a wait for a position needs “value = { min = …, max = … }”"));
        return onlyKeys(table, {"name", "on_fail", "wait_until", "timeout_ms", "poll_ms", "value"},
                        tr("a wait for a position"))
                && limits(*value, step.value);
    case W::Inputs: {
        step.code = FunctionCode::QueryInputs;
        if (!inputs)
            return fail(where, tr("a wait for inputs needs “inputs”, such as “x1x0x” for IN5 … IN1"));
        if (!onlyKeys(table, {"name", "on_fail", "wait_until", "timeout_ms", "poll_ms", "inputs"},
                      tr("a wait for inputs")))
            return false;
        QString pattern;
        if (!text(*inputs, pattern))
            return false;
        static const QRegularExpression form(QStringLiteral("^[01xX]{5}$"));
        if (!form.match(pattern).hasMatch())
            return fail(*inputs, tr("expected five of 1, 0 or x for IN5 … IN1, such as “x1x0x”"));
        for (int bit = 0; bit < 5; ++bit) {
            const QChar c = pattern.at(4 - bit);
            if (c == QLatin1Char('x') || c == QLatin1Char('X'))
                continue;
            step.inputMask |= quint8(1u << bit);
            if (c == QLatin1Char('1'))
                step.inputBits |= quint8(1u << bit);
        }
        return true;
    }
    case W::Value:
        if (!sends || !value)
            return fail(where, tr("a wait for a value needs a query (“code” or “send”) and “value”"));
        return onlyKeys(table, {"name", "on_fail", "wait_until", "timeout_ms", "poll_ms", "code",
                                "send", "data", "value"},
                        tr("a wait for a value"))
                && readExchange(table, step, false);
    }
    return true;
}

bool Reader::readStep(const toml::table &table, PlanStep &step, int depth)
{
    using K = PlanStep::Kind;
    if (const toml::node *name = table.get("name"); name && !text(*name, step.name))
        return false;
    if (const toml::node *fail = table.get("on_fail"); fail && !onFail(*fail, step.onFail))
        return false;

    // What the step does is named by one key.
    const std::pair<const char *, K> actions[] = {
        {"repeat", K::Repeat},          {"wait_until", K::WaitUntil},
        {"measure", K::Measure},        {"delay_ms", K::Delay},
        {"apply_config", K::ApplyConfig}, {"verify_config", K::VerifyConfig},
        {"code", K::Exchange},          {"send", K::Exchange},
    };
    const toml::node *action = nullptr;
    const char *actionKey = nullptr;
    for (const auto &[key, kind] : actions) {
        const toml::node *node = table.get(key);
        if (!node)
            continue;
        if (!action) {
            action = node;
            actionKey = key;
            step.kind = kind;
        } else if (step.kind != K::WaitUntil && kind != step.kind) {
            return fail(*node, tr("a step does one thing, not both “%1” and “%2”")
                                       .arg(QLatin1String(actionKey), QLatin1String(key)));
        }
    }
    if (!action) {
        return fail(table.source(), tr("a step needs one of code, send, wait_until, measure, "
                                       "delay_ms, apply_config, verify_config, repeat"));
    }

    switch (step.kind) {
    case K::Exchange:
        return onlyKeys(table, {"name", "on_fail", "code", "send", "data", "value", "expect"},
                        tr("a step that sends a request"))
                && readExchange(table, step, true);
    case K::WaitUntil:
        return readWait(table, step);
    case K::Measure:
        if (!onlyKeys(table, {"name", "on_fail", "measure", "limits"}, tr("a measure step")))
            return false;
        if (!table.contains("limits"))
            return fail(*action, tr("a measure step needs “limits”"));
        return choice(*action,
                      {{"response_ms", PlanStep::Measure::ResponseMs},
                       {"move_duration_s", PlanStep::Measure::MoveDurationS},
                       {"move_duration_ratio", PlanStep::Measure::MoveDurationRatio},
                       {"position_error", PlanStep::Measure::PositionError}},
                      step.measure)
                && limits(*table.get("limits"), step.limits);
    case K::Delay:
        return onlyKeys(table, {"name", "delay_ms"}, tr("a delay"))
                && integer(*action, 0, 86'400'000, step.delayMs);
    case K::ApplyConfig:
    case K::VerifyConfig:
        return onlyKeys(table, {"name", "on_fail", "apply_config", "verify_config"},
                        tr("a configuration step"))
                && readConfig(*action, step);
    case K::Repeat:
        if (!onlyKeys(table, {"name", "on_fail", "repeat", "steps"}, tr("a repeat")))
            return false;
        if (!integer(*action, 1, maxPlanSteps, step.repeat))
            return false;
        if (!table.contains("steps"))
            return fail(*action, tr("a repeat needs its steps, as [[step.steps]] tables"));
        return readSteps(*table.get("steps"), step.steps, step.onFail, depth + 1);
    }
    return true;
}

bool Reader::readSteps(const toml::node &node, QList<PlanStep> &out, OnFail onFail, int depth)
{
    const auto *array = node.as_array();
    if (!array || !array->is_array_of_tables() || array->empty())
        return fail(node, tr("expected steps, as [[step]] tables"));
    if (depth > 8)
        return fail(node, tr("repeats are nested more than 8 deep"));
    for (const toml::node &element : *array) {
        PlanStep step;
        step.onFail = onFail;
        step.line = int(element.source().begin.line);
        if (!readStep(*element.as_table(), step, depth))
            return false;
        if (step.name.isEmpty())
            step.name = tr("step %1").arg(out.size() + 1);
        out.append(std::move(step));
    }
    return true;
}

bool Reader::readPlan(const toml::table &plan, TestPlan &out)
{
    if (!onlyKeys(plan, {"name", "mode", "baud", "address", "reply_timeout_ms", "on_fail"},
                  tr("[plan]")))
        return false;
    if (const toml::node *name = plan.get("name"); name && !text(*name, out.name))
        return false;
    if (const toml::node *mode = plan.get("mode")) {
        if (!choice(*mode, {{"rtu", CommMode::Rtu}, {"ascii", CommMode::Ascii}}, out.mode))
            return false;
    }
    if (const toml::node *baud = plan.get("baud")) {
        qint64 rate = 0;
        if (!integer(*baud, 1, 4'000'000, rate))
            return false;
        out.baudRate = qint32(rate);
    }
    if (const toml::node *address = plan.get("address"); address && !hexByte(*address, out.address))
        return false;
    if (const toml::node *timeout = plan.get("reply_timeout_ms"))
        if (!integer(*timeout, 1, 60'000, out.replyTimeoutMs))
            return false;
    if (const toml::node *fail = plan.get("on_fail"); fail && !onFail(*fail, out.onFail))
        return false;
    return true;
}

Result<TestPlan> Reader::read(QStringView text)
{
    const QByteArray utf8 = text.toUtf8();
    toml::table document;
    try {
        document = toml::parse(std::string_view(utf8.constData(), size_t(utf8.size())),
                               m_path.toStdString());
    } catch (const toml::parse_error &error) {
        fail(error.source(), toQString(error.description()));
        return Failure{m_error};
    }
    TestPlan plan;
    plan.path = m_path;
    plan.name = QFileInfo(m_path).completeBaseName();
    if (!onlyKeys(document, {"plan", "step"}, tr("a plan: it holds [plan] and [[step]] tables")))
        return Failure{m_error};
    if (const toml::node *header = document.get("plan")) {
        if (!header->is_table()) {
            fail(*header, tr("expected the [plan] table"));
            return Failure{m_error};
        }
        if (!readPlan(*header->as_table(), plan))
            return Failure{m_error};
    }
    const toml::node *steps = document.get("step");
    if (!steps) {
        fail(document.source(), tr("the plan has no [[step]]"));
        return Failure{m_error};
    }
    if (!readSteps(*steps, plan.steps, plan.onFail, 0))
        return Failure{m_error};
    // Laid out, the plan must stay of a size a run and its report can hold.
    qint64 total = 0;
    const std::function<qint64(const QList<PlanStep> &)> count = [&](const QList<PlanStep> &list) {
        qint64 n = 0;
        for (const PlanStep &step : list)
            n += step.kind == PlanStep::Kind::Repeat ? step.repeat * count(step.steps) : 1;
        return qMin(n, qint64(maxPlanSteps) + 1);
    };
    total = count(plan.steps);
    if (total > maxPlanSteps) {
        fail(steps->source(), tr("with its repeats the plan has more than %1 steps").arg(maxPlanSteps));
        return Failure{m_error};
    }
    return plan;
}

} // namespace

Result<TestPlan> parseTestPlan(QStringView text, const QString &path)
{
    return Reader(path).read(text);
}

Result<TestPlan> readTestPlan(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        return Failure{QCoreApplication::translate("TestPlan", "%1: no plan file is there")
                               .arg(path)};
    }
    QFile file(path);
    if (info.size() > 4 * 1024 * 1024 || !file.open(QIODevice::ReadOnly)) {
        return Failure{QCoreApplication::translate("TestPlan", "%1: cannot read the plan: %2")
                               .arg(path, info.size() > 4 * 1024 * 1024
                                                  ? QCoreApplication::translate("TestPlan", "larger than 4 MB")
                                                  : file.errorString())};
    }
    return parseTestPlan(QString::fromUtf8(file.readAll()), path);
}

QList<PlanStep> flattenSteps(const QList<PlanStep> &steps)
{
    QList<PlanStep> out;
    for (const PlanStep &step : steps) {
        if (step.kind != PlanStep::Kind::Repeat) {
            out.append(step);
            continue;
        }
        const QList<PlanStep> inner = flattenSteps(step.steps);
        for (int pass = 1; pass <= step.repeat; ++pass) {
            for (PlanStep copy : inner) {
                copy.name = QStringLiteral("%1 #%2").arg(copy.name).arg(pass);
                out.append(std::move(copy));
            }
        }
    }
    return out;
}

QString stepUnit(const PlanStep &step)
{
    switch (step.kind) {
    case PlanStep::Kind::Measure:
        switch (step.measure) {
        case PlanStep::Measure::ResponseMs:
            return QStringLiteral("ms");
        case PlanStep::Measure::MoveDurationS:
            return QStringLiteral("s");
        case PlanStep::Measure::MoveDurationRatio:
            return {};
        case PlanStep::Measure::PositionError:
            return QStringLiteral("pulses");
        }
        return {};
    case PlanStep::Kind::WaitUntil:
        if (step.waitFor == PlanStep::WaitFor::Stopped || step.waitFor == PlanStep::WaitFor::Moving
            || step.waitFor == PlanStep::WaitFor::Inputs)
            return QStringLiteral("ms");
        [[fallthrough]];
    case PlanStep::Kind::Exchange:
        if (const CommandInfo *row = findCode(step.code))
            return replyValueUnit(*row);
        return {};
    default:
        return {};
    }
}
