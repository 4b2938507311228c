#include <QDirIterator>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QSet>
#include <QtTest>

namespace {

// Every icon path the program refers to; the .qrc must hold exactly these.
const char* const kIconPaths[] = {
    ":/AssTool/AutoAddition", ":/AssTool/AutoReply", ":/AssTool/Clear", ":/AssTool/Delete",
    ":/AssTool/Load", ":/AssTool/NewTool", ":/AssTool/Reset", ":/AssTool/Save", ":/AssTool/Send",
    ":/AssTool/StatusOff", ":/AssTool/StatusOn", ":/AssTool/Tool",
    ":/VCOM/COM", ":/VCOM/Client", ":/VCOM/Server", ":/VCOM/UDP",
    ":/parent/client_parent", ":/parent/com_parent", ":/parent/server_parent", ":/parent/udp_parent",
    ":/sub/client", ":/sub/com", ":/sub/server", ":/sub/udp",
    ":/system/Copy", ":/system/MsgDebug", ":/system/Paste", ":/system/clear", ":/system/delete",
    ":/system/device", ":/system/images/World.png", ":/system/light_green", ":/system/light_red",
    ":/system/logo_gray", ":/system/plug", ":/system/start", ":/system/stop",
};

const char* const kLogo = ":/system/logo_gray";
const char* const kWindowIcon = ":/system/images/World.png";

int inkedPixels(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(line[x]) > 0 ? 1 : 0;
    }
    return count;
}

} // namespace

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void groupsHoldExactlyTheIcons();
    void iconRenders_data();
    void iconRenders();
    void windowIconIsPng();
    void logoRendersGreyAtStatusBarSize();
};

void tst_Resources::initTestCase()
{
    // The icons live in a static library, so its resources must be registered by hand.
    Q_INIT_RESOURCE(vxa);
    QVERIFY2(QImageReader::supportedImageFormats().contains("svg"),
             "the Qt SVG image plugin (libqt5svg5) is missing");
}

void tst_Resources::groupsHoldExactlyTheIcons()
{
    QSet<QString> expected;
    for (const char* path : kIconPaths)
        expected.insert(QString::fromLatin1(path));

    QSet<QString> found;
    for (const char* group : {":/system", ":/AssTool", ":/VCOM", ":/parent", ":/sub"}) {
        QDirIterator it(QString::fromLatin1(group), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found.insert(it.next());
    }

    QCOMPARE(found.size(), 37);
    QCOMPARE(found, expected);
}

void tst_Resources::iconRenders_data()
{
    QTest::addColumn<QString>("path");
    for (const char* path : kIconPaths)
        QTest::newRow(path) << QString::fromLatin1(path);
}

void tst_Resources::iconRenders()
{
    QFETCH(QString, path);

    QVERIFY(QFile::exists(path));
    const QIcon icon(path);
    QVERIFY(!icon.isNull());

    const QPixmap pixmap = icon.pixmap(24, 24);
    QVERIFY(!pixmap.isNull());
    if (path != QLatin1String(kLogo))
        QCOMPARE(pixmap.size(), QSize(24, 24)); // square artwork fills the whole toolbar cell
    // A broken file or a missing SVG plugin gives an empty or fully transparent pixmap.
    QVERIFY2(inkedPixels(pixmap.toImage()) >= (path == QLatin1String(kLogo) ? 10 : 40),
             "icon is (nearly) blank at 24x24");
}

void tst_Resources::windowIconIsPng()
{
    QImageReader reader(QString::fromLatin1(kWindowIcon));
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QVERIFY(image.width() >= 64);
    QCOMPARE(image.width(), image.height());
    QVERIFY(image.hasAlphaChannel());
}

void tst_Resources::logoRendersGreyAtStatusBarSize()
{
    const QIcon logo(QString::fromLatin1(kLogo));
    QCOMPARE(logo.actualSize(QSize(138, 25)), QSize(138, 25));

    const QImage image = logo.pixmap(138, 25).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(138, 25));

    int inked = 0, minX = image.width(), maxX = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (qAlpha(px) < 128)
                continue;
            ++inked;
            minX = qMin(minX, x);
            maxX = qMax(maxX, x);
            // a grey logo: no channel stands out from the others
            QVERIFY2(qAbs(qRed(px) - qGreen(px)) < 24 && qAbs(qGreen(px) - qBlue(px)) < 24,
                     qPrintable(QStringLiteral("coloured pixel at %1,%2").arg(x).arg(y)));
        }
    }
    QVERIFY(inked > 200);
    // The wordmark spans the strip rather than sitting in one corner.
    QVERIFY(maxX - minX > image.width() * 3 / 4);
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
