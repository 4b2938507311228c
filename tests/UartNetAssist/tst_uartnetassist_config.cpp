// The panel's configuration string, its title and the shared history file config/assist.ini.

#include "assisttestutil.h"

#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

using namespace assisttest;

class tst_UartNetAssistConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshSerialString();
    void roundTrip_data();
    void roundTrip();
    void commaInSendBoxSurvives_data();
    void commaInSendBoxSurvives();
    void tooFewFieldsIgnored_data();
    void tooFewFieldsIgnored();
    void placeholdersCopiedUnchanged();
    void underscoreSkipsSendOptionsOnly();
    void receiveOptionsSwitchDisplay();
    void applyEmitsNodeNameClosed();
    void historyFileLoaded();
    void historyFileSaved();
    void freshInstallStartsAtPortZero();
    void clearedHistoryRemovesKeys();
    void separatorsRoundTrip_data();
    void separatorsRoundTrip();
    void outOfRangeValuesNotApplied_data();
    void outOfRangeValuesNotApplied();
    void historyCountsCapped();

private:
    QString iniPath() const { return appDir->filePath(QStringLiteral("config/assist.ini")); }

    testutil::TempAppDir* appDir = nullptr;
    UartNetAssist* panel = nullptr;
};

void tst_UartNetAssistConfig::init()
{
    appDir = new testutil::TempAppDir;
    panel = new UartNetAssist;
}

void tst_UartNetAssistConfig::cleanup()
{
    delete panel;
    panel = nullptr;
    delete appDir;
    appDir = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT(!QApplication::activeModalWidget(), 5000);
}

void tst_UartNetAssistConfig::freshSerialString()
{
    setProtocol(panel, 0);
    child<QComboBox>(panel, "com_list")->setEditText(QStringLiteral("ttyS0"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("hello"));
    QCOMPARE(panel->GetCurrentConfig(), QStringLiteral("0,ttyS0,5_0_3_0,1_0_0,0_0_0_1000_0_\\r\\n_0_0,,hello"));
}

void tst_UartNetAssistConfig::roundTrip_data()
{
    QTest::addColumn<QString>("config");
    QTest::newRow("serial")
        << QStringLiteral("0,ttyS7,10_2_1_2,0_1_1,1_1_1_250_1_OK_1_0,127.0.0.1:9000,line one\nline two\n\nline four");
    QTest::newRow("tcp server") << QStringLiteral("1,127.0.0.1,4001,1_0_0,0_0_0_1000_0_\\r\\n_0_1,,hello");
    QTest::newRow("tcp client") << QStringLiteral("2,0.0.0.0,127.0.0.1:4002,1_1_0,0_0_1_20_1_\\n_0_0,,");
    QTest::newRow("udp") << QStringLiteral("3,127.0.0.1,4003,0_0_1,1_0_0_1000_0_\\r\\n_1_0,127.0.0.1:5000,41 42 ");
}

void tst_UartNetAssistConfig::roundTrip()
{
    QFETCH(QString, config);
    UartNetAssist first;
    first.ApplyConfig(config);
    const QString copied = first.GetCurrentConfig();
    QCOMPARE(copied, config);

    panel->ApplyConfig(copied);
    QCOMPARE(panel->GetCurrentConfig(), config);
    const QStringList parts = config.split(QLatin1Char(','));
    QCOMPARE(child<QComboBox>(panel, "choose_protocol")->currentIndex(), parts.at(0).toInt());
    QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), parts.at(6));
    QCOMPARE(child<QComboBox>(panel, "remote_addr_history")->currentText(), parts.at(5));
    QCOMPARE(panel->GetCurrentTitle(), first.GetCurrentTitle());
}

void tst_UartNetAssistConfig::commaInSendBoxSurvives_data()
{
    QTest::addColumn<QString>("sendBox");
    QTest::newRow("one comma") << QStringLiteral(",");
    QTest::newRow("csv line") << QStringLiteral("a,b,,c,");
    QTest::newRow("multi-line with commas") << QStringLiteral("AT+X=1,2\nAT+Y=3,4");
}

void tst_UartNetAssistConfig::commaInSendBoxSurvives()
{
    QFETCH(QString, sendBox);
    UartNetAssist first;
    setProtocol(&first, 3);
    child<QLineEdit>(&first, "addr_port_edit")->setText(QStringLiteral("4100"));
    child<QComboBox>(&first, "remote_addr_history")->setEditText(QStringLiteral("127.0.0.1:4200"));
    child<QPlainTextEdit>(&first, "send_text")->setPlainText(sendBox);
    const QString config = first.GetCurrentConfig();

    panel->ApplyConfig(config);
    QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), sendBox);
    QCOMPARE(child<QComboBox>(panel, "choose_protocol")->currentIndex(), 3);
    QCOMPARE(child<QLineEdit>(panel, "addr_port_edit")->text(), QStringLiteral("4100"));
    QCOMPARE(child<QComboBox>(panel, "remote_addr_history")->currentText(), QStringLiteral("127.0.0.1:4200"));
    QCOMPARE(panel->GetCurrentConfig(), config);
}

void tst_UartNetAssistConfig::tooFewFieldsIgnored_data()
{
    QTest::addColumn<QString>("config");
    QTest::newRow("empty") << QString();
    QTest::newRow("six fields") << QStringLiteral("3,127.0.0.1,4003,0_0_1,1_0_0_1000_0_x_1_0,127.0.0.1:5000");
    QTest::newRow("no commas") << QStringLiteral("3");
}

void tst_UartNetAssistConfig::tooFewFieldsIgnored()
{
    QFETCH(QString, config);
    const QString before = panel->GetCurrentConfig();
    QSignalSpy spy(panel, &UartNetAssist::updateNodeName);
    QVERIFY(spy.isValid());
    panel->ApplyConfig(config);
    QCOMPARE(panel->GetCurrentConfig(), before);
    QCOMPARE(spy.count(), 0);
}

void tst_UartNetAssistConfig::placeholdersCopiedUnchanged()
{
    setProtocol(panel, 1);
    child<QLineEdit>(panel, "addr_port_edit")->setText(QStringLiteral("4001"));
    child<QLineEdit>(panel, "edit_additional")->setText(QStringLiteral("%2"));
    child<QLineEdit>(panel, "circular_time")->setText(QStringLiteral("%3"));
    child<QComboBox>(panel, "remote_addr_history")->setEditText(QStringLiteral("%4:9000"));
    child<QPlainTextEdit>(panel, "send_text")->setPlainText(QStringLiteral("%1%2 %5 100%"));
    const QString config = panel->GetCurrentConfig();
    const QString localIp = child<QComboBox>(panel, "local_ip_list")->currentText();
    QCOMPARE(config, (QStringList{QStringLiteral("1"), localIp, QStringLiteral("4001"), QStringLiteral("1_0_0"),
                                  QStringLiteral("0_0_0_%3_0_%2_0_0"), QStringLiteral("%4:9000"),
                                  QStringLiteral("%1%2 %5 100%")}
                          .join(QLatin1Char(','))));
    UartNetAssist second;
    second.ApplyConfig(config);
    QCOMPARE(child<QPlainTextEdit>(&second, "send_text")->toPlainText(), QStringLiteral("%1%2 %5 100%"));
    QCOMPARE(child<QLineEdit>(&second, "addr_port_edit")->text(), QStringLiteral("4001"));
    QCOMPARE(child<QLineEdit>(&second, "edit_additional")->text(), QStringLiteral("%2"));
    QCOMPARE(child<QComboBox>(&second, "remote_addr_history")->currentText(), QStringLiteral("%4:9000"));
}

void tst_UartNetAssistConfig::underscoreSkipsSendOptionsOnly()
{
    panel->ApplyConfig(QStringLiteral("3,127.0.0.1,4003,0_1_1,1_1_1_1000_1_a_b_1_0,127.0.0.1:5000,text"));
    // Nine send sub-fields: the whole send options field is skipped, the rest applies.
    QVERIFY(!child<QCheckBox>(panel, "clear_after_send")->isChecked());
    QVERIFY(!child<QCheckBox>(panel, "auto_addition")->isChecked());
    QCOMPARE(child<QLineEdit>(panel, "edit_additional")->text(), QStringLiteral("\\r\\n"));
    QCOMPARE(child<QComboBox>(panel, "choose_protocol")->currentIndex(), 3);
    QVERIFY(child<QCheckBox>(panel, "show_in_hex")->isChecked());
    QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), QStringLiteral("text"));
}

void tst_UartNetAssistConfig::receiveOptionsSwitchDisplay()
{
    panel->ApplyConfig(QStringLiteral("3,127.0.0.1,%1,0_0_0,0_0_0_1000_0_x_0_0,,").arg(freeUdpPort()));
    QVERIFY(!child<QCheckBox>(panel, "wrap_auto")->isChecked());
    panel->ApplyConfig(panel->GetCurrentConfig().replace(QStringLiteral(",0_0_0,"), QStringLiteral(",1_1_1,")));
    QVERIFY(child<QCheckBox>(panel, "wrap_auto")->isChecked());
    QVERIFY(child<QCheckBox>(panel, "show_rcv_time")->isChecked());
    QVERIFY(child<QCheckBox>(panel, "show_in_hex")->isChecked());

    const int port = child<QLineEdit>(panel, "addr_port_edit")->text().toInt();
    child<QPushButton>(panel, "connect")->click();
    QVERIFY(isOpen(panel));
    QUdpSocket peer;
    QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
    peer.writeDatagram("ab", QHostAddress::LocalHost, quint16(port));
    const QRegularExpression re(QStringLiteral("\\]:\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\]61 62 \\n$"));
    QTRY_VERIFY2_WITH_TIMEOUT(re.match(recvText(panel)).hasMatch(), qPrintable(recvText(panel)), 5000);
}

void tst_UartNetAssistConfig::applyEmitsNodeNameClosed()
{
    QSignalSpy spy(panel, &UartNetAssist::updateNodeName);
    QVERIFY(spy.isValid());
    panel->ApplyConfig(QStringLiteral("1,127.0.0.1,4001,1_0_0,0_0_0_1000_0_x_0_0,,"));
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toString(), QStringLiteral("Tcp Server_127.0.0.1_4001"));
    QCOMPARE(spy.last().at(1).toBool(), false);
    panel->ApplyConfig(QStringLiteral("x,ttyS1,0_0_0_0,1_0_0,0_0_0_1000_0_x_0_0,,"));
    QCOMPARE(spy.last().at(0).toString(), QStringLiteral("COM_ttyS1_300-NONE-5-1"));
}

void tst_UartNetAssistConfig::historyFileLoaded()
{
    delete panel;
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("port/1"), QStringLiteral("4321"));
        ini.setValue(QStringLiteral("client/remote_num"), QStringLiteral("2"));
        ini.setValue(QStringLiteral("client/1"), QStringLiteral("127.0.0.1:1001"));
        ini.setValue(QStringLiteral("client/2"), QStringLiteral("127.0.0.1:1002"));
        ini.setValue(QStringLiteral("udp/remote_num"), QStringLiteral("1"));
        ini.setValue(QStringLiteral("udp/1"), QStringLiteral("127.0.0.1:2001"));
    }
    panel = new UartNetAssist;
    auto* udp = child<QComboBox>(panel, "remote_addr_history");
    QCOMPARE(udp->count(), 1);
    QCOMPARE(udp->currentText(), QStringLiteral("127.0.0.1:2001"));
    setProtocol(panel, 1);
    QCOMPARE(child<QLineEdit>(panel, "addr_port_edit")->text(), QStringLiteral("4321"));
    setProtocol(panel, 2);
    auto* remote = child<QComboBox>(panel, "remote_ip_port");
    QCOMPARE(remote->count(), 2);
    QCOMPARE(remote->itemText(0), QStringLiteral("127.0.0.1:1002")); // newest first
    QCOMPARE(remote->currentText(), QStringLiteral("127.0.0.1:1002"));
}

void tst_UartNetAssistConfig::historyFileSaved()
{
    // A successful client connection and an opened server port end up in the file.
    QTcpServer peerServer;
    QVERIFY(peerServer.listen(QHostAddress::LocalHost, 0));
    const QString remote = QStringLiteral("127.0.0.1:%1").arg(peerServer.serverPort());
    openClient(panel, remote);
    QVERIFY(isOpen(panel));
    panel->CloseDevice();
    const int port = freeTcpPort();
    openLocal(panel, 1, port);
    QVERIFY(isOpen(panel));
    delete panel;
    panel = nullptr;

    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("port/1")).toInt(), port);
    QCOMPARE(ini.value(QStringLiteral("client/remote_num")).toInt(), 1);
    QCOMPARE(ini.value(QStringLiteral("client/1")).toString(), remote);
    QCOMPARE(ini.value(QStringLiteral("udp/remote_num")).toInt(), 0);
}

void tst_UartNetAssistConfig::freshInstallStartsAtPortZero()
{
    QVERIFY(!QFileInfo::exists(iniPath()) || QSettings(iniPath(), QSettings::IniFormat).allKeys().isEmpty());
    setProtocol(panel, 1);
    QCOMPARE(child<QLineEdit>(panel, "addr_port_edit")->text(), QStringLiteral("0"));
    delete panel;
    panel = nullptr;
    QSettings ini(iniPath(), QSettings::IniFormat);
    QVERIFY(!ini.contains(QStringLiteral("port/1"))); // 0 is never written
    QVERIFY(!ini.contains(QStringLiteral("client/remote_num"))); // nothing changed, nothing written
}

void tst_UartNetAssistConfig::clearedHistoryRemovesKeys()
{
    delete panel;
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("udp/remote_num"), QStringLiteral("2"));
        ini.setValue(QStringLiteral("udp/1"), QStringLiteral("127.0.0.1:2001"));
        ini.setValue(QStringLiteral("udp/2"), QStringLiteral("127.0.0.1:2002"));
    }
    panel = new UartNetAssist;
    QCOMPARE(child<QComboBox>(panel, "remote_addr_history")->count(), 2);
    auto box = catchNextBox(QStringLiteral("&Yes"));
    child<QPushButton>(panel, "clear_addr_history")->click();
    QVERIFY(box->seen);
    delete panel;
    panel = nullptr;
    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("udp/remote_num")).toInt(), 0);
    QVERIFY(!ini.contains(QStringLiteral("udp/1")));
    QVERIFY(!ini.contains(QStringLiteral("udp/2")));
}

void tst_UartNetAssistConfig::separatorsRoundTrip_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("endpoint");
    QTest::addColumn<QString>("addition");
    QTest::addColumn<QString>("udp");
    QTest::addColumn<QString>("sendBox");
    QTest::newRow("underscore in the addition") << 0 << "ttyS0" << "_END\\r\\n" << "" << "AT";
    QTest::newRow("comma opening the send box") << 3 << "127.0.0.1" << "\\r\\n" << "127.0.0.1:5000" << ",OK\\r\\n";
    QTest::newRow("comma in the UDP destination") << 3 << "127.0.0.1" << "," << "a,b:5000" << "x";
    QTest::newRow("typed port path with both") << 0 << "/tmp/p_1,2" << "_,%" << "" << "_,%25\n,";
}

void tst_UartNetAssistConfig::separatorsRoundTrip()
{
    QFETCH(int, protocol);
    QFETCH(QString, endpoint);
    QFETCH(QString, addition);
    QFETCH(QString, udp);
    QFETCH(QString, sendBox);
    UartNetAssist first;
    setProtocol(&first, protocol);
    if (protocol == 0)
        child<QComboBox>(&first, "com_list")->setEditText(endpoint);
    else
        child<QLineEdit>(&first, "addr_port_edit")->setText(QStringLiteral("4100"));
    child<QCheckBox>(&first, "auto_addition")->setChecked(true);
    child<QCheckBox>(&first, "circular_send")->setChecked(true);
    child<QLineEdit>(&first, "circular_time")->setText(QStringLiteral("250"));
    child<QLineEdit>(&first, "edit_additional")->setText(addition);
    child<QCheckBox>(&first, "auto_reply")->setChecked(true);
    child<QComboBox>(&first, "remote_addr_history")->setEditText(udp);
    child<QPlainTextEdit>(&first, "send_text")->setPlainText(sendBox);
    const QString config = first.GetCurrentConfig();

    panel->ApplyConfig(config);
    QCOMPARE(child<QComboBox>(panel, "choose_protocol")->currentIndex(), protocol);
    if (protocol == 0)
        QCOMPARE(child<QComboBox>(panel, "com_list")->currentText(), endpoint);
    else
        QCOMPARE(child<QLineEdit>(panel, "addr_port_edit")->text(), QStringLiteral("4100"));
    QVERIFY(child<QCheckBox>(panel, "auto_addition")->isChecked());
    QVERIFY(child<QCheckBox>(panel, "circular_send")->isChecked());
    QVERIFY(child<QCheckBox>(panel, "auto_reply")->isChecked());
    QCOMPARE(child<QLineEdit>(panel, "circular_time")->text(), QStringLiteral("250"));
    QCOMPARE(child<QLineEdit>(panel, "edit_additional")->text(), addition);
    QCOMPARE(child<QComboBox>(panel, "remote_addr_history")->currentText(), udp);
    QCOMPARE(child<QPlainTextEdit>(panel, "send_text")->toPlainText(), sendBox);
    QCOMPARE(panel->GetCurrentConfig(), config);
}

void tst_UartNetAssistConfig::outOfRangeValuesNotApplied_data()
{
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("kept");
    QTest::newRow("udp port 65536") << "3,127.0.0.1,65536,1_0_0,0_0_0_1000_0_x_0_0,," << "addr_port_edit" << "4100";
    QTest::newRow("server port 0") << "1,127.0.0.1,0,1_0_0,0_0_0_1000_0_x_0_0,," << "addr_port_edit" << "4100";
    QTest::newRow("interval 0") << "3,127.0.0.1,4001,1_0_0,0_0_1_0_0_x_0_0,," << "circular_time" << "1000";
    QTest::newRow("interval negative") << "3,127.0.0.1,4001,1_0_0,0_0_1_-5_0_x_0_0,," << "circular_time" << "1000";
    QTest::newRow("udp destination port 70000") << "3,127.0.0.1,4001,1_0_0,0_0_0_1000_0_x_0_0,127.0.0.1:70000,"
                                                << "remote_addr_history" << "127.0.0.1:4200";
    QTest::newRow("client remote port 70000") << "2,127.0.0.1,127.0.0.1:70000,1_0_0,0_0_0_1000_0_x_0_0,,"
                                              << "remote_ip_port" << "127.0.0.1:4300";
}

void tst_UartNetAssistConfig::outOfRangeValuesNotApplied()
{
    QFETCH(QString, config);
    QFETCH(QString, control);
    QFETCH(QString, kept);
    setProtocol(panel, config.left(1).toInt());
    child<QLineEdit>(panel, "addr_port_edit")->setText(QStringLiteral("4100"));
    child<QComboBox>(panel, "remote_addr_history")->setEditText(QStringLiteral("127.0.0.1:4200"));
    child<QComboBox>(panel, "remote_ip_port")->setEditText(QStringLiteral("127.0.0.1:4300"));
    panel->ApplyConfig(config);
    QString now;
    if (auto* edit = panel->findChild<QLineEdit*>(control); edit && !qobject_cast<QComboBox*>(edit->parent()))
        now = edit->text();
    else
        now = child<QComboBox>(panel, qPrintable(control))->currentText();
    QCOMPARE(now, kept);
    // The rest of the line still applies.
    QCOMPARE(child<QComboBox>(panel, "choose_protocol")->currentIndex(), config.left(1).toInt());
    QCOMPARE(child<QComboBox>(panel, "local_ip_list")->currentText(), QStringLiteral("127.0.0.1"));
}

void tst_UartNetAssistConfig::historyCountsCapped()
{
    delete panel;
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[client]\nremote_num=2000000\n1=127.0.0.1:1001\n2=127.0.0.1:1002\n"
                "[udp]\nremote_num=2000000\n1=127.0.0.1:2001\n[port]\n1=70000\n");
    }
    panel = new UartNetAssist;
    // Only the entries the file holds, none padded in (a count is not a reason to loop).
    QCOMPARE(child<QComboBox>(panel, "remote_addr_history")->count(), 1);
    setProtocol(panel, 2);
    QCOMPARE(child<QComboBox>(panel, "remote_ip_port")->count(), 2);
    setProtocol(panel, 1);
    QCOMPARE(child<QLineEdit>(panel, "addr_port_edit")->text(), QStringLiteral("0")); // 70000 is no port
    delete panel;
    panel = nullptr;
    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("client/remote_num")).toInt(), 2);
    QCOMPARE(ini.value(QStringLiteral("udp/remote_num")).toInt(), 1);
    QCOMPARE(ini.allKeys().size(), 6);
}

QTEST_MAIN(tst_UartNetAssistConfig)
#include "tst_uartnetassist_config.moc"
