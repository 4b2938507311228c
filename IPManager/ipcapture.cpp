#include "ipcapture.h"

#include <pcap/pcap.h>

#include <arpa/inet.h>
#include <poll.h>
#include <netinet/in.h>
#include <sys/socket.h>

QVector<PcapDeviceInfo> listPcapDevices(QString* error)
{
    QVector<PcapDeviceInfo> out;
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
    pcap_if_t* all = nullptr;
    if (pcap_findalldevs(&all, errbuf) == -1) {
        if (error)
            *error = QString::fromLocal8Bit(errbuf);
        return out;
    }
    for (pcap_if_t* d = all; d; d = d->next) {
        PcapDeviceInfo info;
        info.name = QString::fromLocal8Bit(d->name);
        if (d->description)
            info.description = QString::fromLocal8Bit(d->description);
        info.netmaskRaw = htonl(0xffffff00u);
        if (d->addresses && d->addresses->netmask && d->addresses->netmask->sa_family == AF_INET)
            info.netmaskRaw = reinterpret_cast<const sockaddr_in*>(d->addresses->netmask)->sin_addr.s_addr;
        for (pcap_addr_t* a = d->addresses; a; a = a->next) {
            if (!a->addr || a->addr->sa_family != AF_INET)
                continue;
            const quint32 ip = ntohl(reinterpret_cast<const sockaddr_in*>(a->addr)->sin_addr.s_addr);
            info.ipv4 << QStringLiteral("%1.%2.%3.%4")
                             .arg(ip >> 24)
                             .arg((ip >> 16) & 0xff)
                             .arg((ip >> 8) & 0xff)
                             .arg(ip & 0xff);
        }
        out.append(info);
    }
    pcap_freealldevs(all);
    return out;
}

CaptureHandle::~CaptureHandle()
{
    close();
}

bool CaptureHandle::open(const QString& device, quint32 netmaskRaw, QString* error, int bufferBytes)
{
    close();
    char errbuf[PCAP_ERRBUF_SIZE] = {0};
    const QByteArray name = device.toLocal8Bit();
    auto fail = [&](pcap_t* h, const QString& why) {
        lastError = QStringLiteral("\n Unable to open the adapter %1. %2").arg(device, why);
        if (error)
            *error = lastError;
        if (h)
            pcap_close(h);
        return false;
    };
    // pcap_create/pcap_activate rather than pcap_open_live, so that the kernel buffer can be
    // sized for a burst: thousands of answers arrive within milliseconds of one request.
    pcap_t* h = pcap_create(name.constData(), errbuf);
    if (!h)
        return fail(nullptr, QString::fromLocal8Bit(errbuf));
    pcap_set_snaplen(h, 65535);
    pcap_set_promisc(h, 1);
    pcap_set_timeout(h, 1);
    if (bufferBytes > 0)
        pcap_set_buffer_size(h, bufferBytes);
    const int act = pcap_activate(h);
    if (act < 0) {
        QString why = QString::fromLocal8Bit(pcap_geterr(h));
        if (why.isEmpty())
            why = QString::fromLocal8Bit(pcap_statustostr(act));
        return fail(h, why);
    }
    // Non-blocking, with our own 1 ms wait below: with TPACKET_V3 a blocking read on a
    // silent segment would never return, and a worker could not stop.
    if (pcap_setnonblock(h, 1, errbuf) < 0)
        return fail(h, QString::fromLocal8Bit(errbuf));
    bpf_program prog{};
    if (pcap_compile(h, &prog, "arp", 1, netmaskRaw) < 0) {
        lastError = QStringLiteral("Unable to compile the packet filer. Check the syntax.");
        if (error)
            *error = lastError;
        pcap_close(h);
        return false;
    }
    const int rc = pcap_setfilter(h, &prog);
    pcap_freecode(&prog);
    if (rc < 0) {
        lastError = QStringLiteral("Error setting the filter.");
        if (error)
            *error = lastError;
        pcap_close(h);
        return false;
    }
    handle = h;
    return true;
}

bool CaptureHandle::setInboundOnly()
{
    return handle && pcap_setdirection(handle, PCAP_D_IN) == 0;
}

bool CaptureHandle::send(const QByteArray& frame)
{
    if (!handle)
        return false;
    if (pcap_sendpacket(handle, reinterpret_cast<const u_char*>(frame.constData()), frame.size()) == -1) {
        lastError = QString::fromLocal8Bit(pcap_geterr(handle));
        return false;
    }
    return true;
}

int CaptureHandle::next(QByteArray* frame)
{
    if (!handle)
        return -1;
    pcap_pkthdr* hdr = nullptr;
    const u_char* data = nullptr;
    int rc = pcap_next_ex(handle, &hdr, &data);
    if (rc == 0) {
        const int fd = pcap_get_selectable_fd(handle);
        if (fd >= 0) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 1);
        }
        rc = pcap_next_ex(handle, &hdr, &data);
    }
    if (rc == 1 && hdr && data) {
        *frame = QByteArray(reinterpret_cast<const char*>(data), int(hdr->caplen));
        return 1;
    }
    if (rc < 0)
        lastError = QString::fromLocal8Bit(pcap_geterr(handle));
    return rc == 1 ? 0 : rc;
}

void CaptureHandle::close()
{
    if (handle) {
        pcap_close(handle);
        handle = nullptr;
    }
}
