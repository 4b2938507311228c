// vxa-devsim: answers the IP manager's raw discovery and configuration frames on one
// interface as a number of simulated devices, and prints every frame it receives as one
// hex line ("rx <hex>"), so that a test or a curious user can see the exact bytes.
//
// Needs capture rights on the interface (root, or CAP_NET_RAW).

#include "ipcapture.h"
#include "ipframes.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVector>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

using namespace ipframes;

namespace {

volatile std::sig_atomic_t quitRequested = 0;

void onSignal(int)
{
    quitRequested = 1;
}

struct Options {
    QString iface;
    int devices = 1;
    QString name = QStringLiteral("VXA-DEV");
    QString serial = QStringLiteral("SN");
    Ip4Bytes ipBase{198, 18, 1, 10};
    Ip4Bytes mask{255, 254, 0, 0};
    Ip4Bytes gateway{198, 18, 0, 1};
    MacBytes macBase{0x02, 0x56, 0x58, 0x00, 0x00, 0x01};
    int ports = 1;
    int versionByte = kProtocolMarker;
    int delayMs = 0;
    int intervalMs = 0;
    bool duplicate = false;
    bool malformed = false;
    int configResult = ResultSuccess; // -1: stay silent
    int configDelayMs = 0;
    QVector<int> configDelays; // per device, in device order; -1: that device stays silent
    QByteArray rawName;        // exact name bytes for every device (NULs included)
    QByteArray rawSerial;
    bool hasRawName = false;
    bool hasRawSerial = false;
    QString logFile;
    QString indicatorLog;
};

void usage()
{
    std::fputs(
        "usage: vxa-devsim --iface IF [options]\n"
        "  --devices N          answer as N devices (1)\n"
        "  --name PREFIX        device names PREFIX-1, PREFIX-2, ... (VXA-DEV)\n"
        "  --serial PREFIX      serial numbers PREFIX0001, ... (SN)\n"
        "  --ip A.B.C.D         address of the first device, the others count up (198.18.1.10)\n"
        "  --mask A.B.C.D       subnet mask (255.254.0.0)\n"
        "  --gateway A.B.C.D    gateway (198.18.0.1)\n"
        "  --mac XX:..:XX       MAC of the first device, the others count up (02:56:58:00:00:01)\n"
        "  --ports N            number of serial ports (1)\n"
        "  --version-byte N     byte 14 of the answers; 0x23 means version 1.0 (0x23)\n"
        "  --delay MS           first answer MS after the request (0)\n"
        "  --interval MS        MS between the answers of consecutive devices (0)\n"
        "  --duplicate          every device answers twice\n"
        "  --malformed          append an element whose length runs past the answer, and\n"
        "                       also send one answer with a broken trailer\n"
        "  --config-result C    result code of configuration answers, or 'none' for silence (0x66)\n"
        "  --config-delay MS    configuration answer MS after the request (0)\n"
        "  --config-delays LIST per-device delays, comma-separated, 'none' = that device\n"
        "                       stays silent; devices beyond the list use --config-delay\n"
        "  --name-hex HEX       exact bytes of every device's name element\n"
        "  --serial-hex HEX     exact bytes of every device's serial element\n"
        "  --log FILE           write the received frames there instead of stdout\n"
        "  --indicator-log FILE record each indicator request as a line \"<mac> on|off\",\n"
        "                       or \"<mac> malformed\" when its bytes break the layout\n",
        stderr);
}

bool parseInt(const QString& s, int* out)
{
    bool ok = false;
    const int v = s.toInt(&ok, 0);
    if (ok)
        *out = v;
    return ok;
}

bool parseArgs(const QStringList& args, Options* o)
{
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        auto value = [&](QString* v) {
            if (i + 1 >= args.size())
                return false;
            *v = args.at(++i);
            return true;
        };
        QString v;
        if (a == QLatin1String("--duplicate")) {
            o->duplicate = true;
        } else if (a == QLatin1String("--malformed")) {
            o->malformed = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            return false;
        } else if (!value(&v)) {
            std::fprintf(stderr, "vxa-devsim: %s needs a value\n", qPrintable(a));
            return false;
        } else if (a == QLatin1String("--iface")) {
            o->iface = v;
        } else if (a == QLatin1String("--devices")) {
            if (!parseInt(v, &o->devices) || o->devices < 0)
                return false;
        } else if (a == QLatin1String("--name")) {
            o->name = v;
        } else if (a == QLatin1String("--serial")) {
            o->serial = v;
        } else if (a == QLatin1String("--ip")) {
            if (!parseIp4(v, &o->ipBase))
                return false;
        } else if (a == QLatin1String("--mask")) {
            if (!parseIp4(v, &o->mask))
                return false;
        } else if (a == QLatin1String("--gateway")) {
            if (!parseIp4(v, &o->gateway))
                return false;
        } else if (a == QLatin1String("--mac")) {
            if (!parseMac(v, &o->macBase))
                return false;
        } else if (a == QLatin1String("--ports")) {
            if (!parseInt(v, &o->ports))
                return false;
        } else if (a == QLatin1String("--version-byte")) {
            if (!parseInt(v, &o->versionByte))
                return false;
        } else if (a == QLatin1String("--delay")) {
            if (!parseInt(v, &o->delayMs))
                return false;
        } else if (a == QLatin1String("--interval")) {
            if (!parseInt(v, &o->intervalMs))
                return false;
        } else if (a == QLatin1String("--config-result")) {
            if (v == QLatin1String("none"))
                o->configResult = -1;
            else if (!parseInt(v, &o->configResult))
                return false;
        } else if (a == QLatin1String("--config-delay")) {
            if (!parseInt(v, &o->configDelayMs))
                return false;
        } else if (a == QLatin1String("--config-delays")) {
            for (const QString& part : v.split(QLatin1Char(','))) {
                int ms = -1;
                if (part != QLatin1String("none") && (!parseInt(part, &ms) || ms < 0))
                    return false;
                o->configDelays.append(ms);
            }
        } else if (a == QLatin1String("--name-hex")) {
            o->rawName = QByteArray::fromHex(v.toLatin1());
            o->hasRawName = true;
        } else if (a == QLatin1String("--serial-hex")) {
            o->rawSerial = QByteArray::fromHex(v.toLatin1());
            o->hasRawSerial = true;
        } else if (a == QLatin1String("--log")) {
            o->logFile = v;
        } else if (a == QLatin1String("--indicator-log")) {
            o->indicatorLog = v;
        } else {
            std::fprintf(stderr, "vxa-devsim: unknown option %s\n", qPrintable(a));
            return false;
        }
    }
    return !o->iface.isEmpty();
}

template <size_t N>
std::array<quint8, N> countUp(std::array<quint8, N> base, int n)
{
    for (int k = int(N) - 1; k >= 0 && n > 0; --k) {
        const int sum = base[size_t(k)] + n;
        base[size_t(k)] = quint8(sum & 0xff);
        n = sum >> 8;
    }
    return base;
}

// An indicator request as a device reads it, byte by byte: "<destination mac> on|off", or
// "malformed" when anything in the frame breaks the layout.
QByteArray indicatorRecord(const QByteArray& f)
{
    const bool ok = f.size() >= kIndicatorRequestSize && f.mid(12, 10) == QByteArray::fromHex("08062300005006040000")
                    && (f.at(22) == 1 || f.at(22) == 2) && f.mid(23, 9) == QByteArray(9, '\0')
                    && f.mid(32, 6) == f.mid(6, 6) && f.mid(38, 4) == QByteArray::fromHex("00006688");
    return f.left(6).toHex(':') + (!ok ? " malformed" : f.at(22) == 1 ? " on" : " off");
}

struct Pending {
    qint64 dueMs;
    QByteArray frame;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Options opt;
    if (!parseArgs(app.arguments(), &opt)) {
        usage();
        return 2;
    }

    std::vector<DeviceIdentity> devs;
    for (int i = 0; i < opt.devices; ++i) {
        DeviceIdentity d;
        d.mac = countUp(opt.macBase, i);
        d.ip = countUp(opt.ipBase, i);
        d.mask = opt.mask;
        d.gateway = opt.gateway;
        d.name = QStringLiteral("%1-%2").arg(opt.name).arg(i + 1).toLatin1();
        d.serial = QStringLiteral("%1%2").arg(opt.serial).arg(i + 1, 4, 10, QLatin1Char('0')).toLatin1();
        if (opt.hasRawName)
            d.name = opt.rawName;
        if (opt.hasRawSerial)
            d.serial = opt.rawSerial;
        d.uartCount = opt.ports;
        d.versionByte = quint8(opt.versionByte);
        devs.push_back(d);
    }

    QFile logFile;
    if (opt.logFile.isEmpty()) {
        if (!logFile.open(stdout, QIODevice::WriteOnly)) {
            std::fprintf(stderr, "vxa-devsim: cannot write to stdout\n");
            return 1;
        }
    } else {
        logFile.setFileName(opt.logFile);
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
            std::fprintf(stderr, "vxa-devsim: cannot open %s: %s\n", qPrintable(opt.logFile), qPrintable(logFile.errorString()));
            return 1;
        }
    }
    auto logLine = [&logFile](const QByteArray& line) {
        logFile.write(line + '\n');
        logFile.flush();
    };
    QFile indicatorFile(opt.indicatorLog);
    if (!opt.indicatorLog.isEmpty() && !indicatorFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
        std::fprintf(stderr, "vxa-devsim: cannot open %s: %s\n", qPrintable(opt.indicatorLog), qPrintable(indicatorFile.errorString()));
        return 1;
    }

    quint32 netmask = 0;
    QString err;
    for (const PcapDeviceInfo& d : listPcapDevices(&err))
        if (d.name == opt.iface)
            netmask = d.netmaskRaw;
    CaptureHandle cap;
    if (!cap.open(opt.iface, netmask, &err)) {
        std::fprintf(stderr, "vxa-devsim: %s\n", qPrintable(err.trimmed()));
        return 1;
    }
    if (!cap.setInboundOnly())
        std::fprintf(stderr, "vxa-devsim: cannot restrict capture to incoming frames\n");

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    logLine("ready");

    QElapsedTimer clock;
    clock.start();
    std::vector<Pending> pending;
    QByteArray frame;
    while (!quitRequested) {
        const int rc = cap.next(&frame);
        if (rc < 0) {
            std::fprintf(stderr, "vxa-devsim: capture ended: %s\n", qPrintable(cap.errorString()));
            return 1;
        }
        const qint64 now = clock.elapsed();
        if (rc == 1) {
            logLine("rx " + frame.toHex());
            MacBytes requester{};
            if (frame.size() >= 12)
                std::copy(frame.constBegin() + 6, frame.constBegin() + 12, requester.begin());
            const quint16 op = opcodeOf(frame);
            if (op == OpIndicator && indicatorFile.isOpen()) {
                indicatorFile.write(indicatorRecord(frame) + '\n');
                indicatorFile.flush();
            } else if (op == OpSearchRequest) {
                for (size_t i = 0; i < devs.size(); ++i) {
                    QByteArray answer = buildSearchAnswer(requester, devs[i]);
                    if (opt.malformed)
                        answer.insert(answer.size() - 4, QByteArray::fromHex("30ff41"));
                    const qint64 due = now + opt.delayMs + qint64(i) * opt.intervalMs;
                    pending.push_back({due, answer});
                    if (opt.duplicate)
                        pending.push_back({due, answer});
                }
                if (opt.malformed && !devs.empty()) {
                    QByteArray broken = buildSearchAnswer(requester, devs[0]);
                    broken[broken.size() - 1] = 0x00;
                    pending.push_back({now + opt.delayMs, broken});
                }
            } else if ((op == OpConfigPermanent || op == OpConfigTemporary) && frame.size() >= kConfigRequestSize) {
                MacBytes dst{};
                std::copy(frame.constBegin(), frame.constBegin() + 6, dst.begin());
                auto dev = std::find_if(devs.begin(), devs.end(), [&dst](const DeviceIdentity& d) { return d.mac == dst; });
                const size_t devIndex = size_t(dev - devs.begin());
                const int delay = dev != devs.end() && devIndex < size_t(opt.configDelays.size())
                                      ? opt.configDelays.at(int(devIndex))
                                      : opt.configDelayMs;
                if (dev != devs.end() && opt.configResult >= 0 && delay >= 0) {
                    if (opt.configResult == ResultSuccess) {
                        std::copy(frame.constBegin() + 24, frame.constBegin() + 28, dev->mask.begin());
                        std::copy(frame.constBegin() + 28, frame.constBegin() + 32, dev->ip.begin());
                        std::copy(frame.constBegin() + 34, frame.constBegin() + 38, dev->gateway.begin());
                    }
                    pending.push_back({now + delay,
                                       buildConfigAnswer(requester, dev->mac, op == OpConfigTemporary, quint8(opt.configResult))});
                }
            }
        }
        // Send what is due, in due order (stable for equal times: device order).
        std::stable_sort(pending.begin(), pending.end(), [](const Pending& a, const Pending& b) { return a.dueMs < b.dueMs; });
        size_t sent = 0;
        while (sent < pending.size() && pending[sent].dueMs <= clock.elapsed()) {
            if (!cap.send(pending[sent].frame))
                std::fprintf(stderr, "vxa-devsim: send failed: %s\n", qPrintable(cap.errorString()));
            ++sent;
        }
        pending.erase(pending.begin(), pending.begin() + long(sent));
    }
    return 0;
}
