// assist_panel_demo: shows one assistant panel in a window of its own.
// Usage: assist_panel_demo [--zh] [--shot FILE.png]
//   --zh    loads the Simplified Chinese texts
//   --shot  saves a picture of the panel and quits (works offscreen)

#include "UartNetAssist.h"
#include "appdir.h"

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(vxa);
    QTranslator zh;
    if (app.arguments().contains(QStringLiteral("--zh"))
        && zh.load(appDirPath() + QStringLiteral("/languages/zh_CN/UartNetAssist_zh_CN.qm")))
        QCoreApplication::installTranslator(&zh);
    UartNetAssist panel;
    panel.setWindowTitle(QStringLiteral("UartNetAssist"));
    panel.resize(1000, 700);
    panel.show();
    const int shot = app.arguments().indexOf(QStringLiteral("--shot"));
    if (shot > 0 && shot + 1 < app.arguments().size()) {
        const QString file = app.arguments().at(shot + 1);
        QTimer::singleShot(200, &panel, [&panel, file]() {
            panel.grab().save(file);
            QCoreApplication::quit();
        });
    }
    return app.exec();
}
